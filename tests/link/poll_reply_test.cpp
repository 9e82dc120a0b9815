// The walk over a poll reply's sub-messages, against a recording host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "fake_link_host.h"
#include "link/session/cl.h"
#include "link/wire/message.h"
#include "link/wire/payloads.h"
#include "platform/counted_text.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::FakeLinkHost;

std::string Sub(uint32_t type, std::string_view payload) { return BuildMessage(type, payload, 0); }

// A sub-message whose length field says `length`, followed by `payload`.
std::string SubWithLength(uint32_t type, int32_t length, std::string_view payload,
                          uint8_t start = 0xFF) {
  std::string m;
  PutMessageHeader(&m, type, length, 0);
  m[0] = static_cast<char>(start);
  m += payload;
  return m;
}

std::string Update(std::string_view table, int32_t index) {
  std::string p;
  PutNameSlot(&p, table, 8);
  PutI32(&p, index);
  PutI32(&p, index + 1);
  return p;
}

constexpr double kServerTime = 46000.5;  // a date in 2025

class PollReplyTest : public ::testing::Test {
 protected:
  PollReplyTest() {
    dir_ = fs::temp_directory_path() / ("korvel_poll_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    link_ = std::make_unique<cl>(host_, Options());
  }
  ~PollReplyTest() override { fs::remove_all(dir_); }

  cl::Options Options() const {
    cl::Options o;
    o.base_dir = dir_.string() + "/";
    return o;
  }

  // Handles a reply of `count` sub-messages given back to back.
  void Handle(uint8_t count, const std::string& subs, double time = kServerTime) {
    const std::string payload = BuildPollReplyPayload(time, count, subs);
    link_->HandlePollReply(payload, static_cast<int32_t>(payload.size()));
  }
  std::vector<std::string> Kinds() {
    std::vector<std::string> out;
    for (const auto& c : host_.Calls()) out.push_back(c.what);
    return out;
  }
  std::string Log() {
    std::ifstream in(dir_ / "data.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
  FakeLinkHost host_;
  std::unique_ptr<cl> link_;
};

TEST_F(PollReplyTest, UnknownTypeIsSkippedByItsLength) {
  Handle(3, Sub(msgRecordUpdate, Update("videor", 0)) + Sub(0x02201234, "whatever bytes") +
                Sub(msgRecordUpdate, Update("video", 1)));
  const auto calls = host_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].bytes, Update("videor", 0));
  EXPECT_EQ(calls[1].bytes, Update("video", 1));
}

TEST_F(PollReplyTest, DeletionNoticeIsThirteenBytesWhateverItsLengthSays) {
  const std::string notice = BuildDeletionNotice("videor", 77);
  ASSERT_EQ(notice.size(), 13u);
  Handle(2, SubWithLength(msgDeletionNotice, 20, notice) + Sub(msgRecordUpdate, Update("video", 2)));
  const auto calls = host_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].what, "delete");
  EXPECT_EQ(calls[0].bytes, "videor");
  EXPECT_EQ(calls[0].number, 77);
  EXPECT_EQ(calls[1].what, "update");
  EXPECT_EQ(calls[1].bytes, Update("video", 2));
}

TEST_F(PollReplyTest, TimeOnlyReplyMovesTheClockOffsetAndNothingElse) {
  Handle(0, "");
  std::string eight;
  PutF64(&eight, kServerTime);
  link_->HandlePollReply(eight, 8);
  EXPECT_TRUE(host_.Calls().empty());
  EXPECT_NEAR(link_->ServerClockOffset(), NowDateTime() - kServerTime, 1e-3);
}

TEST_F(PollReplyTest, EmptyReplyChangesNothing) {
  link_->HandlePollReply("", 0);
  // Bytes present but a length field of 0: nothing either.
  link_->HandlePollReply(BuildPollReplyPayload(kServerTime, 1, Sub(msgRecordUpdate, "x")), 0);
  EXPECT_EQ(link_->ServerClockOffset(), 0.0);
  EXPECT_TRUE(host_.Calls().empty());
}

TEST_F(PollReplyTest, ImplausibleServerTimeKeepsTheOffset) {
  for (double t : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                   1e300, -5000.0, 0.0}) {
    Handle(0, "", t);
    EXPECT_EQ(link_->ServerClockOffset(), 0.0) << t;
  }
}

