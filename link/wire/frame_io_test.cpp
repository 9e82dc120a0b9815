#include "link/wire/frame_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <random>
#include <thread>

#include "link/wire/frame_codec.h"
#include "link/wire/message.h"
#include "link/wire/tcp_socket.h"

namespace korvel {
namespace {

// A connected pair of stream sockets, closed at the end of the test.
struct SocketPair {
  SocketPair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    a = Socket(fds[0]);
    b = Socket(fds[1]);
  }
  Socket a;
  Socket b;
};

// An in-memory source that hands out scripted pieces: each Read returns at
// most the rest of the current piece. After the last piece it reports a
// closed stream (or a timeout). It records what each read asked for.
class ScriptSource : public FrameSource {
 public:
  explicit ScriptSource(std::deque<std::string> pieces, bool end_is_timeout = false)
      : pieces_(std::move(pieces)), end_is_timeout_(end_is_timeout) {}

  long Read(void* buf, size_t max, int) override {
    requests.push_back(max);
    while (!pieces_.empty() && pieces_.front().empty()) pieces_.pop_front();
    if (pieces_.empty()) return end_is_timeout_ ? -1 : 0;
    std::string& p = pieces_.front();
    const size_t n = std::min(max, p.size());
    std::memcpy(buf, p.data(), n);
    p.erase(0, n);
    return static_cast<long>(n);
  }
  int ReceiveBufferSize() override { return rcvbuf; }

  int rcvbuf = 0;
  std::vector<size_t> requests;

