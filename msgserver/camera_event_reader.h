// Reading the 1461-byte `CameraEvent` record a workstation sends with
// `msgCameraEvent`. Name slots are counted texts of the given capacity
// (1 + capacity bytes), Windows-1251.
//
//   offset size field
//      0    31  archive name, capacity 30 ("vi8_yyyy", "si8_yyyy",
//                "sk8_yyyymmdd")
//     31     1  operation (1 year archives, 3 day archive)
//     32     8  event time, f64 days since 30.12.1899
//     40     2  event type u16 (96)
//     42     4  object number i32
//     46   256  object name, capacity 255
//    302   129  unused text, capacity 128
//    431   256  event text, capacity 255
//    687   256  camera name, capacity 255
//    943   256  camera URL, capacity 255
//   1199   256  recording file, capacity 255
//   1455     4  workstation number i32
//   1459     1  flag
//   1460     1  listed flag
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::msgserver {

inline constexpr size_t kCameraEventRecordSize = 1461;

struct CameraEventRecord {
  std::string archive;
  uint8_t operation = 0;
  double event_time = 0;
  uint16_t event_type = 0;
  int32_t object_number = 0;
  std::string object_name;
  std::string spare_text;
  std::string event_text;
  std::string camera_name;
  std::string camera_url;
  std::string recording_file;
  int32_t workstation = 0;
  uint8_t flag = 0;
  uint8_t listed = 0;
};

// Decodes the first 1461 bytes of `payload`. False when it is shorter.
bool ReadCameraEvent(std::string_view payload, CameraEventRecord* out);

}  // namespace korvel::msgserver
