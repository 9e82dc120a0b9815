#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace korvel {
namespace {

// The Cyrillic letters of Windows-1251: А..я at C0..FF, then Ё, ё, №.
const char kCyrillicUtf8[] =
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюяЁё№";

std::string CyrillicCp1251() {
  std::string s;
  for (int b = 0xC0; b <= 0xFF; ++b) s.push_back(static_cast<char>(b));
  s += "\xA8\xB8\xB9";
  return s;
}

TEST(Codepage, CyrillicBothWays) {
  EXPECT_EQ(Cp1251ToUtf8(CyrillicCp1251()), kCyrillicUtf8);
  EXPECT_EQ(Utf8ToCp1251(kCyrillicUtf8), CyrillicCp1251());
  EXPECT_EQ(Utf8ToCp1251(""), "");
  EXPECT_EQ(Cp1251ToUtf8(""), "");
}

TEST(Codepage, EveryDefinedByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    if (b != 0x98) all.push_back(static_cast<char>(b));
  const std::string utf8 = Cp1251ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToCp1251(utf8), all);
  // 0x98 has no character; it still converts, to "?".
  EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a?z");
  EXPECT_EQ(Cp1251ToUtf8("\x88"), "€");
}

TEST(Codepage, UnrepresentableAndInvalidBecomeOneQuestionMark) {
  struct Case {
    const char* utf8;
    const char* cp1251;
  } cases[] = {
      {"a日b", "a?b"},             // CJK: not in Windows-1251
      {"x😀y", "x?y"},            // 4-byte character
      {"\xEF\xBB\xBFok", "?ok"},  // a BOM is a character too
      {"a\xFFz", "a?z"},          // byte that never starts a sequence
      {"a\xC3(z", "a?(z"},        // broken continuation
      {"ab\xE2\x82", "ab?"},      // sequence cut at the end
      {"\xC0\xAF", "??"},         // overlong form
      {"\xED\xA0\x80", "???"},    // encoded surrogate
      {"Дом №5", "\xC4\xEE\xEC \xB9\x35"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
}

TEST(Codepage, CutCountsWindows1251Bytes) {
  // "Привет мир" is 19 UTF-8 bytes but 10 Windows-1251 bytes.
  EXPECT_EQ(Utf8ToCp1251Cut("Привет мир", 8), Utf8ToCp1251("Привет м"));
  EXPECT_EQ(Utf8ToCp1251Cut("Привет мир", 15), Utf8ToCp1251("Привет мир"));
  EXPECT_EQ(Utf8ToCp1251Cut("Привет мир", 0), "");
  EXPECT_EQ(Utf8ToCp1251Cut("日日日", 2), "??");
}

TEST(Codepage, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8(kCyrillicUtf8));
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
  for (const char* bad : {"\xC8\xF0\xE8", "\xC0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(Codepage, ControlBytesReplaced) {
  EXPECT_EQ(ReplaceControlBytes(std::string("a\0b\r\n\x7F\xC0", 7)), "a?b???\xC0");
}

TEST(Codepage, ConcurrentConversions) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (Cp1251ToUtf8(CyrillicCp1251()) != kCyrillicUtf8) ++failures[t];
        if (Utf8ToCp1251(kCyrillicUtf8) != CyrillicCp1251()) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace korvel
