// The camera event record `CameraEvent`: one tile event as the message
// server journals it, sent as the payload of `msgCameraEvent`.
//
// 1461 bytes, packed, little-endian. A name slot of capacity N is a length
// byte and N bytes of Windows-1251 text, zero-padded (N + 1 bytes in all);
// a longer value is cut to N bytes.
//
//   offset  size  field
//      0     31   archive name, name slot of capacity 30
//                 ("vi8_yyyy", "si8_yyyy" or "sk8_yyyymmdd")
//     31      1   operation: 1 for the two year archives, 3 for the day one
//     32      8   event time, f64 days since 30.12.1899 (server time)
//     40      2   event type u16, always 96
//     42      4   object number i32 (the tile's n_obj)
//     46    256   object name, capacity 255 (nameobj)
//    302    129   unused text, capacity 128, always empty
//    431    256   event text, capacity 255
//    687    256   camera name, capacity 255
//    943    256   camera URL, capacity 255
//   1199    256   recording file, capacity 255 ("lost" and "closed" only)
//   1455      4   workstation number i32 (VideoPlace)
//   1459      1   flag, always 0
//   1460      1   listed flag: 1 for "closed", 0 otherwise
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/wire/wire_format.h"

namespace korvel::camera_event {

inline constexpr size_t kArchiveNameOffset = 0;
inline constexpr size_t kArchiveNameCapacity = 30;
inline constexpr size_t kOperationOffset = 31;
inline constexpr size_t kEventTimeOffset = 32;
inline constexpr size_t kEventTypeOffset = 40;
inline constexpr size_t kObjectNumberOffset = 42;
inline constexpr size_t kObjectNameOffset = 46;
inline constexpr size_t kSpareTextOffset = 302;
inline constexpr size_t kSpareTextCapacity = 128;
inline constexpr size_t kEventTextOffset = 431;
inline constexpr size_t kCameraNameOffset = 687;
inline constexpr size_t kCameraUrlOffset = 943;
inline constexpr size_t kRecordingFileOffset = 1199;
inline constexpr size_t kTextCapacity = 255;  // object, event, camera, URL, file
inline constexpr size_t kWorkstationOffset = 1455;
inline constexpr size_t kFlagOffset = 1459;
inline constexpr size_t kListedOffset = 1460;
inline constexpr size_t kRecordSize = 1461;
static_assert(kRecordSize == kCameraEventSize);
static_assert(kListedOffset + 1 == kRecordSize);

inline constexpr uint8_t kOperationYear = 1;
inline constexpr uint8_t kOperationDay = 3;
inline constexpr uint16_t kEventType = 96;

// The server settings block byte and bit (mask 0x20, bit number 6 of
// FlagBit) that ask for the second year archive "si8_yyyy".
inline constexpr size_t kSecondYearArchiveByte = 386;
inline constexpr int kSecondYearArchiveBit = 6;

// Poll advance after an event: the link's next poll comes this much early.
inline constexpr uint32_t kPollAdvanceMs = 300;

}  // namespace korvel::camera_event
