// Date-times of the system.
//
// DateTime: a double counting days since 30 December 1899 00:00, the fraction
// being the time of day (the wire's and the archive's date type). Negative
// values count back from that day; their fraction is still a time of day
// (-1.25 is 29 December 1899 06:00), as the original date type works.
//
// Seconds2000: a 32-bit unsigned count of seconds since 1 January 2000 00:00
// (table field kind 25).
//
// All conversions are total: NaN or out-of-range values saturate (NaN gives
// 0), and an invalid date renders as an empty text. Calendar fields are local
// time; no time-zone shift is ever applied to a DateTime.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

using DateTime = double;

struct CalendarFields {
  int year = 1899;   // 1..9999
  int month = 12;    // 1..12
  int day = 30;      // 1..31
  int hour = 0;      // 0..23
  int minute = 0;    // 0..59
  int second = 0;    // 0..59
  int millisecond = 0;  // 0..999
};

// Days from 30 December 1899 to 1 January 2000.
inline constexpr double kDays1899To2000 = 36526.0;
inline constexpr int64_t kMsPerDay = 86'400'000;

// Calendar fields to DateTime. Returns false (and leaves *out unchanged) when
// a field is out of range (month 13, 31 April, 29 February of a common year).
bool EncodeDateTime(const CalendarFields& f, DateTime* out);
// DateTime to calendar fields, rounded to the millisecond. Returns false for
// NaN, infinities and values outside years 1..9999.
bool DecodeDateTime(DateTime dt, CalendarFields* out);

// Whole days of a date-time (truncated toward zero) and its time-of-day part.
// TimePart is the time of day as a fraction in [0, 1), also for negative
// date-times (TimePart(-1.25) is 0.25). Non-finite values give 0.
DateTime DatePart(DateTime dt);
DateTime TimePart(DateTime dt);
// The day of `date` (truncated toward zero) at the time of day of `time`,
// the inverse of DatePart/TimePart: for a day before 30 December 1899 the
// time is subtracted, so CombineDateTime(-1, 0.25) is -1.25.
DateTime CombineDateTime(DateTime date, DateTime time);

// Splits a date-time, rounded to the millisecond, into its day number
// (days since 30 December 1899; negative before it) and the milliseconds of
// its time of day (0..86399999). False for NaN, infinities and values outside
// years 1..9999.
bool SplitDateTime(DateTime dt, int32_t* day_number, int32_t* ms_of_day);

// The local wall-clock time now.
DateTime NowDateTime();

// Kind-25 conversions. From seconds: days D = s / 86400 are added to
// 1 January 2000 and the time of day is s*1000 - D*86400000 ms (64-bit).
DateTime DateTimeFromSeconds2000(uint32_t seconds);
// To seconds: (days from 1 January 2000 to the date of dt) * 86400 + the
// time of day in whole seconds; saturates to 0..UINT32_MAX; NaN gives 0.
uint32_t Seconds2000FromDateTime(DateTime dt);

// Saturating float-to-integer truncations (toward zero; NaN gives 0).
int32_t TruncToI32(double v);
int64_t TruncToI64(double v);

// Fixed Russian renderings, whatever the process locale. Each gives an empty
// text for a date-time that does not decode.
std::string FormatShortDate(DateTime dt);   // "dd.MM.yyyy"
std::string FormatLongTime(DateTime dt);    // "HH:mm:ss"
// Short date, a space, long time; the time is left out at exactly midnight.
std::string FormatDateTimeDefault(DateTime dt);
// "%.2u:%.2u:%.2u".
std::string FormatHms(unsigned hours, unsigned minutes, unsigned seconds);

// Parses the default rendering back ("dd.MM.yyyy" or "dd.MM.yyyy HH:mm:ss",
// also "H:mm" and "H:mm:ss" times). Returns false when the text is not one.
bool ParseDateTimeDefault(const std::string& text, DateTime* out);
// Parses a time of day ("HH:mm" or "HH:mm:ss"); the date part is 0.
bool ParseTimeOfDay(const std::string& text, DateTime* out);

}  // namespace korvel
