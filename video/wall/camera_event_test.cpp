#include "video/wall/camera_event.h"

#include <gtest/gtest.h>

#include "platform/byte_io.h"
#include "platform/codepage.h"
#include "platform/counted_text.h"
#include "video/wall/camera_event_format.h"
#include "video/wall/recording_camera_event_sink.h"

namespace korvel {
namespace {

namespace ce = camera_event;

std::string Slot(const std::string& record, size_t offset, size_t capacity) {
  return DecodeSlotText(record.data() + offset, capacity + 1);
}

TileRecord Tile(bool recording) {
  TileRecord t;
  t.n_obj = 1234;
  t.name = Utf8ToCp1251("Подъезд 2");
  t.url = "rtsp://10.0.0.5:554/stream1";
  t.nameobj = Utf8ToCp1251("Склад №5");
  t.recording = recording;
  t.recording_file = Utf8ToCp1251("storage/2025/1/1/Склад №5-Подъезд 2-00-00-00.mp4");
  return t;
}

DateTime Jan1st2025Midnight() {
  DateTime dt = 0;
  EXPECT_TRUE(EncodeDateTime({2025, 1, 1, 0, 0, 0, 0}, &dt));
  return dt;
}

TEST(CameraEventRecord, EveryFieldAtItsOffset) {
  CameraEventFields f;
  f.archive_name = "vi8_2025";
  f.operation = 1;
  f.event_time = 45658.5;
  f.n_obj = -7;
  f.nameobj = "obj";
  f.event_text = "txt";
  f.name = "cam";
  f.url = "rtsp://u";
  f.recording_file = "file.mp4";
  f.workstation = 3;
  f.listed = true;
  const std::string r = BuildCameraEventRecord(f);
  ASSERT_EQ(r.size(), 1461u);
  EXPECT_EQ(r[0], 8);
  EXPECT_EQ(Slot(r, ce::kArchiveNameOffset, 30), "vi8_2025");
  EXPECT_EQ(r[31], 1);
  EXPECT_EQ(DecodeF64(r.data() + 32), 45658.5);
  EXPECT_EQ(DecodeU16(r.data() + 40), 96);
  EXPECT_EQ(DecodeI32(r.data() + 42), -7);
  EXPECT_EQ(Slot(r, 46, 255), "obj");
  EXPECT_EQ(Slot(r, 302, 128), "");
  EXPECT_EQ(Slot(r, 431, 255), "txt");
  EXPECT_EQ(Slot(r, 687, 255), "cam");
  EXPECT_EQ(Slot(r, 943, 255), "rtsp://u");
  EXPECT_EQ(Slot(r, 1199, 255), "file.mp4");
  EXPECT_EQ(DecodeI32(r.data() + 1455), 3);
  EXPECT_EQ(r[1459], 0);
  EXPECT_EQ(r[1460], 1);
  // Padding after each text is zero.
  for (size_t i = 1 + 8; i < 31; ++i) EXPECT_EQ(r[i], 0) << i;
  for (size_t i = 302; i < 431; ++i) EXPECT_EQ(r[i], 0) << i;
}

TEST(CameraEventRecord, LongTextsAreCutToTheirSlots) {
  CameraEventFields f;
  f.archive_name = std::string(40, 'a');
  f.name = std::string(300, 'n');
  f.url = std::string(300, 'u');
  const std::string r = BuildCameraEventRecord(f);
  ASSERT_EQ(r.size(), 1461u);
  EXPECT_EQ(static_cast<uint8_t>(r[0]), 30);
  EXPECT_EQ(static_cast<uint8_t>(r[687]), 255);
  EXPECT_EQ(Slot(r, 687, 255), std::string(255, 'n'));
  EXPECT_EQ(static_cast<uint8_t>(r[943]), 255);
  EXPECT_EQ(r[943 + 256], 0);  // the recording file slot starts empty
}

TEST(CameraEventRecords, TwoMessagesWithoutTheSecondYearArchive) {
  const auto records = BuildCameraEventRecords(Tile(true), CameraEventKind::kPreviewStarted,
                                               Jan1st2025Midnight(), 2, false);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Slot(records[0], 0, 30), "vi8_2025");
  EXPECT_EQ(records[0][31], 1);
  EXPECT_EQ(Slot(records[1], 0, 30), "sk8_20250101");
  EXPECT_EQ(records[1][31], 3);
  // Apart from name and operation the two are the same bytes.
  EXPECT_EQ(records[0].substr(32), records[1].substr(32));
  EXPECT_EQ(DecodeI32(records[0].data() + 1455), 2);
}

TEST(CameraEventRecords, ThreeMessagesInOrderWithTheSecondYearArchive) {
  const auto records = BuildCameraEventRecords(Tile(false), CameraEventKind::kLost,
                                               Jan1st2025Midnight(), 1, true);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(Slot(records[0], 0, 30), "vi8_2025");
  EXPECT_EQ(Slot(records[1], 0, 30), "si8_2025");
  EXPECT_EQ(records[1][31], 1);
  EXPECT_EQ(Slot(records[2], 0, 30), "sk8_20250101");
  EXPECT_EQ(records[2][31], 3);
}

struct KindCase {
  CameraEventKind kind;
  bool recording;
  const char* text;
  bool carries_file;
  int listed;
};

class CameraEventKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(CameraEventKinds, TextFileAndListedFlag) {
  const KindCase& c = GetParam();
  const TileRecord tile = Tile(c.recording);
  const auto records = BuildCameraEventRecords(tile, c.kind, Jan1st2025Midnight(), 1, false);
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& r : records) {
    EXPECT_EQ(Cp1251ToUtf8(Slot(r, 431, 255)), c.text);
    EXPECT_EQ(Slot(r, 1199, 255), c.carries_file ? tile.recording_file : "");
    EXPECT_EQ(r[1460], c.listed);
    EXPECT_EQ(Slot(r, 46, 255), tile.nameobj);
    EXPECT_EQ(Slot(r, 687, 255), tile.name);
    EXPECT_EQ(Slot(r, 943, 255), tile.url);
    EXPECT_EQ(DecodeI32(r.data() + 42), 1234);
    EXPECT_EQ(DecodeU16(r.data() + 40), 96);
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, CameraEventKinds,
    ::testing::Values(
        KindCase{CameraEventKind::kPreviewStarted, true, "Просмотр и запись камеры запущен", false, 0},
        KindCase{CameraEventKind::kPreviewStarted, false, "Просмотр камеры запущен", false, 0},
        KindCase{CameraEventKind::kRecordingStarted, true, "Просмотр и запись камеры запущен", false, 0},
        KindCase{CameraEventKind::kRecordingStarted, false, "Просмотр камеры запущен", false, 0},
        KindCase{CameraEventKind::kLost, true, "Потеря связи с камерой", true, 0},
        KindCase{CameraEventKind::kLost, false, "Потеря связи с камерой", true, 0},
        KindCase{CameraEventKind::kReconnected, true, "Просмотр и запись камеры запущен", false, 0},
        KindCase{CameraEventKind::kReconnected, false, "Просмотр камеры запущен", false, 0},
        KindCase{CameraEventKind::kClosed, true, "Просмотр и запись камеры закончены", true, 1},
        KindCase{CameraEventKind::kClosed, false, "Просмотр камеры закончен", true, 1}));

TEST(CameraEventRecords, ClosedWithRecordingOffCarriesAnEmptyPath) {
  TileRecord tile = Tile(false);
  tile.recording_file.clear();
  const auto records =
      BuildCameraEventRecords(tile, CameraEventKind::kClosed, Jan1st2025Midnight(), 1, false);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0][1199], 0);
  EXPECT_EQ(records[0][1460], 1);
  EXPECT_EQ(Cp1251ToUtf8(Slot(records[0], 431, 255)), "Просмотр камеры закончен");
}

