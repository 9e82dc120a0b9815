#include "platform/cp1251_case.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(Cp1251Case, LowerOfEveryCapital) {
  struct Pair {
    uint8_t upper, lower;
  } pairs[] = {{'A', 'a'},   {'Z', 'z'},   {0xC0, 0xE0}, {0xDF, 0xFF}, {0xA8, 0xB8},
               {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8F, 0x9F},
               {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA}, {0xAF, 0xBF},
               {0xB2, 0xB3}, {0xBD, 0xBE}};
  for (const Pair& p : pairs) {
    EXPECT_EQ(LowerCp1251(p.upper), p.lower) << std::hex << int(p.upper);
    EXPECT_EQ(LowerCp1251(p.lower), p.lower) << std::hex << int(p.lower);  // small letters stay
  }
  EXPECT_EQ(LowerCp1251(std::string_view("A\xC9\xA8z1")), "a\xE9\xB8z1");
}

// The two directions are one mapping: every byte that changes going up comes
// back going down, and no byte changes in both directions.
TEST(Cp1251Case, UpperAndLowerAreInverse) {
  int letters = 0;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<uint8_t>(b);
    const uint8_t up = UpperCp1251(byte);
    const uint8_t down = LowerCp1251(byte);
    EXPECT_FALSE(up != byte && down != byte) << std::hex << b;
    if (up != byte) {
      ++letters;
      EXPECT_EQ(LowerCp1251(up), byte) << std::hex << b;
    }
    if (down != byte) EXPECT_EQ(UpperCp1251(down), byte) << std::hex << b;
  }
  EXPECT_EQ(letters, 26 + 32 + 15);
}

}  // namespace
}  // namespace korvel
