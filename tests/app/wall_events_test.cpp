// The tile players' events: live flag and caption colour, the journal
// records they send, full screen, the tile menu and its close request.
#include <gtest/gtest.h>

#include <QAction>
#include <QWidget>

#include <memory>

#include "platform/byte_io.h"
#include "platform/codepage.h"
#include "platform/counted_text.h"
#include "tests/app/qt_test_app.h"
#include "video/player/fake_video_player.h"
#include "video/wall/video_wall.h"
#include "video/wall/recording_camera_event_sink.h"

namespace korvel {
namespace {

std::string Slot(const std::string& r, size_t offset, size_t capacity = 255) {
  return DecodeSlotText(r.data() + offset, capacity + 1);
}
std::string EventText(const std::string& r) { return Cp1251ToUtf8(Slot(r, 431)); }

class WallEventsTest : public ::testing::Test {
 protected:
  void Make(bool recording = false, int dfsm = 0) {
    EnsureQtApp();
    host_ = std::make_unique<QWidget>();
    host_->resize(800, 600);
    VideoWall::Settings s;
    s.recording = recording;
    s.storage_prefix = ::testing::TempDir() + "korvel_wall_events/";
    s.dfsm = dfsm;
    s.video_place = 4;
    wall_ = new VideoWall(host_.get(), MakeFakeVideoPlayerFactory(&players_), s, &sink_);
    ASSERT_TRUE(EncodeDateTime({2025, 6, 1, 12, 0, 0, 0}, &now_));
    wall_->SetClock([this] { return now_; });
    wall_->SetCloseRequestSink([this](std::string_view r) { requests_.emplace_back(r); });
    wall_->SetLinkShown(true);
    wall_->Place({800, 600, 81, 19});
  }
  void Open(int i) {
    ASSERT_TRUE(wall_->OpenCamera("cam" + std::to_string(i), "rtsp://h/" + std::to_string(i),
                                  100 + i, "obj"));
    wall_->Place({800, 600, 81, 19});
  }

