// Playback of a local file in the GStreamer player: frame count, duration,
// positions in 100-ns units, pause, resume, seek to a frame, stop, the end.
#include <gst/gst.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include "tests/video/video_test_support.h"
#include "video/gst/gobject_ref.h"
#include "video/gst/gst_support.h"
#include "video/gst/gst_video_player.h"

namespace korvel {
namespace {

using test::WaitUntil;

constexpr int kFrames = 100;  // 4 s at 25 frames per second
constexpr qint64 k100nsPerSecond = 10'000'000;
// Bounds of the waits only: a loaded machine must not fail a correct build.
constexpr int kWaitLimitMs = 30000;

// Writes an MP4 of kFrames frames at 25 fps; false on failure.
bool WriteClip(const QString& path) {
  EnsureGstreamer();
  GObjectRef<GstElement> pipeline(GST_ELEMENT(gst_object_ref_sink(gst_parse_launch(
      "videotestsrc pattern=ball num-buffers=100 ! video/x-raw,width=320,height=240,framerate=25/1 ! "
      "x264enc key-int-max=25 speed-preset=ultrafast ! h264parse ! mp4mux ! filesink name=sink",
      nullptr))));
  if (!pipeline) return false;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink");
  g_object_set(sink, "location", path.toUtf8().constData(), nullptr);
  gst_object_unref(sink);
  gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline.get());
  GstMessage* done = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = done != nullptr && GST_MESSAGE_TYPE(done) == GST_MESSAGE_EOS;
  if (done != nullptr) gst_message_unref(done);
  gst_object_unref(bus);
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return ok;
}

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clip_ = dir_.filePath("clip.mp4");
    ASSERT_TRUE(WriteClip(clip_));
    player_.resize(320, 240);
  }
  QTemporaryDir dir_;
  QString clip_;
  GstVideoPlayer player_;
};

TEST_F(PlaybackTest, ReportsFramesAndDurationThenPausesResumesAndSeeks) {
  QSignalSpy opened(&player_, &VideoPlayer::opened);
  QSignalSpy positions(&player_, &VideoPlayer::positionChanged);
  player_.OpenFile(clip_);
  ASSERT_TRUE(WaitUntil([&] { return opened.count() == 1; }, kWaitLimitMs));
  EXPECT_EQ(player_.FrameCount(), kFrames);
  EXPECT_EQ(player_.Duration100ns(), 4 * k100nsPerSecond);
  EXPECT_EQ(player_.State(), PlayerState::kPlaying);
  ASSERT_TRUE(WaitUntil([&] { return positions.count() >= 2; }, kWaitLimitMs));
  ASSERT_TRUE(WaitUntil([&] { return player_.PositionFrame() > 5; }, kWaitLimitMs));

  player_.Pause();
  EXPECT_EQ(player_.State(), PlayerState::kPaused);
  // A pause takes effect asynchronously; a busy machine may take a while.
  test::Spin(1000);
  const qint64 paused_at = player_.Position100ns();
  test::Spin(500);
  EXPECT_EQ(player_.Position100ns(), paused_at) << "a paused file stands still";

  player_.SeekToFrame(60);
  ASSERT_TRUE(WaitUntil([&] { return player_.PositionFrame() == 60; }, kWaitLimitMs));
  EXPECT_EQ(player_.Position100ns(), 60 * k100nsPerSecond / 25);

  player_.Resume();
  EXPECT_EQ(player_.State(), PlayerState::kPlaying);
  EXPECT_TRUE(WaitUntil([&] { return player_.PositionFrame() > 62; }, kWaitLimitMs)) << "playing on from frame 60";
}

TEST_F(PlaybackTest, StopGoesBackToTheStartAndTheEndIsReported) {
  QSignalSpy opened(&player_, &VideoPlayer::opened);
  QSignalSpy positions(&player_, &VideoPlayer::positionChanged);
  player_.OpenFile(QUrl::fromLocalFile(clip_).toString());  // file:// works too
  ASSERT_TRUE(WaitUntil([&] { return opened.count() == 1; }, kWaitLimitMs));
  player_.StopPlayback();
  EXPECT_EQ(player_.State(), PlayerState::kIdle);
  EXPECT_EQ(player_.Position100ns(), 0);
  EXPECT_EQ(player_.FrameCount(), kFrames) << "the file stays open";

  player_.Play();
  player_.SeekToFrame(90);
  ASSERT_TRUE(WaitUntil([&] { return player_.State() == PlayerState::kPaused; }, kWaitLimitMs)) << "the end";
  ASSERT_FALSE(positions.isEmpty());
  EXPECT_EQ(positions.last().at(0).toLongLong(), kFrames - 1);

  // Playing after the end starts over.
  player_.Play();
  EXPECT_TRUE(WaitUntil([&] { return player_.PositionFrame() > 0 && player_.PositionFrame() < 50; }, kWaitLimitMs));
}

TEST_F(PlaybackTest, OnlyRegularFilesOpen) {
  QSignalSpy opened(&player_, &VideoPlayer::opened);
  QSignalSpy logs(&player_, &VideoPlayer::logText);
  for (const QString& path : {dir_.filePath("missing.mp4"), dir_.path(), QString("/dev/zero")}) {
    player_.OpenFile(path);
    EXPECT_EQ(player_.State(), PlayerState::kIdle) << path.toStdString();
  }
  test::Spin(300);
  EXPECT_EQ(opened.count(), 0);
  EXPECT_EQ(logs.count(), 3);
  EXPECT_EQ(player_.FrameCount(), 0);
}

TEST_F(PlaybackTest, DamagedFileNeverOpensAndBreaksNothing) {
  QFile damaged(dir_.filePath("damaged.mp4"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write(QByteArray(4096, '\x5a'));
  damaged.close();
  QSignalSpy opened(&player_, &VideoPlayer::opened);
  player_.OpenFile(damaged.fileName());
  test::Spin(1000);
  EXPECT_EQ(opened.count(), 0);
  EXPECT_EQ(player_.FrameCount(), 0);
  EXPECT_EQ(player_.Duration100ns(), 0);
  player_.SeekToFrame(10);
  player_.Pause();
  player_.Resume();
  player_.StopPlayback();
}

}  // namespace
}  // namespace korvel
