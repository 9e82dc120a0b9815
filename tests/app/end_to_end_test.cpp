// The program end to end over loopback: msgserver, fakecam and the korvel
// executable (offscreen) in a working folder of its own. A request opens a
// live, recording tile; the recording is H.264 as the camera sends it; a
// camera that stops and comes back is journaled; deleting the request
// closes the tile with the file's path; killing the program mid-recording
// leaves a playable file.
//
// The waits below are bounds for slow machines, not measurements.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/app/e2e_support.h"

namespace korvel::e2e {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

bool WaitFor(const std::function<bool()>& done, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return done();
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("korvel_e2e_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
    server_port_ = FreePort();
    control_port_ = FreePort();
    camera_port_ = FreePort();
    camera_control_ = FreePort();
    url_ = "rtsp://127.0.0.1:" + std::to_string(camera_port_) + "/cam1";

    cameras_ = Child({KORVEL_FAKECAM, "--control", std::to_string(camera_control_),
                      "cam1=" + std::to_string(camera_port_) + "/cam1"},
                     dir_.string(), {}, (dir_ / "fakecam.log").string());
    json seed = {
        {"tables",
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
            {{{"n_abs", 1}, {"n_obj", 7}, {"url", url_}, {"name", "Вход"}, {"mesto", 1},
              {"nameobj", "Склад"}}}}}}}};
    std::ofstream(dir_ / "seed.json") << seed.dump();
    server_ = Child({KORVEL_MSGSERVER, "--seed", (dir_ / "seed.json").string(), "--data",
                     (dir_ / "srv").string(), "--port", std::to_string(server_port_),
                     "--control-port", std::to_string(control_port_), "-q"},
                    dir_.string(), {}, (dir_ / "msgserver.log").string());
    std::ofstream(dir_ / "work/korvel.ini")
        << "[Main]\nRecording=1\n[ServerHost]\nPort=" << server_port_ << "\n";
    ASSERT_TRUE(WaitFor([&] { return !Http(control_port_, "GET", "/status").empty(); }, 20));
    ASSERT_TRUE(WaitFor([&] { return SendLine(camera_control_, "list").find("cam1") !=
                                     std::string::npos; }, 20));
  }

  void TearDown() override {
    program_.Stop(SIGTERM, 15000);
    server_.Stop(SIGTERM, 5000);
    cameras_.Stop(SIGTERM, 5000);
    if (!HasFailure()) fs::remove_all(dir_);
  }

  void StartProgram() {
    program_ = Child({KORVEL_PROGRAM}, (dir_ / "work").string(), {{"QT_QPA_PLATFORM", "offscreen"}},
                     (dir_ / "korvel.log").string());
  }

  // Camera events the server has received, oldest first.
  std::vector<json> Events() {
    std::vector<json> events;
    const json log = json::parse(Http(control_port_, "GET", "/log?type=msgCameraEvent"),
                                 nullptr, false);
    if (!log.is_object()) return events;
    for (const json& ws : log["workstations"]) {
      for (const json& e : ws["entries"]) events.push_back(e);
    }
    return events;
  }
  int Count(const std::string& text, const std::string& archive_prefix = "vi8_") {
    int n = 0;
    for (const json& e : Events()) {
      if (e.value("text", "") == text && e.value("archive", "").starts_with(archive_prefix)) ++n;
    }
    return n;
  }

  std::vector<fs::path> Recordings() {
    std::vector<fs::path> files;
    if (!fs::exists(dir_ / "work/storage")) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "work/storage")) {
      if (entry.path().extension() == ".mp4") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static std::string Probe(const fs::path& file, const std::string& what) {
    return Capture("ffprobe -v error -select_streams v:0 -show_entries " + what +
                   " -of default=noprint_wrappers=1:nokey=1 '" + file.string() + "' 2>/dev/null");
  }

  fs::path dir_;
  int server_port_ = 0, control_port_ = 0, camera_port_ = 0, camera_control_ = 0;
  std::string url_;
  Child cameras_, server_, program_;
};

