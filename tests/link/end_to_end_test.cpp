// The coordinator and the link against the project's message server over
// loopback, headless, with a fake main window that runs a main thread of its
// own. Waits are generous upper bounds; the latencies seen are printed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/core/close_request.h"
#include "app/core/datab.h"
#include "fake_window.h"
#include "link/wire/tcp_socket.h"
#include "msgserver/message_server.h"
#include "msgserver/seed_file.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using msgserver::MessageServer;
using msgserver::SeedData;
using msgserver::ServerOptions;
using test::FakeWindow;

using Clock = std::chrono::steady_clock;

json SeedJson() {
  return json::parse(R"({
    "tables": [
      {"name": "video", "fields": [
        {"name": "n_abs", "kind": 1}, {"name": "p_d", "kind": 3},
        {"name": "n_obj", "kind": 1}, {"name": "ip", "kind": 2, "width": 33},
        {"name": "port", "kind": 1}, {"name": "lasttime", "kind": 9},
        {"name": "ltime", "kind": 25}],
       "records": []},
      {"name": "videor", "fields": [
        {"name": "n_abs", "kind": 1}, {"name": "p_d", "kind": 3},
        {"name": "n_obj", "kind": 1}, {"name": "url", "kind": 2, "width": 256},
        {"name": "name", "kind": 2, "width": 65}, {"name": "mesto", "kind": 1},
        {"name": "nameobj", "kind": 2, "width": 129}],
       "records": []}
    ]})");
}

json Request(const std::string& name, int mesto, int n_abs = 0) {
  json r = {{"n_obj", 100}, {"url", "rtsp://127.0.0.1/" + name}, {"name", name},
            {"mesto", mesto}, {"nameobj", "Объект"}};
  if (n_abs > 0) r["n_abs"] = n_abs;
  return r;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }


class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korvel_e2e_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "temp");
  }
  void TearDown() override {
    StopCoordinator();
    if (server_) server_->Stop();
    fs::remove_all(dir_);
  }

  void StartServer(const json& seed_json, uint16_t port = 0) {
    SeedData seed;
    std::string error;
    ASSERT_TRUE(msgserver::ParseSeed(seed_json, &seed, &error)) << error;
    ServerOptions o;
    o.port = port;
    o.data_folder = (dir_ / "server").string();
    o.verbosity = 0;
    server_ = std::make_unique<MessageServer>(o, std::move(seed));
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  void StartCoordinator(int video_place = 1, bool compression = false) {
    std::ofstream(dir_ / "korvel.ini") << "[ServerHost]\r\nAddress=127.0.0.1\r\nPort="
                                       << server_->port() << "\r\nCompression="
                                       << (compression ? 1 : 0) << "\r\n[main]\r\nVideoPlace="
                                       << video_place << "\r\nPlace=" << video_place << "\r\n";
    datab::Options o;
    o.base_dir = dir_.string() + "/";
    o.calibration_ms = 0;
    coordinator_ = std::make_unique<datab>(window_, o);
    coordinator_->Start();
  }
  void StopCoordinator() {
    if (!coordinator_) return;
    coordinator_->RequestTerminate();
    coordinator_->WaitForEnd(nullptr);  // the fake's main thread serves on its own
    coordinator_.reset();
  }
  // Waits until both tables have arrived (the server saw both acks).
  bool WaitForTables() {
    return FakeWindow::WaitFor(
        [&] {
          const json s = server_->Status();
          for (const auto& ws : s.value("workstations", json::array())) {
            if (ws.value("connected", false) && ws.value("snapshots_acked", json::array()).size() == 2) {
              return true;
            }
          }
          return false;
        },
        8000);
  }
  int32_t Insert(const std::string& table, const json& values) {
    json out;
    int status = 0;
    std::string error;
    EXPECT_TRUE(server_->InsertRecord(table, values, &out, &status, &error)) << error;
    return out.value("n_abs", 0);
  }
  void Delete(const std::string& table, int32_t n_abs) {
    int status = 0;
    std::string error;
    EXPECT_TRUE(server_->DeleteRecord(table, n_abs, &status, &error)) << error;
  }
  json Log() {
    json out;
    int status = 0;
    std::string error;
    server_->Log("all", 0, "", &out, &status, &error);
    json entries = json::array();
    for (const auto& ws : out["workstations"]) {
      for (const auto& e : ws["entries"]) entries.push_back(e);
    }
    return entries;
  }
  json Table(const std::string& name) {
    json out;
    int status = 0;
    std::string error;
    EXPECT_TRUE(server_->GetTable(name, &out, &status, &error)) << error;
    return out["records"];
  }

  fs::path dir_;
  FakeWindow window_;
  std::unique_ptr<MessageServer> server_;
  std::unique_ptr<datab> coordinator_;
};

