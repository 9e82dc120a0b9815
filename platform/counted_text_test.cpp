#include "platform/counted_text.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(CountedText, RoundTripAndCutAt255) {
  std::string bytes;
  PutCountedText(&bytes, "abc");
  PutCountedText(&bytes, "");
  PutCountedText(&bytes, std::string(300, 'x'));
  EXPECT_EQ(bytes.size(), 4u + 1u + 256u);
  ByteReader in(bytes);
  std::string a, b, c;
  ASSERT_TRUE(GetCountedText(in, &a));
  ASSERT_TRUE(GetCountedText(in, &b));
  ASSERT_TRUE(GetCountedText(in, &c));
  EXPECT_EQ(a, "abc");
  EXPECT_EQ(b, "");
  EXPECT_EQ(c, std::string(255, 'x'));
  EXPECT_TRUE(in.empty());
  EXPECT_FALSE(GetCountedText(in, &a));  // nothing left, not even the length byte
}

TEST(CountedText, LengthBeyondTheBytesFailsInPlace) {
  const std::string bytes("\x05" "abcd", 5);  // claims 5, holds 4
  ByteReader in(bytes);
  std::string out = "keep";
  EXPECT_FALSE(GetCountedText(in, &out));
  EXPECT_EQ(in.position(), 0u);
  EXPECT_EQ(out, "keep");
}

TEST(NameSlot, PaddedToCapacityAndCut) {
  std::string bytes;
  PutNameSlot(&bytes, "video", kTableNameCapacity);
  PutNameSlot(&bytes, "a_very_long_name_here", kFieldNameCapacity);
  ASSERT_EQ(bytes.size(), 9u + 16u);
  EXPECT_EQ(bytes.substr(0, 9), std::string("\x05video\0\0\0", 9));
  EXPECT_EQ(static_cast<uint8_t>(bytes[9]), 15);
  ByteReader in(bytes);
  std::string a, b;
  ASSERT_TRUE(GetNameSlot(in, kTableNameCapacity, &a));
  EXPECT_EQ(in.position(), 9u);  // always consumes 1 + capacity
  ASSERT_TRUE(GetNameSlot(in, kFieldNameCapacity, &b));
  EXPECT_EQ(a, "video");
  EXPECT_EQ(b, "a_very_long_nam");
}

TEST(NameSlot, BadLengthByteAndShortInput) {
  // A length byte above the capacity is cut to the capacity.
  std::string slot(31, 'z');
  slot[0] = '\xFF';
  ByteReader in(slot);
  std::string out;
  ASSERT_TRUE(GetNameSlot(in, kArchiveNameCapacity, &out));
  EXPECT_EQ(out, std::string(30, 'z'));
  EXPECT_EQ(DecodeSlotText(slot.data(), 1), "");
  // Fewer than 1 + capacity bytes: fails without moving.
  ByteReader short_in(slot.data(), 30);
  EXPECT_FALSE(GetNameSlot(short_in, kArchiveNameCapacity, &out));
  EXPECT_EQ(short_in.position(), 0u);
}

}  // namespace
}  // namespace korvel
