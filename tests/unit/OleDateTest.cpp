#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "hostsdk/OleDate.h"

namespace zentrak::hostsdk {
namespace {

constexpr double kSecond = 1.0 / 86400.0;

TEST(DateSpan, WholeDaysRoundByHalfASecondAwayFromZeroThenTruncate) {
  const struct {
    double days;
    std::int32_t whole;
  } cases[] = {
      {0.99999999, 1}, {0.9999, 0}, {-1.2, -1}, {-0.99999999, -1},        {0.0, 0},
      {2.5, 2},        {7.0, 7},    {-7.0, -7}, {1.0 - 0.4 * kSecond, 1}, {1.0 - 0.6 * kSecond, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WholeDays(MakeSpan(c.days)), c.whole) << c.days;
  }
}

TEST(DateSpan, SpansBeyondTheLimitsAreInvalidAndStillCountSafely) {
  EXPECT_TRUE(MakeSpan(3615897.0).valid());
  EXPECT_TRUE(MakeSpan(-3615897.0).valid());
  EXPECT_FALSE(MakeSpan(3615897.5).valid());
  EXPECT_FALSE(MakeSpan(-3615898.0).valid());
  EXPECT_EQ(WholeDays(MakeSpan(1e300)), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(WholeDays(MakeSpan(-1e300)), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(WholeDays(MakeSpan(std::nan(""))), 0);
  EXPECT_DOUBLE_EQ(SpanFromParts(1, 12, 30, 30).days, 1.0 + 0.5 + 30.0 / 1440 + 30.0 / 86400);
}

TEST(OleDateLinear, DatesBeforeTheEpochRunStraightAcrossZero) {
  // 29 December 1899 23:59:59: day -1, fraction counting forward.
  const double second_before = -1.0 - (1.0 - kSecond);
  EXPECT_NEAR(LinearValue(second_before), -kSecond, 1e-12);
  EXPECT_DOUBLE_EQ(LinearValue(-1.25), -0.75);  // 29 December 06:00
  EXPECT_DOUBLE_EQ(LinearValue(2.25), 2.25);
  for (const double date : {-1.25, -2.75, -400.5, 0.0, 3.5, second_before}) {
    EXPECT_NEAR(FromLinearValue(LinearValue(date)), date, 1e-9) << date;
  }
}

TEST(OleDateCompare, LaterThanUsesLinearValuesAndStatus) {
  const OleDate midnight = OleDate::FromDouble(0.0);
  const OleDate second_before = OleDate::FromDouble(-1.0 - (1.0 - kSecond));
  EXPECT_TRUE(IsLater(midnight, second_before));
  EXPECT_FALSE(IsLater(second_before, midnight));
  // Without linear values -1.99 would look earlier than -1.25 although it is later.
  EXPECT_TRUE(IsLater(OleDate::FromDouble(-1.99), OleDate::FromDouble(-1.25)));
  EXPECT_FALSE(IsLater(midnight, midnight));
  EXPECT_FALSE(IsLater(OleDate{5.0, DateStatus::kInvalid}, midnight));
  EXPECT_FALSE(IsLater(OleDate::FromDouble(5.0), OleDate{1.0, DateStatus::kNull}));
}

TEST(OleDateArithmetic, DifferenceAndSubtractionAcrossTheEpoch) {
  const OleDate day_after = OleDate::FromDouble(1.5);    // 31 Dec 1899 12:00
  const OleDate day_before = OleDate::FromDouble(-1.5);  // 29 Dec 1899 12:00
  EXPECT_DOUBLE_EQ(Subtract(day_after, day_before).days, 2.0);
  const OleDate back = Subtract(day_after, MakeSpan(2.0));
  EXPECT_TRUE(back.valid());
  EXPECT_DOUBLE_EQ(back.value, -1.5);
  EXPECT_DOUBLE_EQ(Subtract(OleDate::FromDouble(45000.25), MakeSpan(7)).value, 44993.25);
}

TEST(OleDateParts, SplitAndJoinAgreeOnKnownDates) {
  const struct {
    double date;
    DateParts parts;
  } cases[] = {
      {0.0, {1899, 12, 30, 0, 0, 0, 6, 364}},
      {2.0, {1900, 1, 1, 0, 0, 0, 1, 1}},
      {-1.25, {1899, 12, 29, 6, 0, 0, 5, 363}},
      {43185.5, {2018, 3, 26, 12, 0, 0, 1, 85}},
      {36585.0, {2000, 2, 29, 0, 0, 0, 2, 60}},
      {-657434.0, {100, 1, 1, 0, 0, 0, 5, 1}},
      {2958465.0 + 86399.0 / 86400, {9999, 12, 31, 23, 59, 59, 5, 365}},
  };
  for (const auto& c : cases) {
    const auto parts = SplitDate(c.date);
    ASSERT_TRUE(parts) << c.date;
    EXPECT_EQ(parts->year, c.parts.year) << c.date;
    EXPECT_EQ(parts->month, c.parts.month) << c.date;
    EXPECT_EQ(parts->day, c.parts.day) << c.date;
    EXPECT_EQ(parts->hour, c.parts.hour) << c.date;
    EXPECT_EQ(parts->minute, c.parts.minute) << c.date;
    EXPECT_EQ(parts->second, c.parts.second) << c.date;
    EXPECT_EQ(parts->day_of_week, c.parts.day_of_week) << c.date;
    EXPECT_EQ(parts->day_of_year, c.parts.day_of_year) << c.date;
    const auto joined = JoinDate(c.parts.year, c.parts.month, c.parts.day, c.parts.hour,
                                 c.parts.minute, c.parts.second);
    ASSERT_TRUE(joined);
    EXPECT_NEAR(*joined, c.date, 1e-9);
  }
}

TEST(OleDateParts, TimesRoundToTheNearestSecondAndCarryIntoTheNextDay) {
  const auto up = SplitDate(1.0 + 59.6 * kSecond);
  ASSERT_TRUE(up);
  EXPECT_EQ(up->minute, 1);
  EXPECT_EQ(up->second, 0);
  const auto next_day = SplitDate(1.0 + (86400 - 0.2) * kSecond);
  ASSERT_TRUE(next_day);
  EXPECT_EQ(next_day->day, 1);
  EXPECT_EQ(next_day->month, 1);
  EXPECT_EQ(next_day->hour, 0);
}

TEST(OleDateParts, DatesOutsideTheYears100To9999CannotBeSplit) {
  for (const double date : {-657435.0, 2958466.0, 1e300, -1e300, std::nan(""),
                            std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(SplitDate(date)) << date;
    EXPECT_EQ(DayOf(OleDate::FromDouble(date)), -1);
  }
  EXPECT_FALSE(JoinDate(2019, 2, 29, 0, 0, 0));
  EXPECT_FALSE(JoinDate(99, 12, 31, 0, 0, 0));
}

TEST(OleDateParts, DayMonthAndYearAreMinusOneForDatesThatAreNotValid) {
  const OleDate date = OleDate::FromDouble(43185.5);
  EXPECT_EQ(DayOf(date), 26);
  EXPECT_EQ(MonthOf(date), 3);
  EXPECT_EQ(YearOf(date), 2018);
  for (const OleDate other : {OleDate::Invalid(), OleDate::Null()}) {
    EXPECT_EQ(DayOf(other), -1);
    EXPECT_EQ(MonthOf(other), -1);
    EXPECT_EQ(YearOf(other), -1);
  }
}

TEST(OleDateFormat, ValidInvalidAndNullDates) {
  EXPECT_EQ(FormatDate(OleDate::FromDouble(43185.5 + 5.0 / 1440 + 7 * kSecond)),
            L"2018-03-26T12:05:07");
  EXPECT_EQ(FormatDate(OleDate::FromDouble(-1.25)), L"1899-12-29T06:00:00");
  EXPECT_EQ(FormatDate(OleDate::Invalid()), L"Invalid DateTime");
  EXPECT_EQ(FormatDate(OleDate::FromDouble(1e300)), L"Invalid DateTime");
  EXPECT_EQ(FormatDate(OleDate::Null()), L"");
  EXPECT_EQ(FormatDate(OleDate::FromDouble(43185.5), L"%d/%m/%Y %j %w"), L"26/03/2018 085 1");
}

}  // namespace
}  // namespace zentrak::hostsdk
