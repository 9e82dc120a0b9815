#include "link/session/archive_chunk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ArchiveChunkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korvel_chunk_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    target_.name = "vi8_2026";
    target_.temp_dir = dir_.string() + "/";
    target_.pool = &pool_;
    target_.records = &records_;
    target_.index = &index_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path File(const char* ext) const { return dir_ / ("vi8_2026" + std::string(ext)); }

  static ArchiveChunkHeader Header(int32_t po, int32_t pl, int32_t ro, int32_t rl, int32_t io,
                                   int32_t il) {
    ArchiveChunkHeader h;
    h.name = "vi8_2026";
    h.pool_offset = po;
    h.pool_length = pl;
    h.record_offset = ro;
    h.record_length = rl;
    h.index_offset = io;
    h.index_length = il;
    return h;
  }

  fs::path dir_;
  std::string pool_, records_, index_;
  ArchiveChunkTarget target_;
};

TEST_F(ArchiveChunkTest, BlockPastTheArrayEndLengthensArrayAndFile) {
  records_.assign(40, 'r');
  EXPECT_EQ(ApplyArchiveChunk(Header(0, -1, 100, 10, 0, -1), "0123456789", &target_),
            ChunkResult::kApplied);
  ASSERT_EQ(records_.size(), 110u);
  EXPECT_EQ(records_.substr(40, 60), std::string(60, '\0'));
  EXPECT_EQ(records_.substr(100), "0123456789");
  const std::string file = ReadFile(File(".fp8"));
  ASSERT_EQ(file.size(), 110u);  // written at 100 into a new file
  EXPECT_EQ(file.substr(100), "0123456789");
  EXPECT_FALSE(target_.dirty);  // only the index block marks the view dirty
}

TEST_F(ArchiveChunkTest, BlocksComeInPoolRecordIndexOrder) {
  const std::string index = std::string("\x01\xEA\x07", 3) + "I";
  EXPECT_EQ(ApplyArchiveChunk(Header(0, 2, 0, 3, 0, 4), "PPRRR" + index, &target_),
            ChunkResult::kApplied);
  EXPECT_EQ(pool_, "PP");
  EXPECT_EQ(records_, "RRR");
  EXPECT_EQ(index_, index);
  EXPECT_TRUE(target_.dirty);
  EXPECT_EQ(target_.kind, 1);
  EXPECT_EQ(target_.header_length, 3);
  EXPECT_EQ(target_.year, 2026);
  EXPECT_EQ(ReadFile(File(".fz8")), index);
}

TEST_F(ArchiveChunkTest, ZeroLengthsEmptyArraysAndTruncateFiles) {
  pool_ = "pool";
  records_ = "records";
  index_ = "\x01\xEA\x07";
  for (const char* ext : {".fm8", ".fp8", ".fz8"}) std::ofstream(File(ext)) << "stale";
  EXPECT_EQ(ApplyArchiveChunk(Header(0, 0, 0, 0, 0, 0), "", &target_), ChunkResult::kApplied);
  EXPECT_TRUE(pool_.empty() && records_.empty() && index_.empty());
  EXPECT_TRUE(target_.dirty);
  // A reload must not bring the stale entries back.
  for (const char* ext : {".fm8", ".fp8", ".fz8"}) EXPECT_EQ(fs::file_size(File(ext)), 0u) << ext;
}

TEST_F(ArchiveChunkTest, IndexRefreshLengthMarksDirtyOnlyWithRows) {
  target_.rows_empty = true;
  ApplyArchiveChunk(Header(0, -1, 0, -1, 0, -2), "", &target_);
  EXPECT_FALSE(target_.dirty);
  target_.rows_empty = false;
  ApplyArchiveChunk(Header(0, -1, 0, -1, 0, -3), "", &target_);
  EXPECT_FALSE(target_.dirty);  // other negative lengths do nothing
  ApplyArchiveChunk(Header(0, -1, 0, -1, 0, -2), "", &target_);
  EXPECT_TRUE(target_.dirty);
}

