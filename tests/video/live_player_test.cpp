// The GStreamer player against fakecam over loopback (offscreen): preview,
// recording without re-encoding, files that survive a killed recorder, loss
// and reconnection, a frozen camera, retries of a camera that stays down.
#include <signal.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "tests/video/video_test_support.h"
#include "video/gst/gst_video_player.h"
#include "video/gst/reconnect_backoff.h"

namespace korvel {
namespace {

using test::Fakecam;
using test::Probe;
using test::WaitUntil;

// Generous bounds: a loaded machine must not fail a correct build.
constexpr int kStartLimitMs = 30000;

struct Events {
  explicit Events(VideoPlayer* player) {
    QObject::connect(player, &VideoPlayer::previewStarted, [this] { ++preview; });
    QObject::connect(player, &VideoPlayer::recordingStarted, [this](const QString& f) { recordings << f; });
    QObject::connect(player, &VideoPlayer::deviceLost, [this] { ++lost; });
    QObject::connect(player, &VideoPlayer::logText, [this](const QString& t) { logs << t; });
  }
  int Count(const QString& prefix) const {
    int n = 0;
    for (const QString& t : logs) n += t.startsWith(prefix) ? 1 : 0;
    return n;
  }
  int preview = 0;
  int lost = 0;
  QStringList recordings;
  QStringList logs;
};

// True when the widget shows something other than black.
bool ShowsPicture(QWidget* widget) {
  const QImage image = widget->grab().toImage();
  for (int y = 0; y < image.height(); y += 7) {
    for (int x = 0; x < image.width(); x += 7) {
      if (qGray(image.pixel(x, y)) > 40) return true;
    }
  }
  return false;
}

TEST(ReconnectBackoffTest, DoublesFromOneSecondUpToThirtyAndRestartsOnReset) {
  ReconnectBackoff backoff;
  const int expected[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000};
  for (int delay : expected) EXPECT_EQ(backoff.NextDelayMs(), delay);
  backoff.Reset();
  EXPECT_EQ(backoff.NextDelayMs(), 1000);
}

TEST(LivePlayerTest, PreviewStartsAndPaintsFrames) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  GstVideoPlayer player;
  player.resize(320, 240);
  Events events(&player);
  player.OpenLive(cams.Url(0));
  player.StartPreview();
  ASSERT_TRUE(WaitUntil([&] { return events.preview == 1; }, kStartLimitMs));
  EXPECT_TRUE(player.IsLive());
  EXPECT_EQ(player.State(), PlayerState::kLive);
  EXPECT_TRUE(player.RecordingFile().isEmpty());
  EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(&player); }, kStartLimitMs));
  EXPECT_TRUE(events.recordings.isEmpty());
  player.Stop();
  EXPECT_EQ(player.State(), PlayerState::kIdle);
  EXPECT_FALSE(ShowsPicture(&player));
}

TEST(LivePlayerTest, RecordingIsTheCamerasOwnH264WithItsDuration) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  QTemporaryDir dir;
  const QString file = dir.filePath("Склад №5-Подъезд 2-14-05-09.mp4");
  GstVideoPlayer player;
  player.resize(320, 240);
  Events events(&player);
  player.OpenLive(cams.Url(0));
  QElapsedTimer opened;
  opened.start();
  player.StartRecording(file);
  ASSERT_TRUE(WaitUntil([&] { return !events.recordings.isEmpty(); }, kStartLimitMs));
  EXPECT_EQ(events.recordings, QStringList{file});
  EXPECT_EQ(player.RecordingFile(), file);
  EXPECT_EQ(events.preview, 0) << "a recording reports one start, the recording's";
  QElapsedTimer recorded;
  recorded.start();
  test::Spin(4000);
  const double seconds = recorded.elapsed() / 1000.0;
  player.Stop();
  const double at_most_s = opened.elapsed() / 1000.0;

  const test::ProbeResult probe = Probe(file);
  ASSERT_TRUE(probe.ok);
  EXPECT_EQ(probe.stream.at("codec_name"), "h264");
  // The camera sends Constrained Baseline; an encoder of ours would not.
  EXPECT_EQ(probe.stream.at("profile"), "Constrained Baseline");
  EXPECT_EQ(probe.stream.at("width"), "320");
  EXPECT_EQ(probe.stream.at("height"), "240");
  // The file holds the time between the start and the stop. Both ends are seen
  // late on a busy machine, so the bounds bracket them: the recording began
  // after StartRecording() and before recordingStarted() arrived, and holds
  // what came in until Stop() (less what was still on its way).
  EXPECT_GT(probe.duration_s, seconds - 1.0);
  EXPECT_LT(probe.duration_s, at_most_s + 1.0);
  EXPECT_NEAR(probe.duration_s, test::MediaEndS(file), 0.1) << "the index states the media's own duration";
  EXPECT_TRUE(test::DecodesCleanly(file)) << "the file starts at a keyframe";
  EXPECT_TRUE(test::DtsIncrease(file));
}

