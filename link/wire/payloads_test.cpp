#include "link/wire/payloads.h"

#include <gtest/gtest.h>

#include "link/wire/message.h"

namespace korvel {
namespace {

TEST(PayloadsTest, PollWithoutSizesIsEmpty) {
  EXPECT_TRUE(BuildPollPayload(nullptr).empty());
  const std::string m = BuildMessage(msgPoll, BuildPollPayload(nullptr), 0);
  EXPECT_EQ(m.size(), kMessageHeaderSize);
  EXPECT_EQ(MessageLengthField(m), 0);
}

TEST(PayloadsTest, PollWithSizesIs47Bytes) {
  const ArchiveSizes sizes{"vi8_2026", 100, 200, 300};
  const std::string p = BuildPollPayload(&sizes);
  ASSERT_EQ(p.size(), 47u);
  EXPECT_EQ(DecodeI32(p.data()), 1);
  EXPECT_EQ(p[4], 8);
  EXPECT_EQ(p.substr(5, 8), "vi8_2026");
  EXPECT_EQ(p.substr(13, 22), std::string(22, '\0'));
  EXPECT_EQ(DecodeI32(p.data() + 35), 100);
  EXPECT_EQ(DecodeI32(p.data() + 39), 200);
  EXPECT_EQ(DecodeI32(p.data() + 43), 300);

  std::optional<ArchiveSizes> back;
  ASSERT_TRUE(ParsePollPayload(p, &back));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->name, "vi8_2026");
  EXPECT_EQ(back->pool_bytes, 100);
  EXPECT_EQ(back->record_bytes, 200);
  EXPECT_EQ(back->index_bytes, 300);
}

TEST(PayloadsTest, ParsePollPayloadCases) {
  const ArchiveSizes sizes{"vi8_2026", 1, 2, 3};
  const std::string full = BuildPollPayload(&sizes);
  std::string count0;
  PutI32(&count0, 0);
  std::string count2 = full;
  PatchU32(&count2, 0, 2);
  struct Case {
    const char* name;
    std::string payload;
    bool ok;
    bool has;
  } cases[] = {
      {"empty", "", true, false},
      {"count 0", count0, true, false},
      {"full", full, true, true},
      {"short record", full.substr(0, 46), false, false},
      {"count only", full.substr(0, 4), false, false},
      {"partial count", "\x01\x00", false, false},
      {"count 2", count2, false, false},
  };
  for (const Case& c : cases) {
    std::optional<ArchiveSizes> out = ArchiveSizes{};
    EXPECT_EQ(ParsePollPayload(c.payload, &out), c.ok) << c.name;
    EXPECT_EQ(out.has_value(), c.has) << c.name;
  }
}

TEST(PayloadsTest, LongArchiveNameIsCutToItsSlot) {
  const ArchiveSizes sizes{std::string(40, 'n'), 0, 0, 0};
  std::string rec;
  PutArchiveSizes(&rec, sizes);
  ASSERT_EQ(rec.size(), kArchiveSizesRecordSize);
  ByteReader in(rec);
  ArchiveSizes back;
  ASSERT_TRUE(ReadArchiveSizes(in, &back));
  EXPECT_EQ(back.name, std::string(30, 'n'));
}

TEST(PayloadsTest, PollReplyHead) {
  const std::string sub = BuildMessage(msgResourceText, "x", 0);
  const std::string full = BuildPollReplyPayload(46000.5, 1, sub);
  ASSERT_EQ(full.size(), kPollReplyHeaderSize + sub.size());
  EXPECT_EQ(DecodeF64(full.data()), 46000.5);
  EXPECT_EQ(static_cast<uint8_t>(full[8]), 1);
  EXPECT_EQ(full.substr(9), sub);

  PollReplyHead none = ReadPollReplyHead("");
  EXPECT_FALSE(none.has_time);
  PollReplyHead too_short = ReadPollReplyHead(full.substr(0, 7));
  EXPECT_FALSE(too_short.has_time);
  PollReplyHead time_only = ReadPollReplyHead(full.substr(0, 8));
  EXPECT_TRUE(time_only.has_time);
  EXPECT_EQ(time_only.server_time, 46000.5);
  EXPECT_EQ(time_only.count, 0);
  EXPECT_EQ(time_only.sub_offset, 8u);
  PollReplyHead with_subs = ReadPollReplyHead(full);
  EXPECT_EQ(with_subs.count, 1);
  EXPECT_EQ(with_subs.sub_offset, 9u);
}

TEST(PayloadsTest, ArchiveChunkHeaderRoundTrip) {
  const ArchiveChunkHeader h{"vi8_2026", 10, 20, 100, 10, 0, kArchiveIndexLengthRefresh};
  std::string bytes;
  EncodeArchiveChunkHeader(&bytes, h);
  ASSERT_EQ(bytes.size(), kArchiveChunkHeaderSize);
  EXPECT_EQ(DecodeI32(bytes.data() + 31), 10);
  EXPECT_EQ(DecodeI32(bytes.data() + 43), 10);
  EXPECT_EQ(DecodeI32(bytes.data() + 51), -2);
  bytes += "tail";
  ByteReader in(bytes);
  ArchiveChunkHeader back;
  ASSERT_TRUE(ReadArchiveChunkHeader(in, &back));
  EXPECT_EQ(in.position(), kArchiveChunkHeaderSize);
  EXPECT_EQ(back.name, "vi8_2026");
  EXPECT_EQ(back.pool_offset, 10);
  EXPECT_EQ(back.pool_length, 20);
  EXPECT_EQ(back.record_offset, 100);
  EXPECT_EQ(back.record_length, 10);
  EXPECT_EQ(back.index_offset, 0);
  EXPECT_EQ(back.index_length, -2);
  EXPECT_EQ(ArchiveChunkBlockBytes(back), 30);

  ByteReader short_in(std::string_view(bytes).substr(0, 54));
  EXPECT_FALSE(ReadArchiveChunkHeader(short_in, &back));
  EXPECT_EQ(short_in.position(), 0u);
}

TEST(PayloadsTest, ChunkBlockBytesCannotOverflow) {
  const ArchiveChunkHeader h{"a", 0, INT32_MAX, 0, INT32_MAX, 0, INT32_MAX};
  EXPECT_EQ(ArchiveChunkBlockBytes(h), 3 * int64_t{INT32_MAX});
}

TEST(PayloadsTest, DeletionNoticeIs13Bytes) {
  const std::string n = BuildDeletionNotice("videor", 42);
  ASSERT_EQ(n.size(), kDeletionNoticeSize);
  EXPECT_EQ(n[0], 6);
  EXPECT_EQ(n.substr(1, 6), "videor");
  EXPECT_EQ(DecodeI32(n.data() + 9), 42);
  ByteReader in(n);
  std::string table;
  int32_t n_abs = 0;
  ASSERT_TRUE(ReadDeletionNotice(in, &table, &n_abs));
  EXPECT_EQ(table, "videor");
  EXPECT_EQ(n_abs, 42);
  EXPECT_EQ(BuildDeletionNotice("a_very_long_name", 1).substr(1, 8), "a_very_l");

  ByteReader short_in(std::string_view(n).substr(0, 12));
  EXPECT_FALSE(ReadDeletionNotice(short_in, &table, &n_abs));
}

}  // namespace
}  // namespace korvel
