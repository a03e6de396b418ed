#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "run/StateTime.h"

namespace zentrak::run {
namespace {

constexpr FileTimeTicks kHour = kTicksPerDay / 24;
constexpr FileTimeTicks k20180326T073620 = 131665233800000000ULL;

struct ParseCase {
  std::wstring text;
  std::optional<FileTimeTicks> ticks;
};

TEST(StateTime, ParsingIsAPlainFieldSplitIntoAValidCalendarTime) {
  const ParseCase cases[] = {
      {L"2018-03-26T07:36:20", k20180326T073620},
      {L"2018-3-26T7:36:20", k20180326T073620},        // fields need no padding
      {L" 2018-03-26T07:36:20xyz", k20180326T073620},  // leading digits of each field
      {L"2000-02-29T00:00:00", 125962560000000000ULL},
      {L"2018-03-26 07:36:20", std::nullopt},  // no "T"
      {L"2018-03-26T07-36-20", std::nullopt},  // no ":"
      {L"", std::nullopt},
      {L"2018-13-40T07:36:20", std::nullopt},  // not a calendar time
      {L"2019-02-29T00:00:00", std::nullopt},
      {L"2018-03-26T24:00:00", std::nullopt},
      {L"1600-12-31T23:59:59", std::nullopt},
      {L"67137-01-01T00:00:00", std::nullopt},  // would wrap around in a 16-bit field
      {L"99999999999999999999-01-01T00:00:00", std::nullopt},
      {L"abcd-ef-ghTij:kl:mn", std::nullopt},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(ParseStateTime(c.text), c.ticks) << ::testing::PrintToString(c.text);
  }
}

TEST(StateTime, FormattingPadsTheYearWithSpacesAndTheRestWithZeros) {
  EXPECT_EQ(FormatStateTime(CivilTime{2018, 3, 26, 7, 36, 20, 0}), L"2018-03-26T07:36:20");
  EXPECT_EQ(FormatStateTime(CivilTime{987, 1, 2, 3, 4, 5, 0}), L" 987-01-02T03:04:05");
  EXPECT_EQ(ParseStateTime(FormatStateTime(CivilTime{2026, 12, 10, 23, 59, 59, 0})),
            ToFileTime(CivilTime{2026, 12, 10, 23, 59, 59, 0}));
}

TEST(StateTime, WholeDaysAreTheAbsoluteDifferenceRoundedDown) {
  const FileTimeTicks t = k20180326T073620;
  EXPECT_EQ(WholeDaysBetween(t, t + 47 * kHour), 1U);
  EXPECT_EQ(WholeDaysBetween(t + 47 * kHour, t), 1U);
  EXPECT_EQ(WholeDaysBetween(t, t + 48 * kHour), 2U);
  EXPECT_EQ(WholeDaysBetween(t, t + 48 * kHour - 1), 1U);
  EXPECT_EQ(WholeDaysBetween(t, t), 0U);
}

TEST(StateTime, ConversionCoversTheWholeRangeOfTheWindowsCalendar) {
  EXPECT_EQ(ToFileTime(CivilTime{1601, 1, 1, 0, 0, 0, 0}), 0U);
  EXPECT_EQ(ToFileTime(CivilTime{1601, 1, 1, 0, 0, 0, 1}), 10000U);
  EXPECT_TRUE(ToFileTime(CivilTime{30827, 12, 31, 23, 59, 59, 999}));
  EXPECT_FALSE(ToFileTime(CivilTime{30828, 1, 1, 0, 0, 0, 0}));
  EXPECT_FALSE(ToFileTime(CivilTime{2018, 1, 1, 0, 0, 0, 1000}));
}

}  // namespace
}  // namespace zentrak::run
