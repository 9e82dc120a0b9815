#include "table/text_convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/cp1251_case.h"

namespace korvel::table_text {

namespace {
// Sort weight of a lower-cased byte: ё (0xB8) goes between е (0xE5) and ж.
inline uint32_t Weight(uint8_t c) {
  const uint8_t l = LowerCp1251(c);
  if (l == 0xB8) return (0xE5u << 1) | 1u;
  return uint32_t{l} << 1;
}
}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const uint32_t wa = Weight(static_cast<uint8_t>(a[i]));
    const uint32_t wb = Weight(static_cast<uint8_t>(b[i]));
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}
}  // namespace

bool ParseInt32(std::string_view text, int32_t* out) {
  std::string_view s = text;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
    if (v > (uint64_t{1} << 32)) return false;
  }
  int64_t sv = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  if (base == 16 && !negative && v <= 0xFFFFFFFFull) {
    *out = static_cast<int32_t>(static_cast<uint32_t>(v));  // hex may give the full 32 bits
    return true;
  }
  if (sv < std::numeric_limits<int32_t>::min() || sv > std::numeric_limits<int32_t>::max())
    return false;
  *out = static_cast<int32_t>(sv);
  return true;
}

int32_t ParseInt32Or0(std::string_view text) {
  int32_t v = 0;
  return ParseInt32(text, &v) ? v : 0;
}

bool ParseDouble(std::string_view text, double* out) {
  std::string_view s = TrimBlanks(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  *out = v;
  return true;
}

std::string FormatGeneral(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (v == 0) return "0";
  char buf[64];
  const double a = std::fabs(v);
  int exp10 = static_cast<int>(std::floor(std::log10(a)));
  // Rounding to 15 digits may carry into the next power of ten.
  std::snprintf(buf, sizeof buf, "%.14e", v);
  if (const char* e = std::strchr(buf, 'e')) exp10 = std::atoi(e + 1);
  if (exp10 < -5 || exp10 >= 15) {
    // Mantissa without trailing zeros, then "E" and the plain exponent.
    std::string m(buf, std::strchr(buf, 'e'));
    if (m.find('.') != std::string::npos) {
      while (m.back() == '0') m.pop_back();
      if (m.back() == '.') m.pop_back();
    }
    return m + "E" + std::to_string(exp10);
  }
  std::snprintf(buf, sizeof buf, "%.*f", exp10 >= 14 ? 0 : 14 - exp10, v);
  std::string s(buf);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace korvel::table_text