TEST_F(ArchiveChunkTest, PeriodHeaderIsReadOnlyForKnownKindsThatFit) {
  struct Case {
    std::string index;
    uint8_t kind;
    bool header_read;
    uint8_t header_length;
  };
  const Case cases[] = {
      {std::string("\x07\x01\x02", 3), 7, false, 0},          // unknown kind: kind only
      {std::string("\x05\xE8\x07", 3), 5, false, 0},          // kind 5 needs 7 bytes
      {std::string("\x05\xE8\x07\x01\x02\x03\x04", 7), 5, true, 7},
      {std::string("\x01\xE8", 2), 1, false, 0},              // year does not fit
  };
  for (const Case& c : cases) {
    index_.clear();
    target_ = ArchiveChunkTarget{target_.name, target_.temp_dir, &pool_, &records_, &index_};
    ApplyArchiveChunk(Header(0, -1, 0, -1, 0, static_cast<int32_t>(c.index.size())), c.index,
                      &target_);
    EXPECT_EQ(target_.kind, c.kind);
    EXPECT_EQ(target_.header_read, c.header_read);
    EXPECT_EQ(target_.header_length, c.header_length);
    if (c.header_read) {
      EXPECT_EQ(target_.year, 2024);
    }
  }
}

TEST_F(ArchiveChunkTest, BadChunksChangeNothing) {
  struct Case {
    const char* what;
    ArchiveChunkHeader header;
    std::string blocks;
    ChunkResult result;
  };
  ArchiveChunkHeader other = Header(0, 1, 0, -1, 0, -1);
  other.name = "vi8_2025";
  const Case cases[] = {
      {"other archive", other, "x", ChunkResult::kOtherArchive},
      {"negative offset", Header(-1, 1, 0, -1, 0, -1), "x", ChunkResult::kRejected},
      {"beyond the ceiling", Header(static_cast<int32_t>(kArchiveChunkCeiling), 1, 0, -1, 0, -1),
       "x", ChunkResult::kRejected},
      {"offset plus length overflow 32 bits", Header(INT32_MAX, 1, 0, -1, 0, -1), "x",
       ChunkResult::kRejected},
      {"lengths past the bytes given", Header(0, 2, 0, 2, 0, -1), "abc", ChunkResult::kRejected},
  };
  for (const Case& c : cases) {
    pool_ = "keep";
    EXPECT_EQ(ApplyArchiveChunk(c.header, c.blocks, &target_), c.result) << c.what;
    EXPECT_EQ(pool_, "keep") << c.what;
    EXPECT_FALSE(fs::exists(File(".fm8"))) << c.what;
    EXPECT_FALSE(target_.dirty) << c.what;
  }
}

TEST_F(ArchiveChunkTest, PlantedLinkIsNotFollowedAndEndsTheChunk) {
  const fs::path victim = dir_ / "victim";
  std::ofstream(victim) << "secret";
  fs::create_symlink(victim, File(".fp8"));
  EXPECT_EQ(ApplyArchiveChunk(Header(0, 1, 0, 2, 0, 1), "PRRI", &target_),
            ChunkResult::kFileFailed);
  EXPECT_EQ(ReadFile(victim), "secret");
  EXPECT_EQ(pool_, "P");
  EXPECT_EQ(records_, "RR");  // the failing block's array holds the bytes
  EXPECT_TRUE(index_.empty());  // later blocks are not applied
  EXPECT_FALSE(fs::exists(File(".fz8")));
}

TEST_F(ArchiveChunkTest, DirectoryInPlaceOfFileFails) {
  fs::create_directory(File(".fm8"));
  EXPECT_EQ(ApplyArchiveChunk(Header(0, 1, 0, -1, 0, -1), "P", &target_),
            ChunkResult::kFileFailed);
}

}  // namespace
}  // namespace korvel
