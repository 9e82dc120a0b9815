#include "platform/date_time.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace korvel {
namespace {

// Day numbers of the first and last representable days, 1 January 0001 and
// 31 December 9999, counted from 30 December 1899.
constexpr int64_t kMinDayNumber = -693593;
constexpr int64_t kMaxDayNumber = 2958465;

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil). Valid for every year of 1..9999.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Inverse of DaysFromCivil.
void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

// 30 December 1899 in days since 1 January 1970.
const int64_t kEpochDays1970 = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// A day number and a time of day as a date-time: before 30 December 1899 the
// fraction counts backwards with the days, as the date type works.
DateTime FromDayAndMs(int64_t day_number, int64_t ms_of_day) {
  const double frac = static_cast<double>(ms_of_day) / static_cast<double>(kMsPerDay);
  const double day = static_cast<double>(day_number);
  return day_number < 0 ? day - frac : day + frac;
}

// Reads 1..max_digits decimal digits at *pos; fails when there are none or more.
bool ScanNumber(const std::string& s, size_t* pos, int max_digits, int* out, int* digits) {
  size_t i = *pos;
  int n = 0;
  int v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && n < max_digits) {
    v = v * 10 + (s[i] - '0');
    ++i;
    ++n;
  }
  if (n == 0 || (i < s.size() && s[i] >= '0' && s[i] <= '9')) return false;
  *pos = i;
  *out = v;
  if (digits) *digits = n;
  return true;
}

bool ScanChar(const std::string& s, size_t* pos, char c) {
  if (*pos < s.size() && s[*pos] == c) {
    ++*pos;
    return true;
  }
  return false;
}

void SkipBlanks(const std::string& s, size_t* pos) {
  while (*pos < s.size() && (s[*pos] == ' ' || s[*pos] == '\t')) ++*pos;
}

// "H:mm", "H:mm:ss" or "H:mm:ss.zzz" at *pos; the time of day in ms.
bool ScanTime(const std::string& s, size_t* pos, int64_t* ms_of_day) {
  size_t i = *pos;
  int h = 0, m = 0, sec = 0, ms = 0, ms_digits = 0;
  if (!ScanNumber(s, &i, 2, &h, nullptr) || !ScanChar(s, &i, ':') ||
      !ScanNumber(s, &i, 2, &m, nullptr))
    return false;
  if (ScanChar(s, &i, ':')) {
    if (!ScanNumber(s, &i, 2, &sec, nullptr)) return false;
    if (ScanChar(s, &i, '.')) {
      if (!ScanNumber(s, &i, 3, &ms, &ms_digits)) return false;
      for (int k = ms_digits; k < 3; ++k) ms *= 10;  // ".5" is 500 ms
    }
  }
  if (h > 23 || m > 59 || sec > 59) return false;
  *pos = i;
  *ms_of_day = ((h * 60LL + m) * 60 + sec) * 1000 + ms;
  return true;
}

// "dd.MM.yyyy" and "HH:mm:ss" of decoded fields.
std::string ShortDateText(const CalendarFields& f) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", f.day, f.month, f.year);
  return buf;
}

std::string LongTimeText(const CalendarFields& f) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", f.hour, f.minute, f.second);
  return buf;
}

}  // namespace

bool SplitDateTime(DateTime dt, int32_t* day_number, int32_t* ms_of_day) {
  if (!std::isfinite(dt)) return false;
  // Rejecting far-out values first keeps the product below in range.
  if (dt < static_cast<double>(kMinDayNumber) - 1.0 ||
      dt > static_cast<double>(kMaxDayNumber) + 1.0)
    return false;
  const int64_t total_ms = std::llround(dt * static_cast<double>(kMsPerDay));
  const int64_t day = total_ms / kMsPerDay;  // toward zero: the fraction stays a time of day
  const int64_t ms = (total_ms < 0 ? -total_ms : total_ms) % kMsPerDay;
  if (day < kMinDayNumber || day > kMaxDayNumber) return false;
  *day_number = static_cast<int32_t>(day);
  *ms_of_day = static_cast<int32_t>(ms);
  return true;
}

