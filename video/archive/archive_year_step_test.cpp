#include <gtest/gtest.h>

#include "video/archive/archive_year_step.h"

namespace korvel {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  DateTime dt = 0;
  EXPECT_TRUE(EncodeDateTime(CalendarFields{year, month, day, hour, minute, 0, 0}, &dt));
  return dt;
}

TEST(ArchiveYearStep, BackFromTheLeapDayGoesToTheFirstOfTheMonth) {
  DateTime out = 0;
  ASSERT_TRUE(ArchiveYearBack(At(2024, 2, 29, 14, 30), &out));
  EXPECT_EQ(out, At(2023, 2, 1, 14, 30));
  EXPECT_EQ(YearOf(out), 2023);
  ASSERT_TRUE(ArchiveYearBack(At(2023, 12, 31), &out));
  EXPECT_EQ(out, At(2022, 12, 1));
  EXPECT_FALSE(ArchiveYearBack(At(1, 5, 5), &out));
}

TEST(ArchiveYearStep, ForwardStopsAtTheCurrentYear) {
  const DateTime now = At(2026, 12, 11, 0, 40);
  DateTime out = -7;
  EXPECT_FALSE(ArchiveYearForward(At(2026, 3, 15), now, &out));
  EXPECT_FALSE(ArchiveYearForward(At(2027, 3, 15), now, &out));
  EXPECT_EQ(out, -7);  // untouched
  ASSERT_TRUE(ArchiveYearForward(At(2025, 3, 15, 8, 0), now, &out));
  EXPECT_EQ(out, At(2026, 3, 1, 8, 0));
  ASSERT_TRUE(ArchiveYearForward(At(2024, 2, 29), now, &out));
  EXPECT_EQ(out, At(2025, 2, 1));
}

}  // namespace
}  // namespace korvel