TEST(CameraEventRecords, UndecodableTimeSendsNothing) {
  EXPECT_TRUE(BuildCameraEventRecords(Tile(true), CameraEventKind::kClosed, 1e12, 1, false)
                  .empty());
}

TEST(SecondYearArchive, Bit5OfByte386) {
  std::string block(512, '\0');
  EXPECT_FALSE(SecondYearArchiveOn(block));
  block[386] = 0x20;
  EXPECT_TRUE(SecondYearArchiveOn(block));
  block[386] = static_cast<char>(0xDF);
  EXPECT_FALSE(SecondYearArchiveOn(block));
  EXPECT_FALSE(SecondYearArchiveOn(std::string(386, '\xff')));
}

TEST(SendCameraEvent, ServerTimeNamesTheArchivesAndThePollAdvances) {
  RecordingSink sink;
  // Local clock one hour ahead of the server: local 01:00 on 1 January is
  // server midnight of that day.
  sink.offset = 1.0 / 24;
  SendCameraEvent(sink, Tile(true), CameraEventKind::kClosed, 1,
                  Jan1st2025Midnight() + 1.0 / 24);
  ASSERT_EQ(sink.posted.size(), 2u);
  EXPECT_EQ(Slot(sink.posted[0], 0, 30), "vi8_2025");
  EXPECT_EQ(Slot(sink.posted[1], 0, 30), "sk8_20250101");
  EXPECT_NEAR(DecodeF64(sink.posted[0].data() + 32), Jan1st2025Midnight(), 1e-9);
  EXPECT_EQ(sink.advances, 1);

  // The same local time with no offset is still 2025; one second earlier on
  // the server is the previous year.
  RecordingSink behind;
  behind.offset = 1.0 / 24 + 1.0 / 86400;
  SendCameraEvent(behind, Tile(true), CameraEventKind::kClosed, 1,
                  Jan1st2025Midnight() + 1.0 / 24);
  ASSERT_EQ(behind.posted.size(), 2u);
  EXPECT_EQ(Slot(behind.posted[0], 0, 30), "vi8_2024");
  EXPECT_EQ(Slot(behind.posted[1], 0, 30), "sk8_20241231");
}

}  // namespace
}  // namespace korvel
