// The fake player the wall's tests use, and the full-screen behaviour every
// player shares.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QMouseEvent>
#include <QSignalSpy>

#include "video/player/fake_video_player.h"

namespace korvel {
namespace {

TEST(FakeVideoPlayerTest, RecordsCallsAndRaisesEventsWithState) {
  std::vector<FakeVideoPlayer*> made;
  QWidget wall;
  VideoPlayerFactory factory = MakeFakeVideoPlayerFactory(&made);
  VideoPlayer* player = factory(&wall);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(player->parentWidget(), &wall);
  FakeVideoPlayer& fake = *made[0];

  QSignalSpy recording(player, &VideoPlayer::recordingStarted);
  QSignalSpy lost(player, &VideoPlayer::deviceLost);
  QSignalSpy logs(player, &VideoPlayer::logText);
  player->OpenLive("rtsp://127.0.0.1:554/live");
  player->SetStreamTimeoutMs(100);
  player->StartRecording("/s/2024/3/7/a.mp4");
  EXPECT_EQ(fake.StreamTimeoutMs(), kMinStreamTimeoutMs);
  EXPECT_EQ(player->RecordingFile(), "/s/2024/3/7/a.mp4");
  fake.RaiseRecordingStarted();
  EXPECT_TRUE(player->IsLive());
  fake.RaiseDeviceLost();
  EXPECT_FALSE(player->IsLive());
  fake.RaiseReconnected();
  player->Stop();
  const std::vector<std::string> expected = {"OpenLive rtsp://127.0.0.1:554/live", "SetStreamTimeoutMs 100",
                                             "StartRecording /s/2024/3/7/a.mp4", "Stop"};
  EXPECT_EQ(fake.Calls(), expected);
  ASSERT_EQ(recording.count(), 1);
  EXPECT_EQ(recording.at(0).at(0).toString(), "/s/2024/3/7/a.mp4");
  EXPECT_EQ(lost.count(), 1);
  ASSERT_EQ(logs.count(), 2);
  EXPECT_TRUE(logs.at(0).at(0).toString().startsWith(kLogDeviceLost));
  EXPECT_TRUE(logs.at(1).at(0).toString().startsWith(kLogDeviceReconnected));
}

TEST(FakeVideoPlayerTest, PlaybackPositionsAndSeekClamp) {
  FakeVideoPlayer fake;
  QSignalSpy positions(&fake, &VideoPlayer::positionChanged);
  fake.OpenFile("/s/a.mp4");
  fake.RaiseOpened(1000, 400'000'000);
  EXPECT_EQ(fake.FrameCount(), 1000);
  fake.RaisePosition(497, 198'800'000);
  EXPECT_EQ(positions.count(), 1);
  fake.SeekToFrame(5000);
  EXPECT_EQ(fake.PositionFrame(), 999);
  fake.Pause();
  EXPECT_EQ(fake.State(), PlayerState::kPaused);
  fake.Resume();
  EXPECT_EQ(fake.State(), PlayerState::kPlaying);
}

TEST(VideoPlayerTest, FullScreenOnAMissingMonitorUsesThePrimaryAndReturnsToTheTile) {
  QWidget wall;
  wall.resize(800, 600);
  FakeVideoPlayer player(&wall);
  player.setGeometry(10, 20, 300, 200);
  wall.show();
  player.SetFullScreen(7);  // no such monitor
  EXPECT_TRUE(player.IsFullScreen());
  EXPECT_TRUE(player.isWindow());
  EXPECT_EQ(player.screen(), QGuiApplication::primaryScreen());
  player.ExitFullScreen();
  EXPECT_FALSE(player.IsFullScreen());
  EXPECT_FALSE(player.isWindow());
  EXPECT_EQ(player.parentWidget(), &wall);
  EXPECT_EQ(player.geometry(), QRect(10, 20, 300, 200));
  EXPECT_TRUE(player.isVisible());
}

TEST(VideoPlayerTest, MouseEventsBecomeSignals) {
  FakeVideoPlayer player;
  player.setObjectName("v12");
  QSignalSpy down(&player, &VideoPlayer::mouseDown);
  QSignalSpy twice(&player, &VideoPlayer::doubleClicked);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 6), QPointF(5, 6), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(&player, &press);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 6), QPointF(5, 6), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QCoreApplication::sendEvent(&player, &dbl);
  ASSERT_EQ(down.count(), 1);
  EXPECT_EQ(down.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
  EXPECT_EQ(down.at(0).at(1).toPoint(), QPoint(5, 6));
  EXPECT_EQ(twice.count(), 1);
}

}  // namespace
}  // namespace korvel