const std::string kStarted = "Просмотр и запись камеры запущен";
const std::string kLost = "Потеря связи с камерой";
const std::string kClosed = "Просмотр и запись камеры закончены";

TEST_F(EndToEnd, RequestRecordLoseReconnectClose) {
  StartProgram();
  ASSERT_TRUE(WaitFor([&] { return Count(kStarted) >= 1; }, 60)) << "the tile never went live";
  // The journal went to the year and the day archive; the place is 1.
  EXPECT_GE(Count(kStarted, "sk8_"), 1);

  // The recording: storage/Y/M/D/Склад-Вход-HH-mm-ss.mp4, H.264 as sent.
  ASSERT_TRUE(WaitFor([&] { return !Recordings().empty(); }, 20));
  const fs::path file = Recordings().front();
  const fs::path rel = fs::relative(file, dir_ / "work/storage");
  auto part = rel.begin();
  EXPECT_EQ(std::stoi(part->string()), std::stoi(Capture("date +%Y")));
  EXPECT_EQ((++part)->string(), std::to_string(std::stoi(Capture("date +%m"))));
  EXPECT_EQ((++part)->string(), std::to_string(std::stoi(Capture("date +%d"))));
  EXPECT_TRUE(file.filename().string().starts_with("Склад-Вход-"));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_EQ(Probe(file, "stream=codec_name"), "h264\n");
  EXPECT_EQ(Probe(file, "stream=width,height"), "640\n360\n");

  // The camera stops: "lost" with the recording path; it comes back.
  const int started_before = Count(kStarted);
  SendLine(camera_control_, "stop cam1");
  ASSERT_TRUE(WaitFor([&] { return Count(kLost) >= 1; }, 60)) << "the loss was not journaled";
  for (const json& e : Events()) {
    if (e.value("text", "") == kLost) {
      EXPECT_EQ(e.value("listed", -1), 0);
      EXPECT_FALSE(e.value("recording_file", "").empty());
    }
  }
  SendLine(camera_control_, "start cam1");
  ASSERT_TRUE(WaitFor([&] { return Count(kStarted) > started_before; }, 90))
      << "the reconnection was not journaled";

  // The request goes: the tile closes and journals the file's path.
  Http(control_port_, "DELETE", "/tables/videor/records/1");
  ASSERT_TRUE(WaitFor([&] { return Count(kClosed) >= 1; }, 30));
  for (const json& e : Events()) {
    if (e.value("text", "") == kClosed) {
      EXPECT_EQ(e.value("listed", -1), 1);
      const fs::path journaled = dir_ / "work" / e.value("recording_file", "");
      EXPECT_TRUE(fs::exists(journaled)) << journaled;
      EXPECT_EQ(fs::canonical(journaled), fs::canonical(file));
    }
  }
  // A closed recording is a complete file.
  EXPECT_GT(std::stod("0" + Probe(file, "format=duration")), 1.0);
}

TEST_F(EndToEnd, KilledDuringRecordingLeavesAPlayableFile) {
  StartProgram();
  ASSERT_TRUE(WaitFor([&] { return Count(kStarted) >= 1; }, 60));
  ASSERT_TRUE(WaitFor([&] { return !Recordings().empty(); }, 20));
  std::this_thread::sleep_for(std::chrono::seconds(4));
  program_.Stop(SIGKILL, 5000);
  const fs::path file = Recordings().front();
  EXPECT_EQ(Probe(file, "stream=codec_name"), "h264\n");
  const double duration = std::stod("0" + Capture("ffprobe -v error -show_entries format=duration "
                                                   "-of default=noprint_wrappers=1:nokey=1 '" +
                                                   file.string() + "' 2>/dev/null"));
  EXPECT_GT(duration, 1.0);
  // Its frames decode (the tail written at the kill may be cut short, and
  // a live stream's time stamps jitter: frames are counted, not warnings).
  const std::string frames = Capture(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
      "-of default=noprint_wrappers=1:nokey=1 '" + file.string() + "' 2>/dev/null");
  EXPECT_GE(std::stoi("0" + frames), 25);
}

}  // namespace
}  // namespace korvel::e2e
