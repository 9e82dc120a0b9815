// The archive view playing real MP4 files through the GStreamer player:
// "Просмотр", "Пауза", another row, "Просмотр" resumes; a double-click plays
// the new row; "Стоп" resets the label and keeps the bar; a click on the bar
// seeks. Clips are made with ffmpeg; the test is skipped without it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>

#include <filesystem>
#include <functional>

#include "platform/codepage.h"
#include "video/archive/archive_writer.h"
#include "video/archive_view/archive_view.h"
#include "video/gst/gst_video_player.h"

namespace korvel {
namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "archive_playback_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return app;
}

// Turns the event loop until `done` holds; the limit only keeps a broken
// build from hanging.
bool WaitUntil(const std::function<bool()>& done, int limit_ms = 15000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit_ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// An H.264 MP4 of `seconds` at 25 frames per second.
bool MakeClip(const std::string& path, int seconds) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                          QString("testsrc=duration=%1:size=320x240:rate=25").arg(seconds),
                          "-c:v", "libx264", "-pix_fmt", "yuv420p", QString::fromStdString(path)});
  return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
         ffmpeg.exitCode() == 0;
}

class ArchivePlaybackTest : public ::testing::Test {
 protected:
  // The clips and the archive are made once for the suite.
  static void SetUpTestSuite() {
    App();
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) return;
    char tmpl[] = "/tmp/korvel_archive_play_XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return;
    const std::string base = std::string(tmpl) + "/";
    std::filesystem::create_directories(base + "temp");
    std::filesystem::create_directories(base + "storage/2024/03/07");
    if (!MakeClip(base + "storage/2024/03/07/long.mp4", 4) ||
        !MakeClip(base + "storage/2024/03/07/short.mp4", 2)) {
      return;
    }
    ArchiveWriter w(2024);
    for (const char* file : {"long.mp4", "short.mp4"}) {
      ArchiveEventFields e;
      e.month = 3;
      e.day = 7;
      e.hour = 14;
      e.object = Utf8ToCp1251("Склад №5");
      e.camera = Utf8ToCp1251("Подъезд 2");
      e.workstation = 1;
      e.recording_path = std::string("storage/2024/03/07/") + file;
      w.Append(e);
    }
    if (w.WriteFiles(base + "temp", "vi8_2024")) *Base() = base;
  }
  static void TearDownTestSuite() {
    if (!Base()->empty()) std::filesystem::remove_all(*Base());
  }
  static std::string* Base() {
    static std::string base;
    return &base;
  }

  void SetUp() override {
    if (Base()->empty()) GTEST_SKIP() << "no ffmpeg, or the clips could not be made";
    base_ = *Base();
    LoadArchiveYear(base_, 2024, &entry_);

    ArchiveView::Settings settings;
    settings.base_dir = base_;
    view_ = std::make_unique<ArchiveView>(&entry_, MakeGstVideoPlayerFactory(), settings);
    view_->resize(1000, 500);
    view_->show();
    entry_.dirty = true;
    ASSERT_TRUE(view_->TimerStep());
    play_ = view_->findChild<QPushButton*>("Button1");
    pause_ = view_->findChild<QPushButton*>("Button3");
    stop_ = view_->findChild<QPushButton*>("Button2");
    bar_ = view_->findChild<QProgressBar*>("ProgressBar1");
    label_ = view_->findChild<QLabel*>("Label1");
  }
  void TearDown() override { view_.reset(); }

  // The total of the time label: the part after '/'.
  QString Total() const { return label_->text().section('/', 1); }

  std::string base_;
  ArchiveEntry entry_;
  std::unique_ptr<ArchiveView> view_;
  QPushButton* play_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* stop_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* label_ = nullptr;
};

TEST_F(ArchivePlaybackTest, PauseAnotherRowResumeThenDoubleClickPlaysIt) {
  VideoPlayer* player = view_->Player();
  ASSERT_TRUE(play_->isEnabled());
  play_->click();
  ASSERT_TRUE(WaitUntil([&] { return stop_->isEnabled() && pause_->isEnabled(); }));
  ASSERT_TRUE(WaitUntil([&] { return Total() == "00:00:04"; }));
  ASSERT_TRUE(WaitUntil([&] { return player->PositionFrame() > 3; }));
  // KORVEL_ARCHIVE_SCREENSHOT=<file.png> keeps a picture of the view playing.
  if (const char* shot = ::getenv("KORVEL_ARCHIVE_SCREENSHOT")) {
    view_->ShowYear(2024);
    ASSERT_TRUE(WaitUntil([&] { return player->PositionFrame() > 40; }));
    EXPECT_TRUE(view_->grab().save(QString::fromLocal8Bit(shot)));
  }

  pause_->click();
  EXPECT_EQ(player->State(), PlayerState::kPaused);
  view_->SelectGridRow(2);
  play_->click();  // resumes the paused recording, not the selected one
  EXPECT_EQ(player->State(), PlayerState::kPlaying);
  EXPECT_EQ(player->FrameCount(), 100);

  pause_->click();
  view_->StringGrid1DblClick();  // plays the selected row
  ASSERT_TRUE(WaitUntil([&] { return player->FrameCount() == 50; }));
  ASSERT_TRUE(WaitUntil([&] { return Total() == "00:00:02"; }));
  EXPECT_FALSE(view_->PlayerPaused());
}

TEST_F(ArchivePlaybackTest, StopKeepsTheBarAndSeekingFollowsTheClick) {
  VideoPlayer* player = view_->Player();
  play_->click();
  ASSERT_TRUE(WaitUntil([&] { return stop_->isEnabled() && player->FrameCount() == 100; }));
  pause_->click();
  view_->ProgressBar1MouseDown(120);  // 120 of 241 pixels on 100 frames
  ASSERT_TRUE(WaitUntil([&] { return player->PositionFrame() == 49; }));
  play_->click();
  ASSERT_TRUE(WaitUntil([&] { return bar_->value() >= 49; }));

  stop_->click();
  const int bar = bar_->value();
  EXPECT_EQ(label_->text(), "00:00:00/00:00:00");
  EXPECT_FALSE(stop_->isEnabled());
  EXPECT_FALSE(pause_->isEnabled());
  QApplication::processEvents();
  EXPECT_EQ(bar_->value(), bar);
  // After a stop, "Просмотр" opens the file again.
  play_->click();
  ASSERT_TRUE(WaitUntil([&] { return stop_->isEnabled(); }));
}

}  // namespace
}  // namespace korvel
