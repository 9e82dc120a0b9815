// The three files of a year archive, as the message server writes them and
// the link mirrors them into `temp/` ("vi8_" + four-digit year + extension).
// All integers are little-endian.
//
// Index file ".fz8": a period header, then one 7-byte entry per event.
//
//   period header (kind 1)        index entry
//   0      1          3           0      1          3              7
//   +------+----------+           +------+----------+--------------+
//   | kind | year u16 |           | 0xFF | type u16 | offset i32   |
//   +------+----------+           +------+----------+--------------+
//                                  offset: of the event in the record file
//   Kinds 2..5 (other periods) carry kind - 1 further one-byte parts, so
//   their header is kind + 2 bytes long; the archive list reads kind 1 only.
//
// Record file ".fp8": at each entry's offset a 5-byte time prefix, then the
// 34-byte compact record of the event.
//
//   time prefix                    compact record (fields this program reads)
//   0     1     2      3      4    4        16       24        28       32    33
//   +-----+-----+------+------+---+ +--------+--------+---------+--------+-----+-------+
//   |month| day | hour |minute|sec| | object | camera | work-   | record-| flag| listed|
//   +-----+-----+------+------+---+ | text   | text   | station | ing    | u8  | u8    |
//                                   | i32    | i32    | i32     | i32    |     |       |
//                                   +--------+--------+---------+--------+-----+-------+
//   "text" fields are offsets into the string pool; workstation 0 means any;
//   flag 0 shows " АРМ №" and the workstation after the camera text; listed
//   1 puts the event into the archive list.
//
// String pool ".fm8": counted texts (a length byte, then that many bytes of
// Windows-1251 text) addressed by offset. An offset that is negative or past
// the pool's last byte reads as the empty text; a text whose length byte
// runs past the end of the pool is cut at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvel {

inline constexpr std::string_view kArchiveNamePrefix = "vi8_";
inline constexpr std::string_view kArchiveIndexExtension = ".fz8";
inline constexpr std::string_view kArchiveRecordExtension = ".fp8";
inline constexpr std::string_view kArchivePoolExtension = ".fm8";

// Period header.
inline constexpr uint8_t kArchiveKindYear = 1;
inline constexpr size_t kArchiveYearHeaderSize = 3;
inline constexpr size_t kArchiveHeaderYear = 1;  // u16
inline constexpr uint8_t kArchiveKindLast = 5;    // kinds 1..5 are known

// The length of the period header of `kind` (kind + 2 bytes) when the kind is
// known and an index of `index_size` bytes holds it whole; 0 otherwise.
inline constexpr size_t ArchivePeriodHeaderSize(uint8_t kind, size_t index_size) {
  if (kind < kArchiveKindYear || kind > kArchiveKindLast) return 0;
  const size_t size = size_t{kind} + 2;
  return index_size >= size ? size : 0;
}

// Index entry.
inline constexpr size_t kArchiveEntrySize = 7;
inline constexpr uint8_t kArchiveEntryMarker = 0xFF;
inline constexpr size_t kArchiveEntryType = 1;    // u16
inline constexpr size_t kArchiveEntryOffset = 3;  // i32
inline constexpr uint16_t kCameraEventType = 96;

// Time prefix.
inline constexpr size_t kArchiveTimePrefixSize = 5;
inline constexpr size_t kArchivePrefixMonth = 0;
inline constexpr size_t kArchivePrefixDay = 1;
inline constexpr size_t kArchivePrefixHour = 2;
inline constexpr size_t kArchivePrefixMinute = 3;
inline constexpr size_t kArchivePrefixSecond = 4;

// Compact record.
inline constexpr size_t kCompactRecordSize = 34;
inline constexpr size_t kCompactObjectText = 4;      // i32 pool offset
inline constexpr size_t kCompactCameraText = 16;     // i32 pool offset
inline constexpr size_t kCompactWorkstation = 24;    // i32
inline constexpr size_t kCompactRecordingText = 28;  // i32 pool offset
inline constexpr size_t kCompactFlag = 32;           // u8, 0: show the workstation
inline constexpr size_t kCompactListed = 33;         // u8, 1: listed

// Prefix and compact record together, as one event takes in the record file.
inline constexpr size_t kArchiveEventSize = kArchiveTimePrefixSize + kCompactRecordSize;

// Largest archive file this program loads: far above a real year archive,
// and the same bound the link puts on a chunk's offset + length.
inline constexpr size_t kArchiveFileCeiling = 256u * 1024 * 1024;

}  // namespace korvel
