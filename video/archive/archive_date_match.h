// Whether a filter text occurs in an event's date texts, answered from
// tables instead of formatting and searching both texts for every event.
//
// The texts are T1 = D1 + " " + Tm and T2 = D2 + " " + Tm (T2 = D2 alone at
// exactly midnight), with D1 = "dd.mm", D2 = "dd.mm.yyyy" (one year per
// archive) and Tm = "hh:nn:ss". Each holds at most one space, so a filter:
//   without a space occurs in T1 or T2 exactly when it occurs in D1, D2 or
//     Tm (it cannot straddle the space);
//   with one space, splitting it into L " " R, occurs exactly when D1 (or
//     D2, outside midnight) ends with L and Tm starts with R;
//   with two spaces, or any byte the texts never hold (anything but digits,
//     '.', ':' and ' '), never occurs.
// The tables are one byte per day of the year (13 x 32) and one per second
// of the day (86,400), filled with FindTextNoCase when the matcher is made.
// Not thread-safe; one matcher per rebuild.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "video/archive/archive_date_text.h"

namespace korvel {

class ArchiveDateMatcher {
 public:
  // `year` is the archive's year (from its period header).
  ArchiveDateMatcher(std::string_view filter, int year);

  // False when the filter can never occur in a date text.
  bool possible() const { return possible_; }

  // REQUIRES: possible() and IsValidArchiveEventTime(t) for the same year.
  bool Matches(const ArchiveEventTime& t) const {
    const uint8_t d = day_bits_[static_cast<size_t>(t.month) * 32 + static_cast<size_t>(t.day)];
    const uint8_t s =
        second_bits_[static_cast<size_t>(t.hour) * 3600 + static_cast<size_t>(t.minute) * 60 +
                     static_cast<size_t>(t.second)];
    if (!split_) return (d & kInDate) != 0 || (s & kInTime) != 0;
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0;
    return (s & kTimeStarts) != 0 &&
           ((d & kShortEnds) != 0 || (!midnight && (d & kLongEnds) != 0));
  }

 private:
  static constexpr uint8_t kInDate = 1;      // in D1 or D2
  static constexpr uint8_t kShortEnds = 2;   // D1 ends with L
  static constexpr uint8_t kLongEnds = 4;    // D2 ends with L
  static constexpr uint8_t kInTime = 1;      // in Tm
  static constexpr uint8_t kTimeStarts = 2;  // Tm starts with R

  bool possible_ = false;
  bool split_ = false;  // the filter holds one space
  std::array<uint8_t, 13 * 32> day_bits_{};
  std::vector<uint8_t> second_bits_;
};

}  // namespace korvel