TEST(LivePlayerTest, KilledRecorderLeavesAPlayableFileWithItsDuration) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  QTemporaryDir dir;
  const QString file = dir.filePath("killed.mp4");
  QProcess recorder;
  QElapsedTimer alive;
  alive.start();
  recorder.start(KORVEL_RECORD_HELPER_PATH, {cams.Url(0), file});
  ASSERT_TRUE(recorder.waitForStarted());
  QString out;
  ASSERT_TRUE(WaitUntil(
      [&] {
        recorder.waitForReadyRead(50);
        out += QString::fromUtf8(recorder.readAllStandardOutput());
        return out.contains("recording ");
      },
      kStartLimitMs));
  QElapsedTimer recorded;
  recorded.start();
  test::Spin(5000);
  const double seconds = recorded.elapsed() / 1000.0;
  ::kill(static_cast<pid_t>(recorder.processId()), SIGKILL);
  const double at_most_s = alive.elapsed() / 1000.0;
  recorder.waitForFinished();

  const test::ProbeResult probe = Probe(file);
  ASSERT_TRUE(probe.ok) << "the killed recording is readable";
  EXPECT_EQ(probe.stream.at("codec_name"), "h264");
  // The index is rewritten every second: at most about that much is lost.
  // The recording began between the recorder's start and its "recording"
  // line, which a busy machine delivers late; the bounds bracket both.
  EXPECT_GT(probe.duration_s, seconds - 1.6);
  EXPECT_LT(probe.duration_s, at_most_s + 1.0);
  EXPECT_GT(probe.duration_s, 2.0);
  // What the index states is the media it indexes (a fragmented file would
  // state something else).
  EXPECT_NEAR(probe.duration_s, test::MediaEndS(file), 0.1);
  EXPECT_TRUE(test::DecodesCleanly(file));
  EXPECT_TRUE(test::DtsIncrease(file));
}

TEST(LivePlayerTest, StoppedCameraIsLostThenReconnectsIntoTheSameFile) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  QTemporaryDir dir;
  const QString file = dir.filePath("across.mp4");
  GstVideoPlayer player;
  player.resize(320, 240);
  Events events(&player);
  player.OpenLive(cams.Url(0));
  player.StartRecording(file);
  ASSERT_TRUE(WaitUntil([&] { return !events.recordings.isEmpty(); }, kStartLimitMs));
  test::Spin(2000);

  ASSERT_TRUE(cams.Command("stop cam0"));
  ASSERT_TRUE(WaitUntil([&] { return events.lost == 1; }, kStartLimitMs));
  EXPECT_EQ(events.Count("Device lost"), 1);
  EXPECT_FALSE(player.IsLive());
  EXPECT_EQ(player.State(), PlayerState::kReconnecting);

  ASSERT_TRUE(cams.Command("start cam0"));
  // The retries after the loss come 1, 2, 4... s apart; a busy machine may
  // miss one and need the next.
  ASSERT_TRUE(WaitUntil([&] { return events.Count("Device reconn") == 1; }, 40000));
  EXPECT_TRUE(player.IsLive());
  EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(&player); }, kStartLimitMs));
  test::Spin(2000);
  EXPECT_EQ(player.RecordingFile(), file) << "the same format goes on in the same file";
  player.Stop();

  EXPECT_EQ(events.recordings, QStringList{file});
  EXPECT_EQ(events.lost, 1);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
  const test::ProbeResult probe = Probe(file);
  ASSERT_TRUE(probe.ok);
  EXPECT_GT(probe.duration_s, 3.5) << "both connections are in the file";
  EXPECT_TRUE(test::DecodesCleanly(file));
  EXPECT_TRUE(test::DtsIncrease(file));
}

