// Year stepping of the archive view (the two glow buttons beside the year
// label). Each step moves the archive date by one year and sets its day to
// 1, so that every step lands on a valid date (29 February has no
// counterpart in the neighbouring years); month and time of day stay.
// Pure functions; any thread.
#pragma once

#include "platform/date_time.h"

namespace korvel {

// One year back ("События - день назад"): 29 February 2024 14:00 gives
// 1 February 2023 14:00. False (nothing changes) at year 1 or for a date
// that does not decode.
bool ArchiveYearBack(DateTime archive_date, DateTime* out);

// One year forward ("События - день вперед"), only while the archive year
// is below the year of `now`; false (the button does nothing) at or after
// the current year.
bool ArchiveYearForward(DateTime archive_date, DateTime now, DateTime* out);

// The year of a date-time, 0 when it does not decode.
int YearOf(DateTime dt);

}  // namespace korvel
