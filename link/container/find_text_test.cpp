#include "link/container/find_text.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(FindTextTest, Cases) {
  struct Case {
    const char* name;
    std::string needle;
    std::string haystack;
    int32_t start;
    int32_t want;
  } cases[] = {
      // Cyrillic а б в (E0 E1 E2) in x x А Б В (C0 C1 C2).
      {"cyrillic", "\xE0\xE1\xE2", "xx\xC0\xC1\xC2", 1, 3},
      {"no candidate position", "ab", "xAB", 3, 0},
      {"last candidate", "ab", "xAB", 2, 2},
      {"empty needle", "", "abc", 1, 0},
      {"empty haystack", "a", "", 1, 0},
      {"needle longer", "abcd", "abc", 1, 0},
      {"latin", "HeLLo", "say hello", 1, 5},
      {"start skips earlier match", "a", "aXa", 2, 3},
      {"start below 1 counts as 1", "a", "abc", 0, 1},
      {"negative start", "c", "abc", -7, 3},
      {"start past end", "a", "aaa", 10, 0},
      {"yo lower in upper", "\xB8\xEB\xEA\xE0", "\xA8\xCB\xCA\xC0", 1, 1},  // ёлка / ЁЛКА
      {"yo is not ye", "\xB8", "\xC5", 1, 0},                              // ё vs Е
      {"no match", "xyz", "abcdef", 1, 0},
      {"digits and signs map to themselves", "1-2", "a1-2", 1, 2},
      {"upper needle finds lower", "\xC4\xCE\xCC", "\xe4\xee\xec", 1, 1},  // ДОМ / дом
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindTextNoCase(c.needle, c.haystack, c.start), c.want) << c.name;
  }
}

TEST(FindTextTest, FullUpperCaseMapping) {
  struct Pair {
    uint8_t lower, upper;
  } pairs[] = {{0xB8, 0xA8}, {0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C},
               {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xB3, 0xB2},
               {0xB4, 0xA5}, {0xBA, 0xAA}, {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF},
               {0xE0, 0xC0}, {0xFF, 0xDF}, {'a', 'A'}, {'z', 'Z'}};
  for (const Pair& p : pairs) {
    EXPECT_EQ(UpperCp1251(p.lower), p.upper) << std::hex << int(p.lower);
    EXPECT_EQ(UpperCp1251(p.upper), p.upper) << std::hex << int(p.upper);  // capitals stay
    EXPECT_EQ(FindTextNoCase(std::string(1, char(p.lower)), std::string(1, char(p.upper)), 1), 1);
  }
  // Bytes without a capital map to themselves.
  int identity = 0;
  for (int b = 0; b < 256; ++b) identity += UpperCp1251(static_cast<uint8_t>(b)) == b;
  EXPECT_EQ(identity, 256 - 26 - 32 - 15);
  EXPECT_EQ(UpperCp1251(std::string_view("a\xE9\xB8z")), "A\xC9\xA8Z");
}

}  // namespace
}  // namespace korvel
