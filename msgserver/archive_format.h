// Files of a year archive ("vi8_yyyy", "si8_yyyy"), kept by the server in
// its data folder and replicated to the workstations as they grow.
//
// Index file <name>.fz8: a period header, then one 7-byte entry per event.
//
//   header (kind 1, year archive)   entry
//   0      1        3               0      1          3              7
//   +------+--------+               +------+----------+--------------+
//   | 1    | year   |               | 0xFF | type u16 | offset i32   |
//   +------+--------+               +------+----------+--------------+
//                                    offset: of the event in the record file
//
// Record file <name>.fp8: per event a 5-byte time prefix (month, day, hour,
// minute, second) then the 34-byte compact record:
//
//   0        4        8        12       16       20     22   23  24
//   +--------+--------+--------+--------+--------+------+----+---+
//   | object | object | event  | camera | camera | type | op | 0 | ...
//   | number | text   | text   | URL    | text   | u16  | u8 |   |
//   +--------+--------+--------+--------+--------+------+----+---+
//   24           28            32     33
//   +------------+-------------+------+--------+
//   | workstation| recording   | flag | listed |
//   | i32        | file text   | u8   | u8     |
//   +------------+-------------+------+--------+
//   "text" members are i32 offsets into the string pool. The workstation
//   reads offsets 4, 16, 24, 28, 32 and 33; the rest is the server's own.
//
// String pool <name>.fm8: counted texts (length byte, Windows-1251 bytes)
// addressed by offset; offset 0 holds the empty text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel::msgserver {

inline constexpr uint8_t kPeriodKindYear = 1;
inline constexpr size_t kPeriodHeaderSize = 3;
inline constexpr size_t kIndexEntrySize = 7;
inline constexpr uint8_t kIndexEntryMarker = 0xFF;
inline constexpr size_t kTimePrefixSize = 5;
inline constexpr size_t kCompactRecordSize = 34;

// Offsets in the compact record.
inline constexpr size_t kCompactObjectNumber = 0;
inline constexpr size_t kCompactObjectText = 4;
inline constexpr size_t kCompactEventText = 8;
inline constexpr size_t kCompactUrlText = 12;
inline constexpr size_t kCompactCameraText = 16;
inline constexpr size_t kCompactEventType = 20;
inline constexpr size_t kCompactOperation = 22;
inline constexpr size_t kCompactWorkstation = 24;
inline constexpr size_t kCompactRecordingText = 28;
inline constexpr size_t kCompactFlag = 32;
inline constexpr size_t kCompactListed = 33;

inline constexpr const char* kIndexExtension = ".fz8";
inline constexpr const char* kRecordExtension = ".fp8";
inline constexpr const char* kPoolExtension = ".fm8";
// Archives other than year archives (the day archives "sk8_yyyymmdd") keep
// the 1461-byte records as they came, back to back.
inline constexpr const char* kEventFileExtension = ".cev";

}  // namespace korvel::msgserver
