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
bool IsValidArchiveEventTime(const ArchiveEventTime& t);

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
