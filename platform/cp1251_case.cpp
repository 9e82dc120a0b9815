#include "platform/cp1251_case.h"

#include <array>

namespace korvel {
namespace {

struct CasePair {
  uint8_t capital;
  uint8_t small;
};

// The letters outside the two contiguous alphabets (Latin, Cyrillic А-я).
constexpr CasePair kOtherLetters[] = {
    {0xA8, 0xB8},  // Ё ё
    {0x81, 0x83},  // Ѓ ѓ
    {0x80, 0x90},  // Ђ ђ
    {0x8A, 0x9A},  // Љ љ
    {0x8C, 0x9C},  // Њ њ
    {0x8D, 0x9D},  // Ќ ќ
    {0x8E, 0x9E},  // Ћ ћ
    {0x8F, 0x9F},  // Џ џ
    {0xA1, 0xA2},  // Ў ў
    {0xB2, 0xB3},  // І і
    {0xA5, 0xB4},  // Ґ ґ
    {0xAA, 0xBA},  // Є є
    {0xA3, 0xBC},  // Ј ј
    {0xBD, 0xBE},  // Ѕ ѕ
    {0xAF, 0xBF},  // Ї ї
};

// to_small: capital -> small when true, small -> capital when false.
constexpr std::array<uint8_t, 256> MakeTable(bool to_small) {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  auto map = [&](int capital, int small) {
    if (to_small) {
      t[capital] = static_cast<uint8_t>(small);
    } else {
      t[small] = static_cast<uint8_t>(capital);
    }
  };
  for (int c = 'A'; c <= 'Z'; ++c) map(c, c + 0x20);
  for (int c = 0xC0; c <= 0xDF; ++c) map(c, c + 0x20);
  for (const CasePair& p : kOtherLetters) map(p.capital, p.small);
  return t;
}

constexpr std::array<uint8_t, 256> kLower = MakeTable(true);
constexpr std::array<uint8_t, 256> kUpper = MakeTable(false);

std::string MapBytes(std::string_view text, const std::array<uint8_t, 256>& table) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(table[static_cast<uint8_t>(c)]);
  return out;
}

}  // namespace

uint8_t LowerCp1251(uint8_t byte) { return kLower[byte]; }
std::string LowerCp1251(std::string_view text) { return MapBytes(text, kLower); }

uint8_t UpperCp1251(uint8_t byte) { return kUpper[byte]; }
std::string UpperCp1251(std::string_view text) { return MapBytes(text, kUpper); }

}  // namespace korvel