 private:
  std::deque<std::string> pieces_;
  bool end_is_timeout_;
};

struct Received {
  ReceiveStatus status;
  std::string message;
  int32_t chunk;  // the chunk size after the read
};

// One ReceiveFrameFrom, starting from the given chunk size.
Received ReceiveFrom(FrameSource& source, int32_t chunk = kDefaultPacketSize) {
  Received r{ReceiveStatus::kFailed, "stale", chunk};
  r.status = ReceiveFrameFrom(source, &r.chunk, &r.message);
  return r;
}

// One ReceiveFrame on a socket.
Received ReceiveFromSocket(int fd, int timeout_ms = kReceiveTimeoutMs) {
  Received r{ReceiveStatus::kFailed, "stale", kDefaultPacketSize};
  r.status = ReceiveFrame(fd, &r.chunk, &r.message, timeout_ms);
  return r;
}

std::string Header(uint8_t marker, int32_t wire, int32_t plain) {
  std::string h;
  PutFrameHeader(&h, marker, wire, plain);
  return h;
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(FrameIoTest, RoundTripOverSocketPairPlainAndCompressed) {
  // Larger than a socket buffer, so the writer blocks until the reader takes
  // chunks; the writer runs on its own thread.
  for (size_t n : {30u, 5000u, 3u << 20}) {
    for (bool compress : {false, true}) {
      SocketPair sp;
      const std::string m = BuildMessage(msgSnapshot, RandomBytes(n, static_cast<uint32_t>(n)), 3);
      bool sent = false;
      std::thread writer([&] { sent = SendFrame(sp.a.fd(), m, compress); });
      const Received got = ReceiveFromSocket(sp.b.fd());
      EXPECT_EQ(got.status, ReceiveStatus::kMessage);
      writer.join();
      EXPECT_TRUE(sent);
      EXPECT_EQ(got.message, m) << n << " compress=" << compress;
    }
  }
}

TEST(FrameIoTest, CompressedFrameIsInflatedWhateverOwnSetting) {
  // The receiver has no compression setting to consult: a 0xF0 frame is
  // always inflated.
  const std::string m = BuildMessage(msgPoll, "payload", 0);
  const std::string f = EncodeFrame(m, true);
  ScriptSource src({f});
  const Received got = ReceiveFrom(src);
  EXPECT_EQ(got.status, ReceiveStatus::kMessage);
  EXPECT_EQ(got.message, m);
}

TEST(FrameIoTest, HeaderSplitAcrossTwoWritesIsReadWhole) {
  SocketPair sp;
  const std::string m = BuildMessage(msgLoginAccepted, "", 0);
  const std::string f = EncodeFrame(m, false);
  std::thread writer([&] {
    ASSERT_TRUE(SendAll(sp.a.fd(), std::string_view(f).substr(0, 7)));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_TRUE(SendAll(sp.a.fd(), std::string_view(f).substr(7)));
  });
  const Received got = ReceiveFromSocket(sp.b.fd());
  EXPECT_EQ(got.status, ReceiveStatus::kMessage);
  writer.join();
  EXPECT_EQ(got.message, m);
}

TEST(FrameIoTest, OneByteAtATimeIsReadWhole) {
  const std::string m = BuildMessage(msgTableList, "video\r\nvideor\r\n", 0);
  for (bool compress : {false, true}) {
    std::deque<std::string> pieces;
    for (char c : EncodeFrame(m, compress)) pieces.emplace_back(1, c);
    ScriptSource src(pieces);
    const Received got = ReceiveFrom(src);
    EXPECT_EQ(got.status, ReceiveStatus::kMessage);
    EXPECT_EQ(got.message, m);
  }
}

TEST(FrameIoTest, ClosedStreamMidHeaderFails) {
  SocketPair sp;
  const std::string f = EncodeFrame(BuildMessage(msgPoll, "", 0), false);
  ASSERT_TRUE(SendAll(sp.a.fd(), std::string_view(f).substr(0, 10)));
  sp.a.Close();
  const Received got = ReceiveFromSocket(sp.b.fd());
  EXPECT_EQ(got.status, ReceiveStatus::kFailed);
}

TEST(FrameIoTest, SilentPeerFailsAtTheEndOfTheWait) {
  SocketPair sp;
  const Received got = ReceiveFromSocket(sp.b.fd(), 50);
  EXPECT_EQ(got.status, ReceiveStatus::kFailed);
}

TEST(FrameIoTest, BadFramesFail) {
  const std::string m = BuildMessage(msgPoll, "", 0);
  struct Case {
    const char* name;
    std::deque<std::string> pieces;
    bool end_is_timeout;
  } cases[] = {
      {"bad marker", {Header(0x00, 18, 18) + m}, false},
      {"wire length 0", {Header(kFrameMarkerPlain, 0, 0)}, false},
      {"negative wire length", {Header(kFrameMarkerPlain, -18, 18) + m}, false},
      {"negative plain length", {Header(kFrameMarkerCompressed, 18, -1) + m}, false},
      {"body cut short by close", {Header(kFrameMarkerPlain, 100, 100) + m}, false},
      {"body cut short by timeout", {Header(kFrameMarkerPlain, 100, 100) + m}, true},
      {"nothing at all", {}, false},
      {"header cut short", {m.substr(0, 20)}, false},
  };
  for (Case& c : cases) {
    ScriptSource src(c.pieces, c.end_is_timeout);
    const Received got = ReceiveFrom(src);
    EXPECT_EQ(got.status, ReceiveStatus::kFailed) << c.name;
    EXPECT_TRUE(got.message.empty()) << c.name;
  }
}

TEST(FrameIoTest, LengthOverCeilingFailsBeforeAnyBodyRead) {
  for (const std::string& h : {Header(kFrameMarkerPlain, kMaxFrameLength + 1, 10),
                               Header(kFrameMarkerCompressed, 10, kMaxFrameLength + 1),
                               Header(kFrameMarkerPlain, INT32_MAX, INT32_MAX)}) {
    ScriptSource src({h + std::string(64, 'x')});
    const Received got = ReceiveFrom(src);
    EXPECT_EQ(got.status, ReceiveStatus::kFailed);
    // Only the header was asked for: the claimed body was never read (nor
    // allocated).
    ASSERT_EQ(src.requests.size(), 1u);
    EXPECT_EQ(src.requests[0], kFrameHeaderSize);
  }
}

TEST(FrameIoTest, BadInflationGivesEmptyMessageNotFailure) {
  const std::string m = BuildMessage(msgPoll, "0123456789", 0);
  std::string z;
  ASSERT_TRUE(DeflateMessage(m, &z));
  std::string corrupt = z;
  corrupt[3] ^= 0x40;
  struct Case {
    const char* name;
    std::string frame;
  } cases[] = {
      {"plain length off by one", Header(kFrameMarkerCompressed, static_cast<int32_t>(z.size()),
                                         static_cast<int32_t>(m.size()) + 1) + z},
      {"corrupt stream", Header(kFrameMarkerCompressed, static_cast<int32_t>(corrupt.size()),
                                static_cast<int32_t>(m.size())) + corrupt},
      {"not a stream", Header(kFrameMarkerCompressed, 28, 28) + m},
  };
  for (const Case& c : cases) {
    ScriptSource src({c.frame});
    const Received got = ReceiveFrom(src);
    EXPECT_EQ(got.status, ReceiveStatus::kMessage) << c.name;
    EXPECT_TRUE(got.message.empty()) << c.name;
  }
}

TEST(FrameIoTest, ReservedBytesDoNotMatter) {
  const std::string m = BuildMessage(msgResetErrors, "", 0);
  std::string f = EncodeFrame(m, true);
  for (size_t i : {1, 2, 3, 4, 9, 10, 11, 12, 13, 14, 15, 16}) f[i] = static_cast<char>(0xC3);
  ScriptSource src({f});
  const Received got = ReceiveFrom(src);
  EXPECT_EQ(got.status, ReceiveStatus::kMessage);
  EXPECT_EQ(got.message, m);
}

TEST(FrameIoTest, ChunkSizeFollowsTheReceiveBuffer) {
  const std::string m = BuildMessage(msgSnapshot, std::string(1000, 'v'), 0);
  {
    // The buffer size is reported: it replaces the PacketSize value and
    // bounds every body read.
    ScriptSource src({EncodeFrame(m, false)});
    src.rcvbuf = 300;
    const Received got = ReceiveFrom(src);
    ASSERT_EQ(got.status, ReceiveStatus::kMessage);
    EXPECT_EQ(got.message, m);
    EXPECT_EQ(got.chunk, 300);
    ASSERT_EQ(src.requests.size(), 1u + 4u);  // header, then 300+300+300+118
    EXPECT_EQ(src.requests[1], 300u);
    EXPECT_EQ(src.requests[4], 118u);
  }
  {
    // No buffer size known: the PacketSize value stays the chunk size.
    ScriptSource src({EncodeFrame(m, false)});
    const Received got = ReceiveFrom(src, 512);
    ASSERT_EQ(got.status, ReceiveStatus::kMessage);
    EXPECT_EQ(got.chunk, 512);
    EXPECT_EQ(src.requests[1], 512u);
  }
  {
    // A PacketSize of 0 or below would never read a byte; the default
    // chunk size is used instead.
    ScriptSource src({EncodeFrame(m, false)});
    const Received got = ReceiveFrom(src, 0);
    ASSERT_EQ(got.status, ReceiveStatus::kMessage);
    EXPECT_EQ(got.message, m);
  }
}

TEST(FrameIoTest, SocketReportsItsReceiveBuffer) {
  SocketPair sp;
  const std::string m = BuildMessage(msgPoll, "", 0);
  ASSERT_TRUE(SendFrame(sp.a.fd(), m, false));
  int rcvbuf = 0;
  socklen_t len = sizeof(rcvbuf);
  ASSERT_EQ(getsockopt(sp.b.fd(), SOL_SOCKET, SO_RCVBUF, &rcvbuf, &len), 0);
  int32_t chunk = 1;  // the PacketSize setting before any query
  std::string got;
  ASSERT_EQ(ReceiveFrame(sp.b.fd(), &chunk, &got), ReceiveStatus::kMessage);
  EXPECT_EQ(chunk, rcvbuf);
  EXPECT_EQ(got, m);
}

TEST(FrameIoTest, ClosedHandleFails) {
  const Received got = ReceiveFromSocket(-1);
  EXPECT_EQ(got.status, ReceiveStatus::kFailed);
  EXPECT_FALSE(SendFrame(-1, "x", false));
  Socket s;
  s.Close();
  EXPECT_FALSE(SendFrame(s.fd(), BuildMessage(msgPoll, "", 0), false));
}

TEST(FrameIoTest, SendToResetPeerFailsWithoutSignal) {
  // With SIGPIPE at its default action a send without MSG_NOSIGNAL would end
  // the test process here.
  struct sigaction old {};
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &dfl, &old);
  SocketPair sp;
  sp.b.Close();
  EXPECT_FALSE(SendFrame(sp.a.fd(), BuildMessage(msgPoll, "", 0), false));
  sigaction(SIGPIPE, &old, nullptr);
}

TEST(FrameIoTest, PeerThatNeverReadsFailsTheSend) {
  SocketPair sp;
  const std::string m = BuildMessage(msgSnapshot, std::string(8 << 20, 'z'), 0);
  EXPECT_FALSE(SendFrame(sp.a.fd(), m, false, /*timeout_ms=*/100));
}

}  // namespace
}  // namespace korvel
