#include "video/archive/archive_date_match.h"

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
bool StartsWith(std::string_view text, std::string_view head) {
  return head.empty() || (text.size() >= head.size() && Contains(text.substr(0, head.size()), head));
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
  second_bits_.assign(24 * 3600, 0);
  t.month = 1;
  t.day = 1;
  for (int hour = 0; hour < 24; ++hour) {
    for (int minute = 0; minute < 60; ++minute) {
      for (int second = 0; second < 60; ++second) {
        t.hour = hour;
        t.minute = minute;
        t.second = second;
        ArchiveDateTexts texts;
        FormatArchiveDateTexts(t, &texts);
        const std::string_view tm = texts.short_text().substr(6);
        const bool hit = split_ ? StartsWith(tm, right) : Contains(tm, filter);
        second_bits_[static_cast<size_t>(hour) * 3600 + static_cast<size_t>(minute) * 60 +
                     static_cast<size_t>(second)] = hit ? (split_ ? kTimeStarts : kInTime) : 0;
      }
    }
  }
}

}  // namespace korvel