  RecordingSink sink_;
  std::unique_ptr<QWidget> host_;
  VideoWall* wall_ = nullptr;
  std::vector<FakeVideoPlayer*> players_;
  std::vector<std::string> requests_;
  DateTime now_ = 0;
};

TEST_F(WallEventsTest, PreviewStartedMakesTheTileLiveAndJournalsTwoRecords) {
  Make();
  Open(0);
  EXPECT_EQ(wall_->caption(0)->TextColor(), CaptionPanel::kRed);
  players_[0]->RaisePreviewStarted();
  EXPECT_TRUE(wall_->table().live(0));
  EXPECT_EQ(wall_->caption(0)->TextColor(), CaptionPanel::kGreen);
  ASSERT_EQ(sink_.posted.size(), 2u);
  EXPECT_EQ(Slot(sink_.posted[0], 0, 30), "vi8_2025");
  EXPECT_EQ(Slot(sink_.posted[1], 0, 30), "sk8_20250601");
  EXPECT_EQ(EventText(sink_.posted[0]), "Просмотр камеры запущен");
  EXPECT_EQ(DecodeI32(sink_.posted[0].data() + 1455), 4);
  EXPECT_EQ(DecodeI32(sink_.posted[0].data() + 42), 100);
  EXPECT_EQ(Slot(sink_.posted[0], 687), "cam0");
  EXPECT_EQ(sink_.advances, 1);
}

TEST_F(WallEventsTest, SecondYearArchiveGivesThreeRecords) {
  Make(true);
  sink_.second = true;
  Open(0);
  players_[0]->RaiseRecordingStarted();
  ASSERT_EQ(sink_.posted.size(), 3u);
  EXPECT_EQ(Slot(sink_.posted[1], 0, 30), "si8_2025");
  EXPECT_EQ(EventText(sink_.posted[2]), "Просмотр и запись камеры запущен");
  EXPECT_EQ(Slot(sink_.posted[0], 1199), "");  // "started" carries no file
}

TEST_F(WallEventsTest, LostThenReconnected) {
  Make(true);
  Open(0);
  players_[0]->RaiseRecordingStarted();
  sink_.posted.clear();
  players_[0]->RaiseLog("Device lost: stream timed out");
  EXPECT_FALSE(wall_->table().live(0));
  EXPECT_EQ(wall_->caption(0)->TextColor(), CaptionPanel::kRed);
  ASSERT_EQ(sink_.posted.size(), 2u);
  EXPECT_EQ(EventText(sink_.posted[0]), "Потеря связи с камерой");
  EXPECT_EQ(Slot(sink_.posted[0], 1199), wall_->table().record(0).recording_file);
  EXPECT_FALSE(Slot(sink_.posted[0], 1199).empty());
  EXPECT_EQ(sink_.posted[0][1460], 0);
  players_[0]->RaiseLog("Device reconnected");
  EXPECT_TRUE(wall_->table().live(0));
  EXPECT_EQ(wall_->caption(0)->TextColor(), CaptionPanel::kGreen);
  ASSERT_EQ(sink_.posted.size(), 4u);
  EXPECT_EQ(EventText(sink_.posted[2]), "Просмотр и запись камеры запущен");
}

TEST_F(WallEventsTest, RecordingThatMovesToANewFileListsTheFinishedOne) {
  Make(true);
  Open(0);
  const std::string first = wall_->table().record(0).recording_file;
  // The first file was never written (no keyframe before the format
  // changed): nothing to list.
  players_[0]->RaiseRecordingMovedTo(QString::fromStdString(Cp1251ToUtf8(first)) + ".x-2.mp4");
  ASSERT_EQ(sink_.posted.size(), 2u);
  EXPECT_EQ(EventText(sink_.posted[0]), "Просмотр и запись камеры запущен");
  const std::string second = wall_->table().record(0).recording_file;
  EXPECT_EQ(second, first + ".x-2.mp4");
  sink_.posted.clear();
  // The same file announced again (a reconnection) lists nothing either.
  players_[0]->RaiseRecordingStarted();
  ASSERT_EQ(sink_.posted.size(), 2u);
  sink_.posted.clear();
  players_[0]->RaiseRecordingMovedTo(QString::fromStdString(Cp1251ToUtf8(first)) + ".x-3.mp4");
  ASSERT_EQ(sink_.posted.size(), 4u);
  EXPECT_EQ(EventText(sink_.posted[0]), "Просмотр и запись камеры закончены");
  EXPECT_EQ(Slot(sink_.posted[0], 1199), second);
  EXPECT_EQ(sink_.posted[0][1460], 1);
  EXPECT_EQ(EventText(sink_.posted[2]), "Просмотр и запись камеры запущен");
  sink_.posted.clear();
  wall_->CloseTile(0);
  ASSERT_EQ(sink_.posted.size(), 2u);
  EXPECT_EQ(Slot(sink_.posted[0], 1199), first + ".x-3.mp4");
}

TEST_F(WallEventsTest, OtherTextsAndDeviceLostSignalJournalNothing) {
  Make();
  Open(0);
  players_[0]->RaisePreviewStarted();
  sink_.posted.clear();
  players_[0]->RaiseLog("device lost");
  players_[0]->RaiseLog("Device");
  EXPECT_TRUE(wall_->table().live(0));
  emit players_[0]->deviceLost();
  EXPECT_FALSE(wall_->table().live(0));
  EXPECT_EQ(wall_->caption(0)->TextColor(), CaptionPanel::kRed);
  EXPECT_TRUE(sink_.posted.empty());
}

TEST_F(WallEventsTest, ClosedCarriesThePathAndTheListedFlag) {
  Make(false);
  Open(0);
  wall_->CloseTile(0);
  ASSERT_EQ(sink_.posted.size(), 2u);
  EXPECT_EQ(EventText(sink_.posted[0]), "Просмотр камеры закончен");
  EXPECT_EQ(Slot(sink_.posted[0], 1199), "");
  EXPECT_EQ(sink_.posted[0][1460], 1);
  EXPECT_EQ(Slot(sink_.posted[0], 687), "cam0");  // the record before it was cleared
  // A late event of the stopped player journals nothing.
  players_[0]->RaisePreviewStarted();
  EXPECT_EQ(sink_.posted.size(), 2u);
}

TEST_F(WallEventsTest, EventTimeIsServerTime) {
  Make();
  sink_.offset = 13.0 / 24;  // local clock 13 hours ahead: server day before
  Open(0);
  players_[0]->RaisePreviewStarted();
  ASSERT_EQ(sink_.posted.size(), 2u);
  EXPECT_EQ(Slot(sink_.posted[1], 0, 30), "sk8_20250531");
  EXPECT_NEAR(DecodeF64(sink_.posted[1].data() + 32), now_ - 13.0 / 24, 1e-9);
}

TEST_F(WallEventsTest, DoubleClickTogglesFullScreenOnDfsm) {
  Make(false, 1);
  Open(0);
  players_[0]->ClearCalls();
  players_[0]->RaiseDoubleClick();
  players_[0]->RaiseDoubleClick();
  EXPECT_EQ(players_[0]->Calls(), (std::vector<std::string>{"SetFullScreen 1", "ExitFullScreen"}));
}

TEST_F(WallEventsTest, MenuActsOnTheTileUnderTheLastPressWherePlaced) {
  Make();
  for (int i = 0; i < 6; ++i) Open(i);
  wall_->CloseTile(2);  // tile 5 now stands at position 4
  ASSERT_EQ(wall_->table().TileAt(4), 5);
  players_[12]->RaiseMouseDown(Qt::RightButton);
  EXPECT_EQ(wall_->menu_tile(), 12);
  wall_->PopupMenu1Popup();
  EXPECT_FALSE(wall_->N2()->isEnabled());  // a free tile
  players_[5]->RaiseMouseDown(Qt::RightButton);
  EXPECT_EQ(wall_->menu_tile(), 5);
  wall_->PopupMenu1Popup();
  EXPECT_TRUE(wall_->N2()->isEnabled());
  EXPECT_EQ(wall_->N2()->text(), QStringLiteral("Закрыть"));
  wall_->N2()->trigger();
  ASSERT_EQ(requests_.size(), 1u);
  const std::string& r = requests_[0];
  ASSERT_EQ(r.size(), 2u + 1 + 4 + 1 + 10 + 4);
  EXPECT_EQ(DecodeU16(r.data()), 699);
  EXPECT_EQ(r.substr(2, 5), std::string("\x04") + "cam5");
  EXPECT_EQ(DecodeI32(r.data() + r.size() - 4), 105);
  // Nothing changes on the wall until the server deletes the request.
  EXPECT_TRUE(wall_->table().record(5).occupied());
}

TEST_F(WallEventsTest, CloseRequestOf42Bytes) {
  Make();
  const std::string url = "rtsp://192.168.100.200:554/a01";  // 30 characters
  ASSERT_EQ(url.size(), 30u);
  ASSERT_TRUE(wall_->OpenCamera("Cam1", url, 0x01020304, "obj"));
  players_[0]->RaiseMouseDown();
  wall_->N2Click();
  ASSERT_EQ(requests_.size(), 1u);
  const std::string expected = std::string("\xBB\x02\x04", 3) + "Cam1" + "\x1E" + url +
                               std::string("\x04\x03\x02\x01", 4);
  EXPECT_EQ(requests_[0], expected);
  EXPECT_EQ(requests_[0].size(), 42u);
}

TEST_F(WallEventsTest, LongUrlIsCutTo255InTheRequest) {
  Make();
  ASSERT_TRUE(wall_->OpenCamera("c", "rtsp://" + std::string(293, 'x'), 1, "o"));
  players_[0]->RaiseMouseDown();
  wall_->N2Click();
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(static_cast<uint8_t>(requests_[0][4]), 255);
  EXPECT_EQ(requests_[0].size(), 2u + 2 + 256 + 4);
}

TEST_F(WallEventsTest, CaptionOfA400PixelPlayer) {
  Make();
  Open(0);
  // One tile, 400 pixels high: client height 400 + 81 + 19 + 4.
  wall_->Place({600, 504, 81, 19});
  ASSERT_EQ(wall_->player(0)->height(), 400);
  CaptionPanel* c = wall_->caption(0);
  EXPECT_EQ(c->geometry(), QRect(3, 84, 594, 24));
  EXPECT_EQ(c->FontPoints(), 16);
  EXPECT_EQ(c->font().pointSize(), 16);
  EXPECT_EQ(c->text(), QStringLiteral("obj - cam0"));
  EXPECT_TRUE(c->alignment() & Qt::AlignRight);
  wall_->SetLinkShown(false);
  wall_->Place({600, 504, 81, 19});
  EXPECT_EQ(c->geometry(), QRect(3, 84, 594, 400));
  EXPECT_EQ(c->text(), QStringLiteral("Нет связи с сервером сообщений"));
  EXPECT_EQ(c->BackgroundColor(), QColor(255, 0, 0));
  EXPECT_EQ(c->TextColor(), QColor(Qt::white));
  EXPECT_EQ(c->font().pointSize(), 16);
  // A tile going live while the link is down keeps the white notice.
  players_[0]->RaisePreviewStarted();
  EXPECT_EQ(c->TextColor(), QColor(Qt::white));
  wall_->SetLinkShown(true);
  wall_->Place({600, 504, 81, 19});
  EXPECT_EQ(c->TextColor(), CaptionPanel::kGreen);
}

}  // namespace
}  // namespace korvel
