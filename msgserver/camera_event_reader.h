// Reading the 1461-byte `CameraEvent` record a workstation sends with
// `msgCameraEvent` (layout in video/wall/camera_event_format.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "video/wall/camera_event_format.h"

namespace korvel::msgserver {

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
