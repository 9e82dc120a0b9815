// Building and validating messages (layout in link/wire/wire_format.h).
//
// Pure functions on bytes; safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/wire/wire_format.h"
#include "platform/byte_io.h"

namespace korvel {

struct MessageHeader {
  uint8_t start = 0;
  uint32_t type = 0;
  int32_t length = 0;
  uint64_t sequence = 0;
  uint8_t end = 0;
};

// Header (start 0xFF, type, payload length, sequence, end 0xFE) followed by
// the payload. REQUIRES: payload.size() <= INT32_MAX.
std::string BuildMessage(uint32_t type, std::string_view payload, uint64_t sequence);

// Appends the 18-byte header of a message with the given payload length.
void PutMessageHeader(std::string* dst, uint32_t type, int32_t length, uint64_t sequence);

// Reads the 18 header bytes at the reader's position, as they stand (no
// check of start, end or length). Fails, position unchanged, when fewer than
// 18 bytes remain.
bool ReadMessageHeader(ByteReader& in, MessageHeader* out);

// Start byte 0xFF or 0xF0 and end byte 0xFE.
bool IsValidHeader(const MessageHeader& header);

// A received whole-frame message is valid when it holds at least the 18
// header bytes, its start byte is 0xFF or 0xF0 and its end byte is 0xFE.
// The length field is not checked: the frame delimits the payload.
bool IsValidMessage(std::string_view message);

// Every byte after the 18-byte header (empty for a shorter message).
std::string_view MessagePayload(std::string_view message);

// The type code of a message of at least 18 bytes, else 0.
uint32_t MessageType(std::string_view message);

// The length field of a message of at least 18 bytes, else 0.
int32_t MessageLengthField(std::string_view message);

}  // namespace korvel
