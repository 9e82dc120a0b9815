#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace korvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

CalendarFields Fields(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  CalendarFields f;
  f.year = y;
  f.month = mo;
  f.day = d;
  f.hour = h;
  f.minute = mi;
  f.second = s;
  f.millisecond = ms;
  return f;
}

void ExpectFields(const CalendarFields& a, const CalendarFields& b) {
  EXPECT_EQ(a.year, b.year);
  EXPECT_EQ(a.month, b.month);
  EXPECT_EQ(a.day, b.day);
  EXPECT_EQ(a.hour, b.hour);
  EXPECT_EQ(a.minute, b.minute);
  EXPECT_EQ(a.second, b.second);
  EXPECT_EQ(a.millisecond, b.millisecond);
}

TEST(DateTime, KnownDays) {
  struct Case {
    CalendarFields f;
    double dt;
  } cases[] = {
      {Fields(1899, 12, 30), 0.0},
      {Fields(1899, 12, 31), 1.0},
      {Fields(1900, 1, 1), 2.0},
      {Fields(1900, 3, 1), 61.0},  // 1900 is not a leap year
      {Fields(2000, 1, 1), kDays1899To2000},
      {Fields(2000, 1, 1, 12), 36526.5},
      {Fields(1899, 12, 29, 6), -1.25},  // before the epoch the fraction counts back
      {Fields(1899, 12, 30, 6), 0.25},
      {Fields(1, 1, 1), -693593.0},
      {Fields(9999, 12, 31), 2958465.0},
  };
  for (const Case& c : cases) {
    DateTime dt = -7;
    ASSERT_TRUE(EncodeDateTime(c.f, &dt)) << c.dt;
    EXPECT_DOUBLE_EQ(dt, c.dt);
    CalendarFields back;
    ASSERT_TRUE(DecodeDateTime(c.dt, &back));
    ExpectFields(back, c.f);
  }
}

TEST(DateTime, NegativeFractionIsStillTimeOfDay) {
  // -0.25 and 0.25 are both 30 December 1899 06:00, as the date type works.
  CalendarFields f;
  ASSERT_TRUE(DecodeDateTime(-0.25, &f));
  ExpectFields(f, Fields(1899, 12, 30, 6));
  EXPECT_DOUBLE_EQ(DatePart(-1.25), -1.0);
  EXPECT_DOUBLE_EQ(TimePart(-1.25), 0.25);
  EXPECT_DOUBLE_EQ(CombineDateTime(-1.0, 0.25), -1.25);
  EXPECT_DOUBLE_EQ(CombineDateTime(36526.9, 0.5), 36526.5);
  EXPECT_DOUBLE_EQ(DatePart(kNaN), 0.0);
  EXPECT_DOUBLE_EQ(TimePart(kInf), 0.0);
}

TEST(DateTime, RoundTripOverTheWholeRange) {
  // Day numbers from 1 January 0001 to 31 December 9999 with varying times.
  int checked = 0;
  for (int64_t day = -693593; day <= 2958465; day += 997) {
    const int64_t ms = (day * 7919 % kMsPerDay + kMsPerDay) % kMsPerDay;
    CalendarFields f;
    const double dt = day < 0 ? day - ms / 86400000.0 : day + ms / 86400000.0;
    ASSERT_TRUE(DecodeDateTime(dt, &f)) << day;
    DateTime again = 0;
    ASSERT_TRUE(EncodeDateTime(f, &again)) << day;
    int32_t d2 = 0, ms2 = 0;
    ASSERT_TRUE(SplitDateTime(again, &d2, &ms2));
    EXPECT_EQ(d2, day);
    EXPECT_EQ(ms2, ms);
    ++checked;
  }
  EXPECT_GT(checked, 3600);
}