TEST(LivePlayerTest, FrozenCameraIsLostAfterTheNoFramesTimeout) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  GstVideoPlayer player;
  player.resize(160, 120);
  Events events(&player);
  player.OpenLive(cams.Url(0));
  player.SetStreamTimeoutMs(kDefaultStreamTimeoutMs);
  player.StartPreview();
  ASSERT_TRUE(WaitUntil([&] { return events.preview == 1; }, kStartLimitMs));
  ::kill(cams.Pid(), SIGSTOP);
  // The connection stays up; only the missing frames tell (10 s).
  const bool lost = WaitUntil([&] { return events.lost == 1; }, 30000);
  ::kill(cams.Pid(), SIGCONT);
  EXPECT_TRUE(lost);
  EXPECT_EQ(events.Count("Device lost"), 1);
}

TEST(LivePlayerTest, CameraThatStaysDownIsRetriedWithGrowingDelays) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  ASSERT_TRUE(cams.Command("refuse cam0"));
  GstVideoPlayer player;
  Events events(&player);
  player.OpenLive(cams.Url(0));
  player.StartPreview();
  ASSERT_TRUE(WaitUntil([&] { return events.Count("Retry in") >= 3; }, 40000));
  QStringList retries = events.logs.filter(QRegularExpression("^Retry in"));
  EXPECT_TRUE(retries[0].startsWith("Retry in 1000 ms"));
  EXPECT_TRUE(retries[1].startsWith("Retry in 2000 ms"));
  EXPECT_TRUE(retries[2].startsWith("Retry in 4000 ms"));
  EXPECT_EQ(events.lost, 0) << "a camera never seen is not reported lost";
  EXPECT_EQ(player.State(), PlayerState::kConnecting);

  // When it comes up, the next attempt (4 s on) finds it; a busy machine may
  // need the one after (8 s later).
  ASSERT_TRUE(cams.Command("start cam0"));
  EXPECT_TRUE(WaitUntil([&] { return events.preview == 1; }, 40000));
}

TEST(LivePlayerTest, MjpegCameraIsShownAndRecordedAsH264) {
  Fakecam cams(1, {"--mjpeg", QString("mj=%1").arg(test::FreePort())});
  ASSERT_TRUE(cams.Ready());
  QTemporaryDir dir;
  const QString file = dir.filePath("mjpeg.mp4");
  GstVideoPlayer player;
  player.resize(320, 240);
  Events events(&player);
  player.OpenLive(cams.MjpegUrl());
  player.StartRecording(file);
  ASSERT_TRUE(WaitUntil([&] { return !events.recordings.isEmpty(); }, kStartLimitMs));
  EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(&player); }, kStartLimitMs));
  test::Spin(2000);
  player.Stop();
  const test::ProbeResult probe = Probe(file);
  ASSERT_TRUE(probe.ok);
  EXPECT_EQ(probe.stream.at("codec_name"), "h264");
  EXPECT_GT(probe.duration_s, 1.0);
}

TEST(LivePlayerTest, UnsupportedAddressStartsNothing) {
  GstVideoPlayer player;
  Events events(&player);
  player.OpenLive("ftp://127.0.0.1/cam");
  player.StartPreview();
  test::Spin(300);
  EXPECT_EQ(events.Count("Unsupported stream address"), 1);
  EXPECT_EQ(events.preview, 0);
}

}  // namespace
}  // namespace korvel
