#include "platform/version_text.h"

#include <string_view>

#ifndef KORVEL_VERSION_TEXT
#define KORVEL_VERSION_TEXT ""
#endif

namespace korvel {
namespace {

// A decimal number with an optional sign, kept to its low 16 bits; 0 when
// the text is not one or does not fit in 32 bits.
uint16_t PartNumber(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return 0;
  uint64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return 0;
  }
  return static_cast<uint16_t>(negative ? 0u - value : value);
}

}  // namespace

std::array<uint16_t, 4> ParseVersionNumbers(const std::string& text) {
  std::array<uint16_t, 4> numbers{0, 0, 0, 0};
  std::string_view s = text;
  if (s.find('.') == std::string_view::npos) return numbers;
  // Numbers 1..3: the text before the next '.', which is then dropped with
  // its '.'. When no '.' is left the part is missing: 0, and s stays as it is
  // for number 4.
  for (int i = 0; i < 3; ++i) {
    const size_t dot = s.find('.');
    if (dot == std::string_view::npos) continue;
    numbers[i] = PartNumber(s.substr(0, dot));
    s.remove_prefix(dot + 1);
  }
  numbers[3] = PartNumber(s);
  return numbers;
}

const char* ProgramVersionText() { return KORVEL_VERSION_TEXT; }

}  // namespace korvel