TEST_F(PollReplyTest, SubMessagesRunningPastTheEndEndTheWalk) {
  const std::string first = Sub(msgRecordUpdate, Update("videor", 0));
  ArchiveChunkHeader chunk;
  chunk.name = "vi8_2026";
  chunk.pool_length = 100;  // 100 bytes promised, 3 given
  std::string chunk_bytes;
  EncodeArchiveChunkHeader(&chunk_bytes, chunk);
  chunk_bytes += "abc";
  std::string blob_small, blob_big;
  PutI32(&blob_small, 3);
  PutI32(&blob_big, 1000);
  const struct {
    const char* what;
    std::string tail;
  } cases[] = {
      {"header cut", std::string(10, '\xFF')},
      {"declared payload past the end", SubWithLength(msgRecordUpdate, 500, "short")},
      {"negative length", SubWithLength(0x02201234, -1, "")},
      {"deletion notice cut", Sub(msgDeletionNotice, "videor\0\0\0\x01")},
      {"settings block cut", Sub(msgServerSettings, std::string(100, 'S'))},
      {"chunk blocks past the end", Sub(msgArchiveChunk, chunk_bytes)},
      {"chunk header cut", Sub(msgArchiveChunk, chunk_bytes.substr(0, 40))},
      {"blob below 4", Sub(msgTableBlob, blob_small)},
      {"blob past the end", Sub(msgTableBlob, blob_big)},
  };
  for (const auto& c : cases) {
    FakeLinkHost host;
    cl link(host, Options());
    // Three announced: the good one, the bad one, and one that never comes.
    const std::string payload = BuildPollReplyPayload(kServerTime, 3, first + c.tail);
    link.HandlePollReply(payload, static_cast<int32_t>(payload.size()));
    const auto calls = host.Calls();
    ASSERT_EQ(calls.size(), 1u) << c.what;
    EXPECT_EQ(calls[0].bytes, Update("videor", 0)) << c.what;
  }
}

TEST_F(PollReplyTest, LengthFieldShorterThanTheBytesBoundsTheReply) {
  const std::string subs = Sub(msgRecordUpdate, Update("a", 0)) + Sub(msgRecordUpdate, Update("b", 0));
  const std::string payload = BuildPollReplyPayload(kServerTime, 2, subs);
  // The length field covers the first sub-message only.
  link_->HandlePollReply(payload, static_cast<int32_t>(payload.size() - 30));
  ASSERT_EQ(host_.Calls().size(), 1u);
  // A length field above the bytes present uses the bytes present.
  FakeLinkHost host;
  cl link(host, Options());
  link.HandlePollReply(payload, 1 << 30);
  EXPECT_EQ(host.Calls().size(), 2u);
}

TEST_F(PollReplyTest, EveryKnownSubMessageReachesItsHandler) {
  const std::string settings(512, '\x20');
  ArchiveChunkHeader chunk;
  chunk.name = "vi8_2026";
  chunk.pool_length = 2;
  chunk.record_length = -1;
  chunk.index_length = 3;
  std::string chunk_bytes;
  EncodeArchiveChunkHeader(&chunk_bytes, chunk);
  chunk_bytes += "PPIII";
  std::string blob;
  PutI32(&blob, 8);
  blob += "skip";
  host_.snapshot_reads = 5;  // the snapshot loader reads 5 bytes
  const std::string subs = Sub(msgServerSettings, settings) + Sub(msgArchiveChunk, chunk_bytes) +
                           Sub(msgTableBlob, blob) + Sub(msgResourceText, "text") +
                           SubWithLength(msgSnapshot, 999, "SNAPS") + Sub(msgContainer, "junk") +
                           Sub(msgRecordUpdate, Update("video", 3));
  Handle(7, subs);
  const auto calls = host_.Calls();
  ASSERT_EQ(Kinds(), (std::vector<std::string>{"settings", "chunk", "snapshot", "update"}));
  EXPECT_EQ(calls[0].bytes, settings);
  EXPECT_EQ(calls[1].bytes, "vi8_2026:PPIII");
  EXPECT_EQ(calls[3].bytes, Update("video", 3));
}

TEST_F(PollReplyTest, StartByteOtherThan255IsLoggedAndHandled) {
  Handle(1, SubWithLength(msgRecordUpdate, static_cast<int32_t>(Update("v", 0).size()),
                          Update("v", 0), 0xF0));
  EXPECT_EQ(Kinds(), std::vector<std::string>{"update"});
  const std::string log = Log();
  EXPECT_NE(log.find(" - not 255\r\n"), std::string::npos) << log;
}

TEST_F(PollReplyTest, CountAboveTheSubMessagesPresentEndsCleanly) {
  Handle(255, Sub(msgRecordUpdate, Update("v", 0)));
  EXPECT_EQ(Kinds(), std::vector<std::string>{"update"});
}

TEST_F(PollReplyTest, TopLevelEditDoneMakesAPollDueOnlyForAKnownTable) {
  std::string known, unknown;
  PutNameSlot(&known, "videor", 8);
  PutNameSlot(&unknown, "nosuch", 8);
  link_->DispatchReply(BuildMessage(msgEditDoneNotice, unknown, 0));
  link_->DispatchReply(BuildMessage(msgEditDoneNotice, known, 0));
  link_->DispatchReply(BuildMessage(msgEditDoneNotice, "short", 0));  // no name slot: ignored
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"editdone", "editdone"}));
}

}  // namespace
}  // namespace korvel
