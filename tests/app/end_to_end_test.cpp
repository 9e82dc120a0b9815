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

#include "tests/app/e2e_stack.h"

namespace korvel::e2e {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("korvel_e2e_" + std::to_string(getpid()));
    ASSERT_TRUE(peers_.Start(dir_)) << "msgserver or fakecam did not answer";
  }

  void TearDown() override {
    program_.Stop(SIGTERM, 15000);
    peers_.Stop();
    if (!HasFailure()) fs::remove_all(dir_);
  }

  void StartProgram() {
    program_ = Child({KORVEL_PROGRAM}, peers_.work_dir().string(),
                     {{"QT_QPA_PLATFORM", "offscreen"}}, (dir_ / "korvel.log").string());
  }

  std::vector<json> Events() { return peers_.Events(); }
  int Count(const std::string& text, const std::string& archive_prefix = "vi8_") {
    return peers_.Count(text, archive_prefix);
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
  PeerStack peers_;
  Child program_;
};

const std::string kStarted = PeerStack::kStarted;
const std::string kLost = "Потеря связи с камерой";
const std::string kClosed = PeerStack::kClosed;

TEST_F(EndToEnd, RequestRecordLoseReconnectClose) {
  StartProgram();
  ASSERT_TRUE(WaitUntil([&] { return Count(kStarted) >= 1; }, 60)) << "the tile never went live";
  // The journal went to the year and the day archive; the place is 1.
  EXPECT_GE(Count(kStarted, "sk8_"), 1);

  // The recording: storage/Y/M/D/Склад-Вход-HH-mm-ss.mp4, H.264 as sent.
  ASSERT_TRUE(WaitUntil([&] { return !Recordings().empty(); }, 20));
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
  peers_.CameraCommand("stop cam1");
  ASSERT_TRUE(WaitUntil([&] { return Count(kLost) >= 1; }, 60)) << "the loss was not journaled";
  for (const json& e : Events()) {
    if (e.value("text", "") == kLost) {
      EXPECT_EQ(e.value("listed", -1), 0);
      EXPECT_FALSE(e.value("recording_file", "").empty());
    }
  }
  peers_.CameraCommand("start cam1");
  ASSERT_TRUE(WaitUntil([&] { return Count(kStarted) > started_before; }, 90))
      << "the reconnection was not journaled";

  // The request goes: the tile closes and journals the file's path.
  peers_.DeleteRequest();
  ASSERT_TRUE(WaitUntil([&] { return Count(kClosed) >= 1; }, 30));
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
  ASSERT_TRUE(WaitUntil([&] { return Count(kStarted) >= 1; }, 60));
  ASSERT_TRUE(WaitUntil([&] { return !Recordings().empty(); }, 20));
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
