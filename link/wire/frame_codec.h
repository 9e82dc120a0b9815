// Frame headers and bodies in memory: encoding a message into a frame,
// decoding a received header, inflating a compressed body. Layout in
// link/wire/wire_format.h. Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/wire/wire_format.h"

namespace korvel {

struct FrameHeader {
  uint8_t marker = 0;
  int32_t wire_length = 0;
  int32_t plain_length = 0;
};

// Decodes the 21 header bytes at p21. Fails when the marker is neither
// 0xFF nor 0xF0, or a length is below 0 or above kMaxFrameLength. Reserved
// bytes are ignored. REQUIRES: p21 points to 21 readable bytes.
bool DecodeFrameHeader(const uint8_t* p21, FrameHeader* out);

// Appends a 21-byte frame header; reserved bytes are zero.
void PutFrameHeader(std::string* dst, uint8_t marker, int32_t wire_length, int32_t plain_length);

// The whole frame (header and body) of one message, as one buffer: plain
// with marker 0xFF, or, when `compress`, the message deflated into a zlib
// stream (level 1, 15-bit window, memory level 8, default strategy) with
// marker 0xF0. Returns an empty string only when the message is larger than
// kMaxFrameLength or zlib fails.
std::string EncodeFrame(std::string_view message, bool compress);

// Deflates `plain` into a zlib stream with the frame parameters. False on a
// zlib failure or an input larger than kMaxFrameLength.
bool DeflateMessage(std::string_view plain, std::string* out);

// Inflates a zlib stream that must give exactly `plain_length` bytes. Never
// produces more than plain_length bytes (the output is grown as inflation
// proceeds, so a false claim allocates nothing up front); fails on a
// corrupt or truncated stream, on more or fewer bytes than plain_length, and
// on plain_length outside 0..kMaxFrameLength. Bytes after the end of the
// zlib stream are ignored. On failure *out is empty.
bool InflateExact(std::string_view body, int32_t plain_length, std::string* out);

}  // namespace korvel
