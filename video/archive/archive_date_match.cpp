#include "video/archive/archive_date_match.h"

#include <algorithm>

#include "link/container/find_text.h"

namespace korvel {
namespace {

bool Contains(std::string_view haystack, std::string_view needle) {
  return FindTextNoCase(needle, haystack, 1) != 0;
}
bool EndsWith(std::string_view text, std::string_view tail) {
  return tail.empty() || (text.size() >= tail.size() &&
                          Contains(text.substr(text.size() - tail.size()), tail));
}

constexpr size_t kTimeTextSize = 8;  // "hh:nn:ss"

// Whether `needle`, placed at position `at` of "hh:nn:ss", agrees with the
// two digits of `value` at position `part` (0 hours, 3 minutes, 6 seconds).
// The filter holds only digits, '.', ':' and ' ', which have no other case.
bool PartAgrees(std::string_view needle, size_t at, size_t part, int value) {
  const char digits[2] = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  for (size_t k = 0; k < 2; ++k) {
    const size_t pos = part + k;
    if (pos >= at && pos - at < needle.size() && needle[pos - at] != digits[k]) return false;
  }
  return true;
}

}  // namespace

ArchiveDateMatcher::ArchiveDateMatcher(std::string_view filter, int year) {
  if (filter.empty() || filter.size() > kArchiveLongDateTextMax) return;
  size_t spaces = 0;
  size_t space_at = 0;
  for (size_t i = 0; i < filter.size(); ++i) {
    const char c = filter[i];
    if (c == ' ') {
      ++spaces;
      space_at = i;
    } else if (!((c >= '0' && c <= '9') || c == '.' || c == ':')) {
      return;
    }
  }
  if (spaces > 1) return;
  possible_ = true;
  split_ = spaces == 1;
  const std::string_view left = split_ ? filter.substr(0, space_at) : std::string_view();
  const std::string_view right = split_ ? filter.substr(space_at + 1) : std::string_view();

  // Texts of one day (D1 and D2 are the first 5 and 10 bytes of the long
  // text) and of one time of day (the last 8 bytes of the short text).
  ArchiveEventTime t;
  t.year = year;
  t.hour = 1;  // not midnight, so the long text is whole
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; day <= 31; ++day) {
      t.month = month;
      t.day = day;
      if (!IsValidArchiveEventTime(t)) continue;
      ArchiveDateTexts texts;
      FormatArchiveDateTexts(t, &texts);
      const std::string_view d1 = texts.long_text().substr(0, 5);
      const std::string_view d2 = texts.long_text().substr(0, 10);
      uint8_t bits = 0;
      if (!split_ && (Contains(d1, filter) || Contains(d2, filter))) bits |= kInDate;
      if (split_ && EndsWith(d1, left)) bits |= kShortEnds;
      if (split_ && EndsWith(d2, left)) bits |= kLongEnds;
      day_bits_[static_cast<size_t>(month) * 32 + static_cast<size_t>(day)] = bits;
    }
  }
  // The time table: `needle` (the whole filter, or R at the start) placed
  // at position i of "hh:nn:ss" occurs there when the separators agree and
  // each of the three two-digit parts agrees on its own, so the table is
  // filled part by part without formatting 86,400 texts.
  second_bits_.assign(24 * 3600, 0);
  const std::string_view needle = split_ ? right : filter;
  const uint8_t bit = split_ ? kTimeStarts : kInTime;
  const size_t last = split_ ? 0 : kTimeTextSize - std::min(needle.size(), kTimeTextSize);
  if (needle.size() > kTimeTextSize) return;
  for (size_t i = 0; i <= last; ++i) {
    bool separators = true;
    for (size_t colon : {size_t{2}, size_t{5}}) {
      if (colon >= i && colon - i < needle.size() && needle[colon - i] != ':') separators = false;
    }
    if (!separators) continue;
    std::array<bool, 24> hour_ok{};
    std::array<bool, 60> minute_ok{};
    std::array<bool, 60> second_ok{};
    for (int v = 0; v < 60; ++v) {
      if (v < 24) hour_ok[v] = PartAgrees(needle, i, 0, v);
      minute_ok[v] = PartAgrees(needle, i, 3, v);
      second_ok[v] = PartAgrees(needle, i, 6, v);
    }
    for (int hour = 0; hour < 24; ++hour) {
      if (!hour_ok[hour]) continue;
      for (int minute = 0; minute < 60; ++minute) {
        if (!minute_ok[minute]) continue;
        uint8_t* row = &second_bits_[static_cast<size_t>(hour) * 3600 + static_cast<size_t>(minute) * 60];
        for (int second = 0; second < 60; ++second) {
          if (second_ok[second]) row[second] |= bit;
        }
      }
    }
  }
}

}  // namespace korvel
