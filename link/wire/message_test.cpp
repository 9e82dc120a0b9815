#include "link/wire/message.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(MessageTest, BuildLaysOutHeaderThenPayload) {
  const std::string m = BuildMessage(msgPoll, "abc", 0x0102030405060708ull);
  const std::string want(
      "\xFF"
      "\x3F\x00\x20\x02"
      "\x03\x00\x00\x00"
      "\x08\x07\x06\x05\x04\x03\x02\x01"
      "\xFE"
      "abc",
      21);
  EXPECT_EQ(m, want);
}

TEST(MessageTest, HeaderRoundTrip) {
  const std::string m = BuildMessage(msgCameraEvent, std::string(kCameraEventSize, 'x'), 7);
  ByteReader in(m);
  MessageHeader h;
  ASSERT_TRUE(ReadMessageHeader(in, &h));
  EXPECT_EQ(in.position(), kMessageHeaderSize);
  EXPECT_EQ(h.start, kMessageStart);
  EXPECT_EQ(h.type, msgCameraEvent);
  EXPECT_EQ(h.length, static_cast<int32_t>(kCameraEventSize));
  EXPECT_EQ(h.sequence, 7u);
  EXPECT_EQ(h.end, kMessageEnd);
  EXPECT_TRUE(IsValidHeader(h));
  EXPECT_EQ(MessageType(m), msgCameraEvent);
  EXPECT_EQ(MessageLengthField(m), static_cast<int32_t>(kCameraEventSize));
  EXPECT_EQ(MessagePayload(m).size(), kCameraEventSize);
}

TEST(MessageTest, ReadHeaderFailsWhenShortAndKeepsPosition) {
  const std::string m = BuildMessage(msgLogin, "", 0).substr(0, 17);
  ByteReader in(m);
  MessageHeader h;
  EXPECT_FALSE(ReadMessageHeader(in, &h));
  EXPECT_EQ(in.position(), 0u);
}

TEST(MessageTest, Validation) {
  const std::string good = BuildMessage(msgLoginAccepted, "", 0);
  std::string alt = good;
  alt[0] = static_cast<char>(kMessageStartAlt);
  std::string bad_start = good;
  bad_start[0] = 0x00;
  std::string bad_end = good;
  bad_end[17] = static_cast<char>(0xFF);
  // The frame delimits a whole-frame message; its length field is not checked.
  std::string lying_length = good;
  PatchU32(&lying_length, kMessageLengthOffset, 1000);
  struct Case {
    const char* name;
    std::string bytes;
    bool valid;
  } cases[] = {
      {"good", good, true},
      {"start F0", alt, true},
      {"bad start", bad_start, false},
      {"bad end", bad_end, false},
      {"17 bytes", good.substr(0, 17), false},
      {"empty", "", false},
      {"length field ignored", lying_length, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidMessage(c.bytes), c.valid) << c.name;
}

TEST(MessageTest, PayloadOfShortMessageIsEmpty) {
  EXPECT_TRUE(MessagePayload("short").empty());
  EXPECT_EQ(MessageType("short"), 0u);
  EXPECT_EQ(MessagePayload(BuildMessage(msgPoll, "xy", 0)), "xy");
}

}  // namespace
}  // namespace korvel
