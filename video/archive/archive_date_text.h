// The date texts of an archive event, formatted without the locale or the
// heap, since the list builds them for every event a filter has to test.
//   short text: "dd.mm hh:nn:ss"        ("07.03 14:05:09")
//   long text:  "dd.mm.yyyy hh:nn:ss"   ("07.03.2024 14:05:09"), the time left
//               out at exactly midnight ("07.03.2024"), as the system's
//               default date-and-time text.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvel {

inline constexpr size_t kArchiveLongDateTextMax = 19;

struct ArchiveEventTime {
  int year = 0;  // from the period header
  int month = 0, day = 0, hour = 0, minute = 0, second = 0;  // from the time prefix
};

// True for a real date and time of day: year 1..9999, month 1..12, a day
// the month has, hour 0..23, minute and second 0..59.
inline bool IsValidArchiveEventTime(const ArchiveEventTime& t) {
  constexpr int kDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > kDays[t.month] || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
      t.second < 0 || t.second > 59) {
    return false;
  }
  // 29 February only in leap years.
  return !(t.month == 2 && t.day == 29) ||
         ((t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0);
}

class ArchiveDateTexts {
 public:
  std::string_view short_text() const { return {short_, 14}; }
  std::string_view long_text() const { return {long_, long_size_}; }

 private:
  friend void FormatArchiveDateTexts(const ArchiveEventTime& t, ArchiveDateTexts* out);
  char short_[14];
  char long_[kArchiveLongDateTextMax];
  size_t long_size_ = 0;
};

// REQUIRES: IsValidArchiveEventTime(t).
void FormatArchiveDateTexts(const ArchiveEventTime& t, ArchiveDateTexts* out);

}  // namespace korvel
