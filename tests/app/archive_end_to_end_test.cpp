// The archive end to end: msgserver and fakecam as child processes, the
// main window in this process (offscreen, GStreamer players). A recording
// request goes live and records; the request is deleted at the server, so
// the tile closes and journals "closed"; the server's archive chunk comes
// back, the archive grid lists the recording, and "Просмотр" plays it in
// the archive player.
//
// The waits are bounds for slow machines. The delay from the archive's
// arrival to the listing is measured and printed, not asserted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "app/gui/tform1.h"
#include "tests/app/e2e_stack.h"
#include "tests/app/qt_test_app.h"
#include "video/gst/gst_video_player.h"
#include "video/player/video_player.h"

namespace korvel::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

// Sizes and write times of the archive files in temp/, to see a chunk land.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> ArchiveFiles(const fs::path& temp) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(temp, ec)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".fm8" && ext != ".fp8" && ext != ".fz8") continue;
    files[entry.path().filename().string()] = {entry.file_size(ec), entry.last_write_time(ec)};
  }
  return files;
}

// The model row (0-based) listing the seeded camera's recording, or -1.
int ListedRow(const QTableView* grid) {
  const QAbstractItemModel* model = grid->model();
  for (int r = 0; r < model->rowCount(); ++r) {
    if (model->index(r, 1).data().toString() == QString::fromUtf8(PeerStack::kObject) &&
        model->index(r, 2).data().toString().startsWith(QString::fromUtf8(PeerStack::kCamera))) {
      return r;
    }
  }
  return -1;
}

class ArchiveEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(peers_.Start(fs::temp_directory_path() /
                             ("korvel_archive_e2e_" + std::to_string(getpid()))));
  }

  void TearDown() override {
    form_.reset();  // waits for the coordinator and the link
    PumpEvents();
    peers_.Stop();
    if (!HasFailure()) fs::remove_all(peers_.work_dir().parent_path());
  }

  void StartProgram() {
    TForm1::Options options;
    options.base_dir = peers_.work_dir().string() + "/";
    options.player_factory = MakeGstVideoPlayerFactory();
    form_ = std::make_unique<TForm1>(std::move(options));
    form_->resize(1280, 800);
    form_->show();
  }

  bool Wait(const std::function<bool()>& done, int seconds, int step_ms = 100) {
    return WaitUntil(done, seconds, step_ms, PumpEvents);
  }

  PeerStack peers_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(ArchiveEndToEnd, ClosedRecordingIsListedAndPlays) {
  StartProgram();
  ASSERT_TRUE(Wait([&] { return peers_.Count(PeerStack::kStarted) >= 1; }, 20))
      << "the tile never went live";
  auto* grid = form_->findChild<QTableView*>("StringGrid1");
  auto* play = form_->findChild<QPushButton*>("Button1");
  auto* player = form_->findChild<VideoPlayer*>("VideoGrabber1");
  ASSERT_NE(grid, nullptr);
  ASSERT_NE(play, nullptr);
  ASSERT_NE(player, nullptr);
  if (auto* archive = form_->findChild<QAbstractButton*>("SpeedButton2")) archive->click();

  // Record a few seconds.
  Wait([] { return false; }, 3);
  EXPECT_EQ(ListedRow(grid), -1) << "listed before it was closed";

  // The request goes at the server: the tile closes and journals it; the
  // archive chunk with that record comes back and the grid lists it. The
  // loop notes when the archive files in temp/ last changed before the row
  // appeared: that is the chunk's arrival.
  const fs::path temp = peers_.work_dir() / "temp";
  auto files = ArchiveFiles(temp);
  Clock::time_point last_chunk{};
  peers_.DeleteRequest();
  bool closed = false;
  int row = -1;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  int step = 0;
  while (Clock::now() < deadline) {
    PumpEvents();
    const auto now_files = ArchiveFiles(temp);
    if (now_files != files) {
      files = now_files;
      last_chunk = Clock::now();
    }
    if (!closed && ++step % 10 == 0) closed = peers_.Count(PeerStack::kClosed) >= 1;
    row = ListedRow(grid);
    if (row >= 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto listed_at = Clock::now();
  closed = closed || peers_.Count(PeerStack::kClosed) >= 1;
  ASSERT_TRUE(closed) << "the closing was not journaled";
  ASSERT_GE(row, 0) << "the recording was not listed";
  ASSERT_NE(last_chunk, Clock::time_point{}) << "no archive chunk was seen";
  const double delay_ms = std::chrono::duration<double, std::milli>(listed_at - last_chunk).count();
  std::printf("[ measure  ] archive chunk to grid listing: %.0f ms\n", delay_ms);
  RecordProperty("chunk_to_listing_ms", static_cast<int>(delay_ms));

  // Select the row and press "Просмотр": the archive player opens the file
  // and plays.
  bool opened = false;
  qint64 last_frame = 0;
  QObject::connect(player, &VideoPlayer::opened, [&] { opened = true; });
  QObject::connect(player, &VideoPlayer::positionChanged,
                   [&](qint64 frame) { last_frame = std::max(last_frame, frame); });
  grid->setCurrentIndex(grid->model()->index(row, 0));
  PumpEvents();
  ASSERT_TRUE(play->isEnabled());
  play->click();
  ASSERT_TRUE(Wait([&] { return opened; }, 10)) << "the archive player did not open the file";
  EXPECT_GT(player->FrameCount(), 0);
  EXPECT_TRUE(Wait([&] { return last_frame > 0 || player->PositionFrame() > 0; }, 10))
      << "playback did not advance";
}

}  // namespace
}  // namespace korvel::e2e
