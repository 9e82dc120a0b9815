#include "link/wire/frame_codec.h"

#include <gtest/gtest.h>

#include <random>

#include "link/wire/message.h"
#include "platform/byte_io.h"

namespace korvel {
namespace {

// A 30-byte message: 18-byte header and 12 payload bytes.
std::string ThirtyByteMessage() { return BuildMessage(msgLogin, "0123456789AB", 5); }

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(FrameCodecTest, PlainFrameOfThirtyBytes) {
  const std::string m = ThirtyByteMessage();
  ASSERT_EQ(m.size(), 30u);
  const std::string f = EncodeFrame(m, false);
  ASSERT_EQ(f.size(), kFrameHeaderSize + 30);
  EXPECT_EQ(static_cast<uint8_t>(f[0]), kFrameMarkerPlain);
  EXPECT_EQ(DecodeI32(f.data() + 5), 30);
  EXPECT_EQ(DecodeI32(f.data() + 17), 30);
  EXPECT_EQ(f.substr(1, 4), std::string(4, '\0'));
  EXPECT_EQ(f.substr(9, 8), std::string(8, '\0'));
  EXPECT_EQ(f.substr(kFrameHeaderSize), m);
}

TEST(FrameCodecTest, CompressedFrameOfThirtyBytes) {
  const std::string m = ThirtyByteMessage();
  const std::string f = EncodeFrame(m, true);
  ASSERT_GT(f.size(), kFrameHeaderSize);
  FrameHeader h;
  ASSERT_TRUE(DecodeFrameHeader(reinterpret_cast<const uint8_t*>(f.data()), &h));
  EXPECT_EQ(h.marker, kFrameMarkerCompressed);
  EXPECT_EQ(h.plain_length, 30);
  EXPECT_EQ(static_cast<size_t>(h.wire_length), f.size() - kFrameHeaderSize);
  // A zlib stream (RFC 1950): deflate, 32K window, level 1 -> 78 01.
  EXPECT_EQ(static_cast<uint8_t>(f[21]), 0x78);
  EXPECT_EQ(static_cast<uint8_t>(f[22]), 0x01);
  std::string back;
  ASSERT_TRUE(InflateExact(std::string_view(f).substr(kFrameHeaderSize), 30, &back));
  EXPECT_EQ(back, m);
}

TEST(FrameCodecTest, CompressionRoundTripsManySizes) {
  for (size_t n : {0u, 1u, 18u, 1000u, 65536u, 300000u}) {
    for (bool random : {false, true}) {
      const std::string m = random ? RandomBytes(n, static_cast<uint32_t>(n)) : std::string(n, 'a');
      std::string body;
      ASSERT_TRUE(DeflateMessage(m, &body)) << n;
      std::string back;
      ASSERT_TRUE(InflateExact(body, static_cast<int32_t>(n), &back)) << n;
      EXPECT_EQ(back, m) << n;
    }
  }
}

TEST(FrameCodecTest, DecodeHeaderChecksMarkerAndLengths) {
  struct Case {
    const char* name;
    uint8_t marker;
    int32_t wire;
    int32_t plain;
    bool ok;
  } cases[] = {
      {"plain", 0xFF, 30, 30, true},
      {"compressed", 0xF0, 20, 30, true},
      {"zero lengths decode", 0xFF, 0, 0, true},
      {"ceiling", 0xF0, kMaxFrameLength, kMaxFrameLength, true},
      {"bad marker", 0xFE, 30, 30, false},
      {"marker 0", 0x00, 30, 30, false},
      {"negative wire", 0xFF, -1, 30, false},
      {"negative plain", 0xF0, 30, -5, false},
      {"wire over ceiling", 0xFF, kMaxFrameLength + 1, 30, false},
      {"plain over ceiling", 0xF0, 30, kMaxFrameLength + 1, false},
  };
  for (const Case& c : cases) {
    std::string h;
    PutFrameHeader(&h, c.marker, c.wire, c.plain);
    ASSERT_EQ(h.size(), kFrameHeaderSize);
    FrameHeader out;
    EXPECT_EQ(DecodeFrameHeader(reinterpret_cast<const uint8_t*>(h.data()), &out), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(out.wire_length, c.wire) << c.name;
      EXPECT_EQ(out.plain_length, c.plain) << c.name;
    }
  }
}

TEST(FrameCodecTest, ReservedBytesAreIgnored) {
  std::string h;
  PutFrameHeader(&h, kFrameMarkerPlain, 30, 30);
  for (size_t i : {1, 2, 3, 4, 9, 10, 11, 12, 13, 14, 15, 16}) h[i] = static_cast<char>(0xA5 + i);
  FrameHeader out;
  ASSERT_TRUE(DecodeFrameHeader(reinterpret_cast<const uint8_t*>(h.data()), &out));
  EXPECT_EQ(out.wire_length, 30);
  EXPECT_EQ(out.plain_length, 30);
}

TEST(FrameCodecTest, InflateExactRejectsEveryMismatch) {
  const std::string m = RandomBytes(5000, 1);
  std::string z;
  ASSERT_TRUE(DeflateMessage(m, &z));
  std::string corrupt = z;
  corrupt[corrupt.size() / 2] ^= 0x55;
  std::string bad_adler = z;
  bad_adler.back() ^= 0x01;
  struct Case {
    const char* name;
    std::string body;
    int32_t plain;
    bool ok;
  } cases[] = {
      {"exact", z, 5000, true},
      {"trailing bytes after the stream", z + "junk", 5000, true},
      {"plain length too small", z, 4999, false},
      {"plain length too large", z, 5001, false},
      {"plain length 0", z, 0, false},
      {"negative plain length", z, -1, false},
      {"over the ceiling", z, kMaxFrameLength + 1, false},
      {"truncated stream", z.substr(0, z.size() - 3), 5000, false},
      {"corrupt data", corrupt, 5000, false},
      {"bad checksum", bad_adler, 5000, false},
      {"not zlib at all", std::string(100, 'x'), 100, false},
      {"empty body", "", 0, false},
  };
  for (const Case& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(InflateExact(c.body, c.plain, &out), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(out, m) << c.name;
    } else {
      EXPECT_TRUE(out.empty()) << c.name;
    }
  }
}

TEST(FrameCodecTest, SmallBombClaimingCeilingIsRefusedAtItsTrueSize) {
  // 2 MiB of zeros deflates to a few KiB; claimed as 1 MiB it must fail
  // without producing more than the claim.
  std::string z;
  ASSERT_TRUE(DeflateMessage(std::string(2 << 20, '\0'), &z));
  std::string out;
  EXPECT_FALSE(InflateExact(z, 1 << 20, &out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace korvel