bool EncodeDateTime(const CalendarFields& f, DateTime* out) {
  if (f.year < 1 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1 ||
      f.day > DaysInMonth(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
      f.minute > 59 || f.second < 0 || f.second > 59 || f.millisecond < 0 ||
      f.millisecond > 999)
    return false;
  const int64_t day = DaysFromCivil(f.year, f.month, f.day) - kEpochDays1970;
  const int64_t ms = ((f.hour * 60LL + f.minute) * 60 + f.second) * 1000 + f.millisecond;
  *out = FromDayAndMs(day, ms);
  return true;
}

bool DecodeDateTime(DateTime dt, CalendarFields* out) {
  int32_t day = 0, ms = 0;
  if (!SplitDateTime(dt, &day, &ms)) return false;
  CalendarFields f;
  CivilFromDays(day + kEpochDays1970, &f.year, &f.month, &f.day);
  f.millisecond = ms % 1000;
  f.second = ms / 1000 % 60;
  f.minute = ms / 60000 % 60;
  f.hour = ms / 3600000;
  *out = f;
  return true;
}

DateTime DatePart(DateTime dt) { return std::isfinite(dt) ? std::trunc(dt) : 0.0; }

DateTime TimePart(DateTime dt) {
  if (!std::isfinite(dt)) return 0.0;
  return std::fabs(dt - std::trunc(dt));
}

DateTime CombineDateTime(DateTime date, DateTime time) {
  const double day = DatePart(date);
  const double frac = TimePart(time);
  return day < 0 ? day - frac : day + frac;
}

DateTime NowDateTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const time_t secs = ts.tv_sec;
  tm local{};
  if (localtime_r(&secs, &local) == nullptr) return 0.0;
  CalendarFields f;
  f.year = local.tm_year + 1900;
  f.month = local.tm_mon + 1;
  f.day = local.tm_mday;
  f.hour = local.tm_hour;
  f.minute = local.tm_min;
  f.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second stays in its minute
  f.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  DateTime dt = 0.0;
  EncodeDateTime(f, &dt);
  return dt;
}

DateTime DateTimeFromSeconds2000(uint32_t seconds) {
  const int64_t s = seconds;
  const int64_t days = s / 86400;
  const int64_t ms = s * 1000 - days * kMsPerDay;
  return FromDayAndMs(static_cast<int64_t>(kDays1899To2000) + days, ms);
}

uint32_t Seconds2000FromDateTime(DateTime dt) {
  if (std::isnan(dt)) return 0;
  int32_t day = 0, ms = 0;
  if (!SplitDateTime(dt, &day, &ms)) return dt > 0 ? std::numeric_limits<uint32_t>::max() : 0;
  const int64_t secs =
      (static_cast<int64_t>(day) - static_cast<int64_t>(kDays1899To2000)) * 86400 + ms / 1000;
  if (secs < 0) return 0;
  if (secs > static_cast<int64_t>(std::numeric_limits<uint32_t>::max()))
    return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(secs);
}

int32_t TruncToI32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int64_t TruncToI64(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 0x1p63) return std::numeric_limits<int64_t>::max();
  if (v <= -0x1p63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

std::string FormatShortDate(DateTime dt) {
  CalendarFields f;
  return DecodeDateTime(dt, &f) ? ShortDateText(f) : std::string();
}

std::string FormatLongTime(DateTime dt) {
  CalendarFields f;
  return DecodeDateTime(dt, &f) ? LongTimeText(f) : std::string();
}

std::string FormatDateTimeDefault(DateTime dt) {
  CalendarFields f;
  if (!DecodeDateTime(dt, &f)) return {};
  std::string text = ShortDateText(f);
  if (f.hour != 0 || f.minute != 0 || f.second != 0 || f.millisecond != 0) {
    text += ' ';
    text += LongTimeText(f);
  }
  return text;
}

std::string FormatHms(unsigned hours, unsigned minutes, unsigned seconds) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2u:%.2u:%.2u", hours, minutes, seconds);
  return buf;
}

bool ParseDateTimeDefault(const std::string& text, DateTime* out) {
  size_t pos = 0;
  SkipBlanks(text, &pos);
  int64_t day = 0;
  int64_t ms = 0;
  size_t date_end = pos;
  int d = 0, m = 0, y = 0, year_digits = 0;
  const bool has_date = ScanNumber(text, &date_end, 2, &d, nullptr) &&
                        ScanChar(text, &date_end, '.') &&
                        ScanNumber(text, &date_end, 2, &m, nullptr) &&
                        ScanChar(text, &date_end, '.') &&
                        ScanNumber(text, &date_end, 4, &y, &year_digits) && year_digits == 4;
  if (has_date) {
    CalendarFields f;
    f.year = y;
    f.month = m;
    f.day = d;
    DateTime date = 0;
    if (!EncodeDateTime(f, &date)) return false;
    day = static_cast<int64_t>(date);
    pos = date_end;
    SkipBlanks(text, &pos);
    if (pos < text.size() && !ScanTime(text, &pos, &ms)) return false;
  } else if (!ScanTime(text, &pos, &ms)) {
    return false;
  }
  SkipBlanks(text, &pos);
  if (pos != text.size()) return false;
  *out = FromDayAndMs(day, ms);
  return true;
}

bool ParseTimeOfDay(const std::string& text, DateTime* out) {
  size_t pos = 0;
  SkipBlanks(text, &pos);
  int64_t ms = 0;
  if (!ScanTime(text, &pos, &ms)) return false;
  SkipBlanks(text, &pos);
  if (pos != text.size()) return false;
  *out = FromDayAndMs(0, ms);
  return true;
}

}  // namespace korvel
