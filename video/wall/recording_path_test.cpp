#include "video/wall/recording_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace korvel {
namespace {

namespace fs = std::filesystem;

TEST(RecordingBaseName, TheNineCharactersAndControlsBecomeDashes) {
  EXPECT_EQ(RecordingBaseName("X*Y", "A/B:C", "09:00:00"), "X-Y-A-B-C-09-00-00");
  EXPECT_EQ(RecordingBaseName("Склад №5", "Подъезд 2", "14:05:09"),
            "Склад №5-Подъезд 2-14-05-09");
  EXPECT_EQ(RecordingBaseName("a\\b?c\"d", "e>f<g|h", "00:00:00"), "a-b-c-d-e-f-g-h-00-00-00");
  EXPECT_EQ(RecordingBaseName("t\tn\n\x7f", "x\x01", "1"), "t-n---x--1");
  // Dots and blanks pass; a name of ".." stays inside the folder since the
  // base always holds the dashes and the time.
  EXPECT_EQ(RecordingBaseName("..", "..", "10:00:00"), "..-..-10-00-00");
}

TEST(StorageFolderPrefix, BackslashesAndTrailingSlash) {
  EXPECT_EQ(StorageFolderPrefix("storage\\"), "storage/");
  EXPECT_EQ(StorageFolderPrefix("D:\\video\\rec"), "D:/video/rec/");
  EXPECT_EQ(StorageFolderPrefix("/srv/rec/"), "/srv/rec/");
  EXPECT_EQ(StorageFolderPrefix(""), "");
}

TEST(DayFolder, NoLeadingZeros) {
  EXPECT_EQ(DayFolderPath("storage/", 2024, 3, 7), "storage/2024/3/7");
  EXPECT_EQ(DayFolderPath("s/", 2024, 12, 31), "s/2024/12/31");
}

TEST(CutUtf8, NeverSplitsACharacter) {
  const std::string text = "аб";  // 4 bytes
  EXPECT_EQ(CutUtf8(text, 3), "а");
  EXPECT_EQ(CutUtf8(text, 4), text);
  EXPECT_EQ(CutUtf8(text, 1), "");
}

TEST(UniqueRecordingPath, SuffixesWhenTaken) {
  std::set<std::string> taken = {"d/a.mp4", "d/a-2.mp4"};
  auto is_taken = [&](const std::string& p) { return taken.count(p) > 0; };
  EXPECT_EQ(UniqueRecordingPath("d", "b", is_taken), "d/b.mp4");
  EXPECT_EQ(UniqueRecordingPath("d", "a", is_taken), "d/a-3.mp4");
}

TEST(UniqueRecordingPath, FileNameStaysWithin250Bytes) {
  const std::string cyrillic_base(300, 'x');
  std::string long_base;
  for (int i = 0; i < 200; ++i) long_base += "ж";  // 400 bytes
  auto none = [](const std::string&) { return false; };
  std::string path = UniqueRecordingPath("d", long_base, none);
  std::string file = path.substr(2);
  EXPECT_LE(file.size(), 250u);
  EXPECT_EQ(file.size(), 250u);  // 246 is even: 123 whole letters, then .mp4
  EXPECT_TRUE(file.ends_with(".mp4"));
  std::set<std::string> taken = {path};
  std::string second =
      UniqueRecordingPath("d", long_base, [&](const std::string& p) { return taken.count(p) > 0; });
  EXPECT_TRUE(second.ends_with("-2.mp4"));
  EXPECT_LE(second.size() - 2, 250u);
  EXPECT_LE(UniqueRecordingPath("d", cyrillic_base, none).size() - 2, 250u);
}

TEST(CreateDayFolders, MakesEachLevelAndToleratesFailure) {
  const fs::path root = fs::temp_directory_path() / ("korvel_wall_" + std::to_string(getpid()));
  fs::remove_all(root);
  const std::string prefix = root.string() + "/storage/";
  EXPECT_TRUE(CreateDayFolders(prefix, 2024, 3, 7));
  EXPECT_TRUE(fs::is_directory(root / "storage/2024/3/7"));
  EXPECT_TRUE(CreateDayFolders(prefix, 2024, 3, 7));  // already there
  // A file where the year folder should be: nothing can be made, no crash.
  std::ofstream(root / "storage/2025").put('x');
  EXPECT_FALSE(CreateDayFolders(prefix, 2025, 1, 1));
  EXPECT_TRUE(PathExists((root / "storage/2025").string()));
  EXPECT_FALSE(PathExists((root / "storage/2026").string()));
  fs::remove_all(root);
}

}  // namespace
}  // namespace korvel
