#include "link/container/find_text.h"

#include <cstdint>

namespace korvel {

int32_t FindTextNoCase(std::string_view needle, std::string_view haystack, int32_t start) {
  if (needle.empty() || haystack.empty()) return 0;
  if (needle.size() > haystack.size()) return 0;
  const size_t first = start < 1 ? 0 : static_cast<size_t>(start) - 1;  // 0-based
  const size_t last = haystack.size() - needle.size();                   // 0-based
  if (first > last) return 0;
  const auto* h = reinterpret_cast<const uint8_t*>(haystack.data());
  const auto* n = reinterpret_cast<const uint8_t*>(needle.data());
  const uint8_t n0 = UpperCp1251(n[0]);
  for (size_t p = first; p <= last; ++p) {
    if (UpperCp1251(h[p]) != n0) continue;
    size_t i = 1;
    while (i < needle.size() && UpperCp1251(h[p + i]) == UpperCp1251(n[i])) ++i;
    if (i == needle.size()) {
      // Positions beyond the int32 range cannot be answered; report none.
      return p + 1 <= static_cast<size_t>(INT32_MAX) ? static_cast<int32_t>(p + 1) : 0;
    }
  }
  return 0;
}

}  // namespace korvel