TEST(DateTime, InvalidFieldsAreRefused) {
  const CalendarFields bad[] = {
      Fields(1900, 2, 29), Fields(2023, 2, 29), Fields(2000, 4, 31), Fields(2000, 13, 1),
      Fields(2000, 0, 1),  Fields(2000, 1, 0),  Fields(0, 1, 1),     Fields(10000, 1, 1),
      Fields(2000, 1, 1, 24), Fields(2000, 1, 1, 0, 60), Fields(2000, 1, 1, 0, 0, 60),
      Fields(2000, 1, 1, 0, 0, 0, 1000), Fields(2000, 1, 1, -1),
  };
  for (const CalendarFields& f : bad) {
    DateTime dt = 123.0;
    EXPECT_FALSE(EncodeDateTime(f, &dt)) << f.year << "-" << f.month << "-" << f.day;
    EXPECT_EQ(dt, 123.0);
  }
  DateTime dt = 0;
  EXPECT_TRUE(EncodeDateTime(Fields(2000, 2, 29), &dt));
  EXPECT_TRUE(EncodeDateTime(Fields(2024, 2, 29), &dt));
}

TEST(DateTime, UndecodableValuesRenderEmpty) {
  for (double v : {kNaN, kInf, -kInf, 1e10, -1e10, 2958466.0, -693594.5, 1e300}) {
    CalendarFields f;
    EXPECT_FALSE(DecodeDateTime(v, &f)) << v;
    EXPECT_EQ(FormatShortDate(v), "") << v;
    EXPECT_EQ(FormatLongTime(v), "") << v;
    EXPECT_EQ(FormatDateTimeDefault(v), "") << v;
  }
}

TEST(DateTime, Renderings) {
  DateTime dt = 0;
  ASSERT_TRUE(EncodeDateTime(Fields(2024, 3, 7, 9, 5, 1), &dt));
  EXPECT_EQ(FormatShortDate(dt), "07.03.2024");
  EXPECT_EQ(FormatLongTime(dt), "09:05:01");
  EXPECT_EQ(FormatDateTimeDefault(dt), "07.03.2024 09:05:01");
  // Exact midnight leaves the time out; a millisecond later it is shown.
  EXPECT_EQ(FormatDateTimeDefault(36526.0), "01.01.2000");
  EXPECT_EQ(FormatDateTimeDefault(36526.0 + 1.0 / kMsPerDay), "01.01.2000 00:00:00");
  EXPECT_EQ(FormatDateTimeDefault(0.0), "30.12.1899");
  EXPECT_EQ(FormatDateTimeDefault(-1.25), "29.12.1899 06:00:00");
  EXPECT_EQ(FormatShortDate(-693593.0), "01.01.0001");
  // Rounding to the millisecond carries into the next day.
  EXPECT_EQ(FormatDateTimeDefault(36526.0 - 0.1 / kMsPerDay), "01.01.2000");
  EXPECT_EQ(FormatHms(1, 2, 3), "01:02:03");
  EXPECT_EQ(FormatHms(0, 0, 0), "00:00:00");
  EXPECT_EQ(FormatHms(123, 59, 7), "123:59:07");
}

TEST(DateTime, Seconds2000) {
  EXPECT_DOUBLE_EQ(DateTimeFromSeconds2000(0), kDays1899To2000);
  EXPECT_DOUBLE_EQ(DateTimeFromSeconds2000(86400), kDays1899To2000 + 1);
  EXPECT_EQ(FormatDateTimeDefault(DateTimeFromSeconds2000(86400)), "02.01.2000");
  EXPECT_EQ(FormatDateTimeDefault(DateTimeFromSeconds2000(3661)), "01.01.2000 01:01:01");
  // The largest count: s * 1000 needs 64 bits.
  EXPECT_EQ(FormatDateTimeDefault(DateTimeFromSeconds2000(UINT32_MAX)), "07.02.2136 06:28:15");
  for (uint64_t s = 0; s <= UINT32_MAX; s += 104729 * 37) {
    const auto secs = static_cast<uint32_t>(s);
    ASSERT_EQ(Seconds2000FromDateTime(DateTimeFromSeconds2000(secs)), secs);
  }
  EXPECT_EQ(Seconds2000FromDateTime(UINT32_MAX / 86400.0 + 36526.0 + 10), UINT32_MAX);
  EXPECT_EQ(Seconds2000FromDateTime(36525.5), 0u);  // before 2000
  EXPECT_EQ(Seconds2000FromDateTime(-5.0), 0u);
  EXPECT_EQ(Seconds2000FromDateTime(kNaN), 0u);
  EXPECT_EQ(Seconds2000FromDateTime(kInf), UINT32_MAX);
  EXPECT_EQ(Seconds2000FromDateTime(-kInf), 0u);
  EXPECT_EQ(Seconds2000FromDateTime(1e300), UINT32_MAX);
}

