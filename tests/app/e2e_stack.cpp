#include "tests/app/e2e_stack.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace korvel::e2e {

namespace fs = std::filesystem;
using json = nlohmann::json;

bool WaitUntil(const std::function<bool()>& done, int seconds, int step_ms,
               const std::function<void()>& between) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (between) between();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
  }
  if (between) between();
  return done();
}

bool PeerStack::Start(const fs::path& dir) {
  dir_ = dir;
  fs::remove_all(dir_);
  fs::create_directories(dir_ / "work");
  server_port_ = FreePort();
  control_port_ = FreePort();
  camera_port_ = FreePort();
  camera_control_ = FreePort();
  const std::string url = "rtsp://127.0.0.1:" + std::to_string(camera_port_) + "/cam1";

  cameras_ = Child({KORVEL_FAKECAM, "--control", std::to_string(camera_control_),
                    "cam1=" + std::to_string(camera_port_) + "/cam1"},
                   dir_.string(), {}, (dir_ / "fakecam.log").string());
  const json seed = {{"tables",
                      {{{"name", "videor"},
                        {"fields",
                         {{{"name", "n_abs"}, {"kind", 1}},
                          {{"name", "p_d"}, {"kind", 3}},
                          {{"name", "n_obj"}, {"kind", 1}},
                          {{"name", "url"}, {"kind", 2}, {"width", 256}},
                          {{"name", "name"}, {"kind", 2}, {"width", 65}},
                          {{"name", "mesto"}, {"kind", 1}},
                          {{"name", "nameobj"}, {"kind", 2}, {"width", 129}}}},
                        {"records",
                         {{{"n_abs", 1},
                           {"n_obj", 7},
                           {"url", url},
                           {"name", kCamera},
                           {"mesto", 1},
                           {"nameobj", kObject}}}}}}}};
  std::ofstream(dir_ / "seed.json") << seed.dump();
  server_ = Child({KORVEL_MSGSERVER, "--seed", (dir_ / "seed.json").string(), "--data",
                   (dir_ / "srv").string(), "--port", std::to_string(server_port_),
                   "--control-port", std::to_string(control_port_), "-q"},
                  dir_.string(), {}, (dir_ / "msgserver.log").string());
  std::ofstream(dir_ / "work/korvel.ini")
      << "[Main]\nRecording=1\n[ServerHost]\nPort=" << server_port_ << "\n";
  return WaitUntil([&] { return !Http(control_port_, "GET", "/status").empty(); }, 20) &&
         WaitUntil(
             [&] { return SendLine(camera_control_, "list").find("cam1") != std::string::npos; },
             20);
}

void PeerStack::Stop() {
  server_.Stop(SIGTERM, 5000);
  cameras_.Stop(SIGTERM, 5000);
}

void PeerStack::DeleteRequest() { Http(control_port_, "DELETE", "/tables/videor/records/1"); }

void PeerStack::CameraCommand(const std::string& line) { SendLine(camera_control_, line); }

std::vector<json> PeerStack::Events() {
  std::vector<json> events;
  const json log =
      json::parse(Http(control_port_, "GET", "/log?type=msgCameraEvent"), nullptr, false);
  if (!log.is_object() || !log.contains("workstations")) return events;
  for (const json& ws : log["workstations"]) {
    if (!ws.contains("entries")) continue;
    for (const json& e : ws["entries"]) events.push_back(e);
  }
  return events;
}

int PeerStack::Count(const std::string& text, const std::string& archive_prefix) {
  int n = 0;
  for (const json& e : Events()) {
    if (e.value("text", "") == text && e.value("archive", "").starts_with(archive_prefix)) ++n;
  }
  return n;
}

}  // namespace korvel::e2e
