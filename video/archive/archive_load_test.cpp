#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "video/archive/archive_test_fixture.h"

namespace korvel {
namespace {

using archive_test::Closed;

class ArchiveLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korvel_archive_load_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    temp_ = base_ + "/temp/";
    std::filesystem::create_directories(temp_);
  }
  void TearDown() override { std::filesystem::remove_all(base_); }

  std::string base_;
  std::string temp_;
  ArchiveEntry entry_;
};

TEST_F(ArchiveLoadTest, LoadsTheThreeFilesOfTheYear) {
  ArchiveWriter w(2024);
  w.Append(Closed(3, 7, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "a.mp4"));
  ASSERT_TRUE(w.WriteFiles(temp_, "vi8_2024"));
  ArchiveWriter other(2023);
  ASSERT_TRUE(other.WriteFiles(temp_, "vi8_2023"));

  LoadArchiveYear(base_, 2024, &entry_);  // base without a trailing '/'
  EXPECT_TRUE(entry_.active);
  EXPECT_EQ(entry_.name, "vi8_2024");
  EXPECT_EQ(entry_.index, w.index());
  EXPECT_EQ(entry_.records, w.records());
  EXPECT_EQ(entry_.pool, w.pool());
  EXPECT_EQ(entry_.kind, 1);
  EXPECT_EQ(entry_.header_length, 3);
  EXPECT_EQ(entry_.year, 2024);

  ArchivePollSizes sizes;
  ASSERT_TRUE(ReadArchivePollSizes(entry_, &sizes));
  EXPECT_EQ(sizes.name, "vi8_2024");
  EXPECT_EQ(sizes.index_size, w.index().size());
  EXPECT_EQ(sizes.records_size, w.records().size());
  EXPECT_EQ(sizes.pool_size, w.pool().size());

  entry_.archive_rows = {3};
  LoadArchiveYear(base_ + "/", 2023, &entry_);
  EXPECT_EQ(entry_.name, "vi8_2023");
  EXPECT_EQ(entry_.index, other.index());
  EXPECT_EQ(entry_.year, 2023);
  EXPECT_TRUE(entry_.archive_rows.empty());  // the old rows pointed into the old index
}

TEST_F(ArchiveLoadTest, MissingFilesGiveEmptyArraysAndTheLoadedYear) {
  LoadArchiveYear(base_, 2024, &entry_);
  LoadArchiveYear(base_, 2011, &entry_);
  EXPECT_TRUE(entry_.active);
  EXPECT_EQ(entry_.name, "vi8_2011");
  EXPECT_TRUE(entry_.index.empty());
  EXPECT_TRUE(entry_.records.empty());
  EXPECT_TRUE(entry_.pool.empty());
  EXPECT_EQ(entry_.kind, 0);
  EXPECT_EQ(entry_.header_length, 3);
  EXPECT_EQ(entry_.year, 2011);
  RebuildArchiveRows(ArchiveFilter{}, &entry_);
  EXPECT_EQ(ArchiveGridRowCount(entry_), 2);
}

TEST_F(ArchiveLoadTest, HeaderRuleForOtherKinds) {
  struct Case {
    std::string index;
    uint8_t kind, header_length;
    int16_t year;
  };
  const Case cases[] = {
      {std::string("\x01\xE8\x07", 3), 1, 3, 2024},
      {std::string("\x03\xE7\x07\x05\x01", 5), 3, 5, 2023},  // kind 3: 5-byte header
      {std::string("\x05\xE7\x07", 3), 5, 3, 2011},          // kind 5 cut short
      {std::string("\x07\xE7\x07", 3), 7, 3, 2011},          // unknown kind
      {std::string("\x01\xE8", 2), 1, 3, 2011},              // kind 1 cut short
  };
  for (const Case& c : cases) {
    ArchiveWriter w(2011);
    w.index() = c.index;
    ASSERT_TRUE(w.WriteFiles(temp_, "vi8_2011"));
    LoadArchiveYear(base_, 2011, &entry_);
    EXPECT_EQ(entry_.kind, c.kind);
    EXPECT_EQ(entry_.header_length, c.header_length);
    EXPECT_EQ(entry_.year, c.year);
  }
}

TEST_F(ArchiveLoadTest, ReadsOnlyRegularFilesWithoutFollowingLinks) {
  ArchiveWriter w(2024);
  w.Append(Closed(3, 7, 14, 5, 9, "O", "C", 1, "a.mp4"));
  ASSERT_TRUE(w.WriteFiles(base_, "elsewhere"));
  // The index is a link, the records a folder, the pool a FIFO.
  ASSERT_EQ(::symlink((base_ + "/elsewhere.fz8").c_str(), (temp_ + "vi8_2024.fz8").c_str()), 0);
  std::filesystem::create_directories(temp_ + "vi8_2024.fp8");
  ASSERT_EQ(::mkfifo((temp_ + "vi8_2024.fm8").c_str(), 0600), 0);
  LoadArchiveYear(base_, 2024, &entry_);
  EXPECT_TRUE(entry_.active);
  EXPECT_TRUE(entry_.index.empty());
  EXPECT_TRUE(entry_.records.empty());
  EXPECT_TRUE(entry_.pool.empty());
}

TEST_F(ArchiveLoadTest, FileAboveTheCeilingIsNotRead) {
  ArchiveWriter w(2024);
  ASSERT_TRUE(w.WriteFiles(temp_, "vi8_2024"));
  // A sparse file one byte above the ceiling takes no disk space.
  const std::string path = temp_ + "vi8_2024.fp8";
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kArchiveFileCeiling) + 1), 0);
  LoadArchiveYear(base_, 2024, &entry_);
  EXPECT_TRUE(entry_.records.empty());
  EXPECT_EQ(entry_.index, w.index());
}

TEST_F(ArchiveLoadTest, APollNeverPairsOneYearsNameWithAnothersSizes) {
  ArchiveWriter a(2023);
  a.Append(Closed(3, 7, 14, 5, 9, "O", "C", 1, "a.mp4"));
  ArchiveWriter b(2024);
  for (int i = 0; i < 3; ++i) b.Append(Closed(3, 7, 14, 5, i, "Об", "Кам", 1, "b.mp4"));
  ASSERT_TRUE(a.WriteFiles(temp_, "vi8_2023"));
  ASSERT_TRUE(b.WriteFiles(temp_, "vi8_2024"));

  std::atomic<bool> done{false};
  std::atomic<int> mismatches{0};
  std::thread poller([&] {
    while (!done) {
      ArchivePollSizes sizes;
      if (!ReadArchivePollSizes(entry_, &sizes)) continue;
      const ArchiveWriter& w = sizes.name == "vi8_2023" ? a : b;
      if (sizes.index_size != w.index().size() || sizes.records_size != w.records().size() ||
          sizes.pool_size != w.pool().size()) {
        ++mismatches;
      }
    }
  });
  for (int i = 0; i < 200; ++i) LoadArchiveYear(base_, 2023 + i % 2, &entry_);
  done = true;
  poller.join();
  EXPECT_EQ(mismatches, 0);
}

TEST(ArchivePollSizes, NothingToReportWhileInactive) {
  ArchiveEntry entry;
  ArchivePollSizes sizes;
  EXPECT_FALSE(ReadArchivePollSizes(entry, &sizes));
  EXPECT_EQ(ArchiveName(2024), "vi8_2024");
  EXPECT_EQ(ArchiveName(7), "vi8_0007");
}

}  // namespace
}  // namespace korvel