TEST(DateTime, SaturatingTruncations) {
  struct Case {
    double v;
    int32_t i32;
    int64_t i64;
  } cases[] = {
      {kNaN, 0, 0},
      {2.9, 2, 2},
      {-2.9, -2, -2},
      {1e10, INT32_MAX, 10000000000LL},
      {-1e10, INT32_MIN, -10000000000LL},
      {kInf, INT32_MAX, INT64_MAX},
      {-kInf, INT32_MIN, INT64_MIN},
      {1e19, INT32_MAX, INT64_MAX},
      {-1e19, INT32_MIN, INT64_MIN},
      {2147483647.5, INT32_MAX, 2147483647LL},
      {-2147483648.5, INT32_MIN, -2147483648LL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TruncToI32(c.v), c.i32) << c.v;
    EXPECT_EQ(TruncToI64(c.v), c.i64) << c.v;
  }
}

TEST(DateTime, ParseDefaultRendering) {
  for (double dt : {36526.0, 45358.37848379630, -1.25, 0.0, 2958465.5}) {
    DateTime back = -1;
    const std::string text = FormatDateTimeDefault(dt);
    ASSERT_TRUE(ParseDateTimeDefault(text, &back)) << text;
    EXPECT_EQ(FormatDateTimeDefault(back), text);
  }
  DateTime dt = 0;
  ASSERT_TRUE(ParseDateTimeDefault(" 1.2.2003 4:05 ", &dt));
  EXPECT_EQ(FormatDateTimeDefault(dt), "01.02.2003 04:05:00");
  ASSERT_TRUE(ParseDateTimeDefault("12:30", &dt));
  EXPECT_DOUBLE_EQ(dt, 0.5 + 30.0 / 1440);
  for (const char* bad : {"", "abc", "32.01.2000", "29.02.2001", "01.01.2000 24:00",
                          "01.01.2000 12", "01.01.00", "01.01.2000x", "1.1.2000 1:2:3:4",
                          "123.01.2000"}) {
    DateTime keep = 5.0;
    EXPECT_FALSE(ParseDateTimeDefault(bad, &keep)) << bad;
    EXPECT_EQ(keep, 5.0);
  }
}

TEST(DateTime, ParseTimeOfDay) {
  DateTime t = 0;
  ASSERT_TRUE(ParseTimeOfDay("12:30", &t));
  EXPECT_DOUBLE_EQ(t, 0.5 + 30.0 / 1440);
  ASSERT_TRUE(ParseTimeOfDay("06:00:30", &t));
  EXPECT_DOUBLE_EQ(t, 0.25 + 30.0 / 86400);
  ASSERT_TRUE(ParseTimeOfDay("0:00:00.5", &t));
  EXPECT_DOUBLE_EQ(t, 500.0 / kMsPerDay);
  for (const char* bad : {"", "12", "25:00", "12:60", "12:00:60", "01.01.2000", "1:2:3x"})
    EXPECT_FALSE(ParseTimeOfDay(bad, &t)) << bad;
}

TEST(DateTime, NowDecodes) {
  CalendarFields f;
  ASSERT_TRUE(DecodeDateTime(NowDateTime(), &f));
  EXPECT_GE(f.year, 2020);
}

}  // namespace
}  // namespace korvel
