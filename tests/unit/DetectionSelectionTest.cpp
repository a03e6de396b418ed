#include <gtest/gtest.h>

#include <vector>

#include "hostsdk/DetectionRecord.h"

namespace zentrak::hostsdk {
namespace {

DetectionRecord Pattern(std::int32_t malware, std::int32_t detection) {
  return {malware, detection, OleDate{}};
}

DetectionRecord Report(std::int32_t malware, std::int32_t detection, double time) {
  return {malware, detection, OleDate::FromDouble(time)};
}

TEST(DetectionEvents, OnlyTheSixDetectionEventIdentifiersAreSelected) {
  for (const std::int32_t id : {0x100003, 0x100004, 0x100005, 0x100007, 0x10001B, 0x200005}) {
    EXPECT_TRUE(IsSelectedDetectionEvent(id)) << id;
  }
  for (const std::int32_t id : {0x100006, 0x100002, 0x100008, 0x200004, 0, -1}) {
    EXPECT_FALSE(IsSelectedDetectionEvent(id)) << id;
  }
}

TEST(DetectionSelectionList, MinusOneStandsForAnyIdentifier) {
  const struct {
    std::vector<DetectionRecord> patterns;
    std::int32_t malware;
    std::int32_t detection;
    bool admitted;
  } cases[] = {
      {{Pattern(-1, -1)}, 5, 9, true},
      {{}, 5, 9, false},
      {{Pattern(5, -1)}, 5, 9, true},
      {{Pattern(5, -1)}, 6, 9, false},
      {{Pattern(-1, 9)}, 6, 9, true},
      {{Pattern(-1, 9)}, 6, 8, false},
      {{Pattern(5, 9)}, 5, 9, true},
      {{Pattern(5, 9)}, 9, 5, false},
      {{Pattern(1, 1), Pattern(2, -1), Pattern(5, 9)}, 5, 9, true},
      // A report whose own identifier is -1 is admitted only by a pattern that accepts any.
      {{Pattern(7, 7)}, -1, 7, false},
  };
  for (const auto& c : cases) {
    const DetectionSelection selection(c.patterns);
    EXPECT_EQ(selection.Admits(c.malware, c.detection), c.admitted)
        << c.malware << "," << c.detection;
    bool any = false;
    for (const auto& p : c.patterns) any = any || Matches(p, c.malware, c.detection);
    EXPECT_EQ(any, c.admitted) << "the index and the plain rule agree";
  }
}

std::vector<DetectionRecord> Merge(const std::vector<DetectionRecord>& reports) {
  DetectionResults results;
  for (const auto& r : reports) results.Offer(r);
  std::vector<DetectionRecord> list;
  results.AppendTo(list);
  return list;
}

TEST(DetectionMerge, OneRecordPerDetectionWithItsLatestTime) {
  const auto list = Merge({Report(1, 10, 100.0), Report(2, 20, 100.5), Report(1, 10, 101.0)});
  ASSERT_EQ(list.size(), 2U);
  // The later report moved its detection to the end.
  EXPECT_EQ(list[0].malware_id, 2);
  EXPECT_EQ(list[1].malware_id, 1);
  EXPECT_DOUBLE_EQ(list[1].report_time.value, 101.0);
}

TEST(DetectionMerge, EqualOrEarlierTimesKeepTheFirstRecordInPlace) {
  const auto list =
      Merge({Report(1, 10, 100.0), Report(2, 20, 50.0), Report(1, 10, 100.0), Report(1, 10, 99.0)});
  ASSERT_EQ(list.size(), 2U);
  EXPECT_EQ(list[0].malware_id, 1);
  EXPECT_DOUBLE_EQ(list[0].report_time.value, 100.0);
  EXPECT_EQ(list[1].malware_id, 2);
}

TEST(DetectionMerge, IdentifiersMatchOnlyWhenBothAreEqual) {
  const auto list = Merge({Report(1, 10, 1.0), Report(10, 1, 2.0), Report(1, 11, 3.0)});
  EXPECT_EQ(list.size(), 3U);
}

TEST(DetectionMerge, ManyUpdatesKeepTheOrderOfLastChange) {
  DetectionResults results;
  for (int round = 0; round < 3; ++round) {
    for (int d = 0; d < 100; ++d) results.Offer(Report(d, d, round * 1000.0 + (99 - d)));
  }
  std::vector<DetectionRecord> list{Report(-5, -5, 0.0)};  // appended after what was there
  results.AppendTo(list);
  ASSERT_EQ(list.size(), 101U);
  EXPECT_EQ(list[0].malware_id, -5);
  for (int d = 0; d < 100; ++d) {
    EXPECT_EQ(list[d + 1].malware_id, d);
    EXPECT_DOUBLE_EQ(list[d + 1].report_time.value, 2000.0 + (99 - d));
  }
}

TEST(QueryStart, MovesToNowLessTheMaximumAgeOnlyWhenFurtherBack) {
  const double now = 45000.75;  // an afternoon
  const struct {
    double start;
    std::int32_t max_age;
    double expected;
  } cases[] = {
      {now - 3.0, 7, now - 3.0},    // within the age: kept
      {now - 3.0, 2, now - 2.0},    // beyond it: now less two days
      {now - 2.99, 2, now - 2.99},  // 2 whole days: not beyond
      {now - 0.5, 0, now - 0.5},    // half a day is 0 whole days
      // An age below a day counts as one day: a start two days back moves to a day
      // before now, never to now, so what came since the last delivery is still found.
      {now - 1.5, 0, now - 1.5},
      {now - 2.0, 0, now - 1.0},
      {now - 30.0, 0, now - 1.0},
      {now - 30.0, -5, now - 1.0},
      {now - 30.0, 1, now - 1.0},
      {now + 1.0, 0, now + 1.0},  // a start after now is never moved
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(
        ClampQueryStart(OleDate::FromDouble(c.start), OleDate::FromDouble(now), c.max_age).value,
        c.expected)
        << c.start << " " << c.max_age;
  }
}

TEST(QueryPages, AFullPageAsksForTheNextFromWhereItEnded) {
  const struct {
    std::uint32_t first;
    std::int32_t count;
    bool more;
    std::uint32_t next;
  } cases[] = {
      {0, 50, true, 50},    {50, 49, false, 99},
      {100, 0, false, 100}, {0, 51, true, 50},  // a page never holds more than was asked for
      {0, -3, false, 0},                        // a negative count walks nothing
  };
  for (const auto& c : cases) {
    const NextPage next = AfterPage(c.first, c.count);
    EXPECT_EQ(next.more, c.more) << c.first << "+" << c.count;
    EXPECT_EQ(next.first, c.next) << c.first << "+" << c.count;
  }
  EXPECT_EQ(EntriesToWalk(49), 49);
  EXPECT_EQ(EntriesToWalk(50), 50);
  EXPECT_EQ(EntriesToWalk(1000000), 50);
  EXPECT_EQ(EntriesToWalk(-1), 0);
}

}  // namespace
}  // namespace zentrak::hostsdk
