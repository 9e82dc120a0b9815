#include "link/container/find_text.h"

#include <array>

namespace korvel {
namespace {

constexpr std::array<uint8_t, 256> MakeUpperTable() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  for (int c = 0x61; c <= 0x7A; ++c) t[c] = static_cast<uint8_t>(c - 0x20);  // a-z
  for (int c = 0xE0; c <= 0xFF; ++c) t[c] = static_cast<uint8_t>(c - 0x20);  // а-я
  t[0xB8] = 0xA8;  // ё
  t[0x83] = 0x81;  // ѓ
  t[0x90] = 0x80;  // ђ
  t[0x9A] = 0x8A;  // љ
  for (int c = 0x9C; c <= 0x9F; ++c) t[c] = static_cast<uint8_t>(c - 0x10);  // њ ќ ћ џ
  t[0xA2] = 0xA1;  // ў
  t[0xB3] = 0xB2;  // і
  t[0xB4] = 0xA5;  // ґ
  t[0xBA] = 0xAA;  // є
  t[0xBC] = 0xA3;  // ј
  t[0xBE] = 0xBD;  // ѕ
  t[0xBF] = 0xAF;  // ї
  return t;
}

constexpr std::array<uint8_t, 256> kUpper = MakeUpperTable();

}  // namespace

uint8_t UpperCp1251(uint8_t byte) { return kUpper[byte]; }

std::string UpperCp1251(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(kUpper[static_cast<uint8_t>(c)]);
  return out;
}

int32_t FindTextNoCase(std::string_view needle, std::string_view haystack, int32_t start) {
  if (needle.empty() || haystack.empty()) return 0;
  if (needle.size() > haystack.size()) return 0;
  const size_t first = start < 1 ? 0 : static_cast<size_t>(start) - 1;  // 0-based
  const size_t last = haystack.size() - needle.size();                   // 0-based
  if (first > last) return 0;
  const auto* h = reinterpret_cast<const uint8_t*>(haystack.data());
  const auto* n = reinterpret_cast<const uint8_t*>(needle.data());
  const uint8_t n0 = kUpper[n[0]];
  for (size_t p = first; p <= last; ++p) {
    if (kUpper[h[p]] != n0) continue;
    size_t i = 1;
    while (i < needle.size() && kUpper[h[p + i]] == kUpper[n[i]]) ++i;
    if (i == needle.size()) {
      // Positions beyond the int32 range cannot be answered; report none.
      return p + 1 <= static_cast<size_t>(INT32_MAX) ? static_cast<int32_t>(p + 1) : 0;
    }
  }
  return 0;
}

}  // namespace korvel
