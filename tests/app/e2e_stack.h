// The peers of an end-to-end run over loopback: the test cameras (fakecam,
// one camera "cam1") and the message server (msgserver) seeded with one
// recording request for it in table "videor" (object 7 "Склад", camera
// "Вход", place 1), plus a working folder "work/" whose korvel.ini turns
// recording on and points at the server.
//
// Threads: the test's thread only.
#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/app/e2e_support.h"

namespace korvel::e2e {

// Polls `done` every `step_ms` (running `between` before each poll, e.g. to
// pump a GUI event loop) until it holds or `seconds` pass.
bool WaitUntil(const std::function<bool()>& done, int seconds, int step_ms = 250,
               const std::function<void()>& between = {});

class PeerStack {
 public:
  // Texts the program journals for a recording tile.
  static constexpr const char* kStarted = "Просмотр и запись камеры запущен";
  static constexpr const char* kClosed = "Просмотр и запись камеры закончены";
  static constexpr const char* kObject = "Склад";
  static constexpr const char* kCamera = "Вход";

  // Creates `dir` (emptied first) with the working folder, starts both
  // peers and waits until they answer. Returns false when one did not.
  bool Start(const std::filesystem::path& dir);
  // Stops both peers (SIGTERM, then SIGKILL).
  void Stop();

  std::filesystem::path work_dir() const { return dir_ / "work"; }
  int control_port() const { return control_port_; }
  // Deletes the seeded request through the server's control interface.
  void DeleteRequest();
  // Sends one control command to the test cameras ("stop cam1", "start cam1").
  void CameraCommand(const std::string& line);
  // Camera events the server has received, oldest first.
  std::vector<nlohmann::json> Events();
  // How many events carry `text` and went to an archive whose name starts with `archive_prefix`.
  int Count(const std::string& text, const std::string& archive_prefix = "vi8_");

 private:
  std::filesystem::path dir_;
  int server_port_ = 0, control_port_ = 0, camera_port_ = 0, camera_control_ = 0;
  Child cameras_, server_;
};

}  // namespace korvel::e2e
