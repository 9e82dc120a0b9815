#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "video/archive/archive_test_fixture.h"

namespace korvel {
namespace {

using archive_test::Closed;
using archive_test::Fill;
using archive_test::Filter;

TEST(ArchivePoolText, OffsetsOutsideThePoolReadEmpty) {
  const std::string pool("\x00\x03" "abc" "\x05" "xy", 8);
  struct Case {
    int64_t offset;
    std::string_view want;
  };
  const Case cases[] = {
      {0, ""}, {1, "abc"}, {2, "bc\x05xy"}, {5, "xy"},  // lengths cut at the end
      {7, ""}, {8, ""}, {-1, ""}, {INT64_MIN, ""}, {INT64_MAX, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ArchivePoolText(pool, c.offset), c.want) << c.offset;
}

TEST(ArchiveRow, DrawsTimeObjectAndCameraWithWorkstation) {
  ArchiveWriter w(2024);
  w.Append(Closed(3, 7, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "storage/a.mp4"));
  ArchiveEventFields no_suffix = Closed(11, 10, 0, 0, 0, "Офис", "Вход", 0, "storage/b.mp4");
  no_suffix.flag = 1;
  w.Append(no_suffix);
  ArchiveEntry entry;
  Fill(w, &entry);
  RebuildArchiveRows(Filter("", "", true), &entry);

  ArchiveRowView row;
  ASSERT_TRUE(ReadArchiveRow(entry, 1, &row));
  EXPECT_EQ(ArchiveRowTimeText(row), "07.03 14:05:09");
  EXPECT_EQ(Cp1251ToUtf8(row.object), "Склад №5");
  EXPECT_EQ(Cp1251ToUtf8(ArchiveRowCameraText(row)), "Подъезд 2 АРМ №1");
  EXPECT_EQ(Cp1251ToUtf8(row.recording_path), "storage/a.mp4");

  ASSERT_TRUE(ReadArchiveRow(entry, 2, &row));
  EXPECT_EQ(ArchiveRowTimeText(row), "10.11 00:00:00");
  EXPECT_EQ(Cp1251ToUtf8(ArchiveRowCameraText(row)), "Вход");

  EXPECT_EQ(ArchiveColumnTitle(0), "Дата время");
  EXPECT_EQ(ArchiveColumnTitle(1), "Объект");
  EXPECT_EQ(ArchiveColumnTitle(2), "Камера");
}

TEST(ArchiveRow, EveryAccessRechecksTheRowAgainstTheArrays) {
  ArchiveWriter w(2024);
  w.Append(Closed(3, 7, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "a.mp4"));
  w.Append(Closed(3, 8, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "b.mp4"));
  ArchiveEntry entry;
  Fill(w, &entry);
  RebuildArchiveRows(Filter("", "", true), &entry);
  ASSERT_EQ(entry.archive_rows.size(), 2u);
  ArchiveRowView row;
  for (int r : {0, -1, 3, INT32_MAX}) EXPECT_FALSE(ReadArchiveRow(entry, r, &row)) << r;

  // The arrays change under the list (a chunk emptied or cut them).
  ArchiveEntry cut;
  Fill(w, &cut);
  cut.archive_rows = entry.archive_rows;
  cut.index.resize(cut.index.size() - 1);  // the second entry is cut off
  EXPECT_TRUE(ReadArchiveRow(cut, 1, &row));
  EXPECT_FALSE(ReadArchiveRow(cut, 2, &row));
  EXPECT_EQ(SelectArchiveRow(cut, 2, "/"), PlayButtonState::kDisabled);
  cut.records.resize(kArchiveEventSize - 1);  // the first record is cut off
  EXPECT_FALSE(ReadArchiveRow(cut, 1, &row));
  cut.index.clear();
  EXPECT_FALSE(ReadArchiveRow(cut, 1, &row));
  EXPECT_EQ(SelectArchiveRow(cut, 1, "/"), PlayButtonState::kDisabled);
  // A position that no longer starts an entry.
  cut.index = w.index();
  cut.archive_rows = {1};
  EXPECT_FALSE(ReadArchiveRow(cut, 1, &row));
}

class ArchiveSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korvel_archive_select_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directories(dir_ + "/storage/2024/03/07");
    std::ofstream(dir_ + "/storage/2024/03/07/Склад-1.mp4") << "x";
    std::filesystem::create_directories(dir_ + "/storage/dir.mp4");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(ArchiveSelectTest, PlayFollowsTheRecordingFile) {
  ArchiveWriter w(2024);
  const std::string absolute = dir_ + "/storage/2024/03/07/Склад-1.mp4";
  w.Append(Closed(3, 7, 1, 0, 0, "O", "C", 1, "storage/2024/03/07/Склад-1.mp4"));  // relative
  w.Append(Closed(3, 7, 2, 0, 0, "O", "C", 1, absolute));
  w.Append(Closed(3, 7, 3, 0, 0, "O", "C", 1, "storage/missing.mp4"));
  w.Append(Closed(3, 7, 4, 0, 0, "O", "C", 1, "storage/dir.mp4"));
  w.Append(Closed(3, 7, 5, 0, 0, "O", "C", 1, "rtsp://10.0.0.1/" + absolute));
  ArchiveEntry entry;
  Fill(w, &entry);
  RebuildArchiveRows(Filter("", "", true), &entry);
  ASSERT_EQ(entry.archive_rows.size(), 5u);
  EXPECT_EQ(SelectArchiveRow(entry, 1, dir_), PlayButtonState::kEnabled);
  EXPECT_EQ(SelectArchiveRow(entry, 2, "/nowhere"), PlayButtonState::kEnabled);
  EXPECT_EQ(SelectArchiveRow(entry, 3, dir_), PlayButtonState::kDisabled);
  EXPECT_EQ(SelectArchiveRow(entry, 4, dir_), PlayButtonState::kDisabled);
  EXPECT_EQ(SelectArchiveRow(entry, 5, dir_), PlayButtonState::kDisabled);
  EXPECT_EQ(SelectArchiveRow(entry, 6, dir_), PlayButtonState::kDisabled);
  // The file to play is the UTF-8 path on disk.
  EXPECT_EQ(LocalRecordingFile(Utf8ToCp1251(absolute), "/x"), absolute);
  EXPECT_EQ(LocalRecordingFile(Utf8ToCp1251("storage/2024/03/07/Склад-1.mp4"), dir_ + "/"),
            absolute);

  // An entry of another type leaves the button as it is.
  ArchiveEventFields other = Closed(3, 7, 6, 0, 0, "O", "C", 1, absolute);
  other.type = 97;
  entry.archive_rows = {static_cast<uint32_t>(w.Append(other))};
  Fill(w, &entry);
  EXPECT_EQ(SelectArchiveRow(entry, 1, dir_), PlayButtonState::kKeep);
  entry.archive_rows.clear();
  EXPECT_EQ(SelectArchiveRow(entry, 1, dir_), PlayButtonState::kDisabled);
}

}  // namespace
}  // namespace korvel