TEST_F(EndToEndTest, GreetingSnapshotsAcknowledgedAndIdlePolls) {
  StartServer(SeedJson());
  StartCoordinator();
  ASSERT_TRUE(WaitForTables());
  // Idle: one poll per PollPeriod (the server logs no routine poll, so the
  // frames are counted).
  const auto frames_in = [&] {
    const json s = server_->Status();
    return s["workstations"][0].value("frames_in", 0);
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const int before = frames_in();
  const auto t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(3200));
  const int polls = frames_in() - before;
  std::printf("[ latency ] idle poll interval: %.0f ms\n", Ms(Clock::now() - t0) / std::max(polls, 1));
  EXPECT_LE(polls, 4);  // never sooner than PollPeriod after the last exchange
  EXPECT_GE(polls, 2);

  const json log = Log();
  std::vector<std::string> types;
  for (const auto& e : log) types.push_back(e["type"]);
  ASSERT_GE(types.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(types.begin(), types.begin() + 4),
            (std::vector<std::string>{"msgLogin", "msgClientFlags", "msgClientPlace",
                                      "msgClientVersion"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(log[i]["sequence"], i);
  // Both snapshots acknowledged, the acknowledgements numbered on; polls
  // carry sequence 0 and the archive sizes.
  std::vector<uint64_t> ack_sequences;
  for (const auto& e : log) {
    if (e["type"] == "msgSnapshotAck") ack_sequences.push_back(e["sequence"]);
    if (e["type"] == "msgPoll") {
      EXPECT_EQ(e["sequence"], 0);
      EXPECT_TRUE(e.contains("archive"));
    }
  }
  EXPECT_EQ(ack_sequences, (std::vector<uint64_t>{4, 5}));
  EXPECT_TRUE(window_.link_up.load());
  EXPECT_FALSE(window_.wrong_thread.load());
  EXPECT_GT(window_.year_shown.load(), 2000);
}

TEST_F(EndToEndTest, RequestsOpenAndCloseTiles) {
  StartServer(SeedJson());
  StartCoordinator(1);
  ASSERT_TRUE(WaitForTables());
  auto t0 = Clock::now();
  const int32_t here = Insert("videor", Request("here", 1));
  const int32_t any = Insert("videor", Request("any", 0));
  Insert("videor", Request("elsewhere", 2));
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Shows("here") && window_.Shows("any"); }, 5000));
  std::printf("[ latency ] request to OpenCamera: %.0f ms\n", Ms(Clock::now() - t0));
  EXPECT_FALSE(window_.Shows("elsewhere"));

  t0 = Clock::now();
  Delete("videor", here);
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return !window_.Shows("here"); }, 5000));
  std::printf("[ latency ] deletion to CloseTile: %.0f ms\n", Ms(Clock::now() - t0));
  EXPECT_TRUE(window_.Shows("any"));

  // The operator's close request: the server deletes the record, the
  // deletion comes back and the tile closes.
  t0 = Clock::now();
  ASSERT_TRUE(coordinator_->PutInbound(
      BuildCloseRequest({"any", "rtsp://127.0.0.1/any", 100})));
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return !window_.Shows("any"); }, 5000));
  std::printf("[ latency ] close request to CloseTile: %.0f ms\n", Ms(Clock::now() - t0));
  // The server marks the record deleted (bit 0 of p_d).
  bool deleted = false;
  for (const auto& r : Table("videor")) {
    if (r.value("n_abs", 0) == any) deleted = (r.value("p_d", 0) & 1) != 0;
  }
  EXPECT_TRUE(deleted);
  EXPECT_EQ(window_.Occupied(), 0);
  EXPECT_FALSE(window_.wrong_thread.load());
}

TEST_F(EndToEndTest, CompressedLinkCarriesTheSameExchange) {
  json seed = SeedJson();
  seed["tables"][1]["records"] = {Request("a", 1, 1)};
  StartServer(seed);
  StartCoordinator(1, true);
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Shows("a"); }, 8000));
  const json log = Log();
  ASSERT_FALSE(log.empty());
  for (const auto& e : log) EXPECT_TRUE(e["compressed"].get<bool>()) << e.dump();
}

