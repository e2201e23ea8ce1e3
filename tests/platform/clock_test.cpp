#include "platform/clock.h"

#include <gtest/gtest.h>

namespace cs {
namespace {

TEST(DateTest, ShortFormatRoundTripsAndRejectsNonDates) {
  const Date d{2003, 1, 10};
  EXPECT_EQ(d.ToShortString(), "10/01/2003");
  EXPECT_EQ(Date::ParseShort("10/01/2003"), d);
  EXPECT_EQ(Date::ParseShort(" 1/2/1999 "), (Date{1999, 2, 1}));
  for (const char* bad : {"", "abc", "31/02/2003", "10/13/2003", "10/01/03", "10-01-2003",
                          "10/01/2003 15:00", "00/01/2003"}) {
    EXPECT_FALSE(Date::ParseShort(bad).has_value()) << bad;
  }
}

TEST(DateTest, DayArithmeticAcrossLeapYears) {
  const Date a{1999, 1, 1}, b{2000, 3, 1};
  EXPECT_EQ(b.DaysSinceEpoch() - a.DaysSinceEpoch(), 365 + 31 + 29);
  EXPECT_EQ(Date::FromDaysSinceEpoch(Date{2024, 2, 29}.DaysSinceEpoch()), (Date{2024, 2, 29}));
}

TEST(VirtualClockTest, WallClockRunsWithMonotonicTime) {
  VirtualClock c(Date{2026, 12, 31}, 0.75);  // 18:00
  c.AdvanceBy(6 * 3600 * 1000);              // midnight
  EXPECT_EQ(c.Today(), (Date{2027, 1, 1}));
  EXPECT_DOUBLE_EQ(c.TimeOfDay(), 0.0);
  c.AdvanceBy(172);  // 0.000002 day is 172.8 ms
  EXPECT_LT(c.TimeOfDay(), 0.000002);
  c.AdvanceBy(1);
  EXPECT_GT(c.TimeOfDay(), 0.000002);
}

}  // namespace
}  // namespace cs
