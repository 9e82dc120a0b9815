// Payloads that the link builds or parses itself, in both directions (the
// replacement message server encodes what the program decodes). Layouts in
// link/wire/wire_format.h. Pure functions; safe from any thread.
//
// Readers take a bounded ByteReader and fail, position unchanged, when the
// bytes do not hold the whole structure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/wire/wire_format.h"
#include "platform/byte_io.h"

namespace korvel {

// ---- archive sizes record and poll -------------------------------------------

struct ArchiveSizes {
  std::string name;  // "vi8_" + four-digit year; cut to 30 bytes when written
  int32_t pool_bytes = 0;    // .fm8
  int32_t record_bytes = 0;  // .fp8
  int32_t index_bytes = 0;   // .fz8
};

// Appends the 43-byte archive sizes record.
void PutArchiveSizes(std::string* dst, const ArchiveSizes& sizes);
bool ReadArchiveSizes(ByteReader& in, ArchiveSizes* out);

// Poll payload: empty for nullptr; otherwise count 1 and the record (47
// bytes).
std::string BuildPollPayload(const ArchiveSizes* sizes);

// Parses a poll payload: empty -> *out = nullopt; count 0 -> nullopt;
// count 1 with the 43-byte record -> the record. Any other count, or a
// payload too short for what its count says, fails.
bool ParsePollPayload(std::string_view payload, std::optional<ArchiveSizes>* out);

// ---- poll reply ----------------------------------------------------------------

// Server time, count, then the sub-messages (whole messages, header and
// payload, back to back) as given.
std::string BuildPollReplyPayload(double server_time, uint8_t count,
                                  std::string_view sub_messages);

// What the head of a poll reply payload holds.
struct PollReplyHead {
  bool has_time = false;  // payload of 8 bytes or more
  double server_time = 0;
  uint8_t count = 0;       // 0 unless the payload is longer than 8 bytes
  size_t sub_offset = 0;   // where the sub-messages start (9), or the size
};

// Reads the head of a poll reply payload: empty -> nothing; 1..7 bytes ->
// nothing (too short for a time); 8 bytes -> the time only; more -> time
// and count, sub-messages from byte 9.
PollReplyHead ReadPollReplyHead(std::string_view payload);

// ---- archive chunk -------------------------------------------------------------

struct ArchiveChunkHeader {
  std::string name;  // archive name slot of capacity 30
  int32_t pool_offset = 0;
  int32_t pool_length = 0;
  int32_t record_offset = 0;
  int32_t record_length = 0;
  int32_t index_offset = 0;
  int32_t index_length = 0;  // -2: refresh the archive view (no bytes follow)
};

// Appends the 55-byte archive chunk header.
void EncodeArchiveChunkHeader(std::string* dst, const ArchiveChunkHeader& header);
bool ReadArchiveChunkHeader(ByteReader& in, ArchiveChunkHeader* out);

// Bytes of block data that follow a chunk header: the sum of its lengths
// that are above 0 (64-bit, so three large lengths cannot overflow).
int64_t ArchiveChunkBlockBytes(const ArchiveChunkHeader& header);

// ---- deletion notice -------------------------------------------------------------

// 13 bytes: table name slot of capacity 8, then n_abs.
std::string BuildDeletionNotice(std::string_view table, int32_t n_abs);
bool ReadDeletionNotice(ByteReader& in, std::string* table, int32_t* n_abs);

}  // namespace korvel
