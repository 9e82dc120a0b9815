#include "platform/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

namespace korvel {
namespace {

namespace fs = std::filesystem;

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "korvel_file_io_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Read(const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(ReadRegularFile(dir_ + name, 1 << 20, &bytes)) << name;
    return bytes;
  }
  std::string dir_;
};

TEST_F(FileIoTest, WritesAtOffsetsKeepingTheRest) {
  ASSERT_TRUE(WriteFileAt(dir_ + "f", 2, "cd"));
  EXPECT_EQ(Read("f"), std::string("\0\0cd", 4));  // the gap reads as zeros
  ASSERT_TRUE(WriteFileAt(dir_ + "f", 0, "ab"));
  ASSERT_TRUE(WriteFileAt(dir_ + "f", 4, "ef"));
  EXPECT_EQ(Read("f"), "abcdef");
  ASSERT_TRUE(WriteWholeFile(dir_ + "f", "xy"));
  EXPECT_EQ(Read("f"), "xy");
  ASSERT_TRUE(TruncateFile(dir_ + "f"));
  EXPECT_EQ(Read("f"), "");
  EXPECT_FALSE(WriteFileAt(dir_ + "f", -1, "a"));
}

TEST_F(FileIoTest, ReadStopsAtTheCeiling) {
  ASSERT_TRUE(WriteWholeFile(dir_ + "f", "12345"));
  std::string bytes = "old";
  EXPECT_FALSE(ReadRegularFile(dir_ + "f", 4, &bytes));
  EXPECT_EQ(bytes, "old");  // untouched on failure
  EXPECT_TRUE(ReadRegularFile(dir_ + "f", 5, &bytes));
  EXPECT_EQ(bytes, "12345");
  EXPECT_FALSE(ReadRegularFile(dir_ + "missing", 5, &bytes));
}

// A link or a FIFO planted in a file's place is neither read nor written
// through (and the FIFO does not block the call).
TEST_F(FileIoTest, RefusesLinksAndOtherKindsOfFile) {
  ASSERT_TRUE(WriteWholeFile(dir_ + "target", "secret"));
  fs::create_symlink(dir_ + "target", dir_ + "link");
  ASSERT_EQ(::mkfifo((dir_ + "fifo").c_str(), 0600), 0);
  std::string bytes;
  std::string error;
  for (const char* name : {"link", "fifo", ""}) {
    const std::string path = dir_ + name;
    EXPECT_FALSE(ReadRegularFile(path, 100, &bytes)) << name;
    EXPECT_FALSE(WriteFileAt(path, 0, "x", &error)) << name;
    EXPECT_NE(error.find("cannot open " + path), std::string::npos) << error;
    EXPECT_FALSE(WriteWholeFile(path, "x")) << name;
    EXPECT_FALSE(TruncateFile(path)) << name;
  }
  EXPECT_EQ(Read("target"), "secret");
  // Where links are expected (a settings file), the reader may follow them.
  EXPECT_TRUE(ReadRegularFile(dir_ + "link", 100, &bytes, LinkPolicy::kFollowLinks));
  EXPECT_EQ(bytes, "secret");
  EXPECT_FALSE(ReadRegularFile(dir_ + "fifo", 100, &bytes, LinkPolicy::kFollowLinks));
}

}  // namespace
}  // namespace korvel
