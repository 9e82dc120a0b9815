// A CameraEventSink for tests: keeps every posted record and counts poll
// advances; the server clock offset and the second-archive switch are set
// by the test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "video/wall/camera_event.h"

namespace korvel {

class RecordingSink : public CameraEventSink {
 public:
  DateTime offset = 0;
  bool second = false;
  std::vector<std::string> posted;
  int advances = 0;
  DateTime ServerClockOffset() const override { return offset; }
  bool SecondYearArchive() const override { return second; }
  void PostCameraEvent(std::string_view record) override { posted.emplace_back(record); }
  void AdvancePoll() override { ++advances; }
};

}  // namespace korvel