TEST_F(EndToEndTest, SeventeenRequestsFillSixteenTiles) {
  json seed = SeedJson();
  for (int i = 0; i < 17; ++i) seed["tables"][1]["records"].push_back(Request("cam" + std::to_string(i), 1, i + 1));
  StartServer(seed);
  StartCoordinator();
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Occupied() == 16; }, 8000));
  EXPECT_FALSE(window_.Shows("cam16"));
  Delete("videor", 4);  // cam3
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Shows("cam16"); }, 5000));
  EXPECT_FALSE(window_.Shows("cam3"));
  EXPECT_EQ(window_.Occupied(), 16);
  EXPECT_EQ(window_.opens_.load(), 17);
}

TEST_F(EndToEndTest, ProbesWriteTimesBackThroughTheServer) {
  uint16_t open_port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 8, &open_port);
  uint16_t closed_port = 0;
  { Socket gone = ListenTcp("127.0.0.1", 0, 1, &closed_port); }
  json seed = SeedJson();
  seed["tables"][0]["records"] = {
      {{"n_abs", 1}, {"n_obj", 5}, {"ip", "127.0.0.1"}, {"port", open_port}},
      {{"n_abs", 2}, {"n_obj", 6}, {"ip", "127.0.0.1"}, {"port", closed_port}}};
  StartServer(seed);
  StartCoordinator();
  const auto written = [&](int row, const char* field) {
    const json records = Table("video");
    return records.size() > static_cast<size_t>(row) && records[row][field] != 0 &&
           records[row][field] != "";
  };
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return written(0, "lasttime") && written(1, "lasttime"); },
                                  10000));
  EXPECT_TRUE(written(0, "ltime"));
  EXPECT_FALSE(written(1, "ltime"));
}

TEST_F(EndToEndTest, ServerRestartReconnectsAndReconcilesAgain) {
  json seed = SeedJson();
  seed["tables"][1]["records"] = {Request("kept", 1, 1), Request("dropped", 1, 2)};
  StartServer(seed);
  StartCoordinator();
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Occupied() == 2; }, 8000));
  ASSERT_TRUE(WaitForTables());  // both acknowledgements are out
  const uint16_t port = server_->port();
  server_->Stop();
  server_.reset();
  // Messages queued while the link is down go out first, in order, once it
  // is back.
  cl* link = coordinator_->link();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return !link->Connected(); }, 5000));
  const uint64_t first = link->NextSequence();
  link->PostToServer(msgCameraEvent, std::string(kCameraEventSize, '\0'));
  link->PostToServer(msgCameraEvent, std::string(kCameraEventSize, '\0'));
  seed["tables"][1]["records"] = {Request("kept", 1, 1), Request("new", 0, 3)};
  const auto t0 = Clock::now();
  StartServer(seed, port);
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Shows("new") && !window_.Shows("dropped"); },
                                  12000));
  std::printf("[ latency ] server restart to reconciled wall: %.0f ms\n", Ms(Clock::now() - t0));
  EXPECT_TRUE(window_.Shows("kept"));
  // "kept" was never opened twice.
  int kept_opens = 0;
  for (const auto& e : window_.Events()) kept_opens += e == "open kept" ? 1 : 0;
  EXPECT_EQ(kept_opens, 1);
  const json log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0]["type"], "msgCameraEvent");
  EXPECT_EQ(log[0]["sequence"], first);
  EXPECT_EQ(log[1]["type"], "msgCameraEvent");
  EXPECT_EQ(log[1]["sequence"], first + 1);
  EXPECT_EQ(log[2]["type"], "msgLogin");
}

TEST_F(EndToEndTest, DropAndClearRestoresTheWallWithoutDuplicateOpens) {
  json seed = SeedJson();
  seed["tables"][1]["records"] = {Request("a", 1, 1), Request("b", 0, 2)};
  StartServer(seed);
  StartCoordinator();
  ASSERT_TRUE(FakeWindow::WaitFor([&] { return window_.Occupied() == 2; }, 8000));
  json out;
  int status = 0;
  std::string error;
  ASSERT_TRUE(server_->SendControl("all", "msgDropAndClear", &out, &status, &error)) << error;
  // The tables go; the wall keeps its tiles until fresh snapshots arrive.
  ASSERT_TRUE(FakeWindow::WaitFor(
      [&] {
        const json s = server_->Status();
        int connected = 0;
        for (const auto& ws : s.value("workstations", json::array())) connected += ws.value("connected", false);
        return connected == 0;
      },
      5000));
  EXPECT_EQ(window_.Occupied(), 2);
  ASSERT_TRUE(WaitForTables());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(window_.Occupied(), 2);
  EXPECT_EQ(window_.opens_.load(), 2);
  EXPECT_EQ(window_.closes_.load(), 0);
}

}  // namespace
}  // namespace korvel
