#include "video/archive/archive_year_step.h"

namespace korvel {
namespace {

// The date one year from `date` (delta -1 or +1) on day 1 of its month,
// the time of day kept.
bool StepYear(DateTime date, int delta, DateTime* out) {
  CalendarFields f;
  if (!DecodeDateTime(date, &f)) return false;
  f.year += delta;
  f.day = 1;
  return EncodeDateTime(f, out);
}

}  // namespace

int YearOf(DateTime dt) {
  CalendarFields f;
  return DecodeDateTime(dt, &f) ? f.year : 0;
}

bool ArchiveYearBack(DateTime archive_date, DateTime* out) {
  return StepYear(archive_date, -1, out);
}

bool ArchiveYearForward(DateTime archive_date, DateTime now, DateTime* out) {
  const int year = YearOf(archive_date);
  if (year == 0 || year >= YearOf(now)) return false;
  return StepYear(archive_date, +1, out);
}

}  // namespace korvel
