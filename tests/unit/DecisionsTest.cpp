#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tracking/Decisions.h"

namespace zentrak::tracking {
namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr run::FileTimeTicks kHour = run::kTicksPerDay / 24;

struct VpnCase {
  const char* name;
  VpnTraffic traffic;
  VpnSwitches switches;
  bool sent_80_today;
  bool sent_100_today;
  VpnEvent expected;
};

TEST(VpnDecision, HundredPercentBeforeEightyAndTheMiBArithmetic) {
  const VpnCase cases[] = {
      {"exhausted, 100 on", {0, 10240 * kMiB}, {true, true}, false, false, VpnEvent::k100},
      {"exhausted, only 80 on", {0, 10240 * kMiB}, {true, false}, false, false, VpnEvent::kNone},
      {"1 byte left", {1, 10240 * kMiB}, {true, true}, false, false, VpnEvent::kNone},
      {"just under 1 MiB left", {kMiB - 1, 1 * kMiB}, {true, true}, false, false, VpnEvent::kNone},
      {"2048 of 10240 MiB left",
       {2048 * kMiB, 10240 * kMiB},
       {true, false},
       false,
       false,
       VpnEvent::k80},
      {"2049 of 10240 MiB left",
       {2049 * kMiB, 10240 * kMiB},
       {true, false},
       false,
       false,
       VpnEvent::kNone},
      {"limit below 1 MiB", {1 * kMiB, kMiB - 1}, {true, false}, false, false, VpnEvent::k80},
      {"80 sent today", {2048 * kMiB, 10240 * kMiB}, {true, false}, true, false, VpnEvent::kNone},
      {"100 sent today, 80 still due",
       {-kMiB, 10240 * kMiB},
       {true, true},
       false,
       true,
       VpnEvent::k80},
      {"both off", {0, 10240 * kMiB}, {false, false}, false, false, VpnEvent::kNone},
      // The statistics service's 32-bit arithmetic, edge by edge: 60,000,000 MiB x 80
      // wraps to 505,032,704, so the threshold is 5,050,327 MiB and 6,000,000 used is due.
      {"threshold wraps above 53.7 million MiB",
       {54000000 * kMiB, 60000000 * kMiB},
       {true, false},
       false,
       false,
       VpnEvent::k80},
      // 1024 - 2048 wraps to 4,294,966,272 MiB used.
      {"more left than the limit wraps used",
       {2048 * kMiB, 1024 * kMiB},
       {true, false},
       false,
       false,
       VpnEvent::k80},
      // Less than a MiB overdrawn truncates toward zero: 0 MiB left, no 80 % event.
      {"under 1 MiB overdrawn, only 80 on",
       {-(kMiB - 1), 10240 * kMiB},
       {true, false},
       false,
       false,
       VpnEvent::kNone},
      {"under 1 MiB overdrawn, 100 on",
       {-(kMiB - 1), 10240 * kMiB},
       {true, true},
       false,
       false,
       VpnEvent::k100},
  };
  for (const VpnCase& c : cases) {
    VpnSwitches switches = c.switches;
    EXPECT_EQ(DecideVpnEvent(c.traffic, switches, c.sent_80_today, c.sent_100_today), c.expected)
        << c.name;
  }
}

TEST(VpnDecision, DueHundredPercentEventClearsTheEightyPercentSwitch) {
  VpnSwitches switches{true, true};
  EXPECT_EQ(DecideVpnEvent({0, 100 * kMiB}, switches, false, false), VpnEvent::k100);
  EXPECT_FALSE(switches.event_80);
  VpnSwitches kept{true, true};
  EXPECT_EQ(DecideVpnEvent({50 * kMiB, 100 * kMiB}, kept, false, false), VpnEvent::kNone);
  EXPECT_TRUE(kept.event_80);
}

TEST(VpnDecision, AddressCarriesTheEventInItsQuery) {
  EXPECT_EQ(VpnEventAddress(L"http://127.0.0.12/ats/post.aspx", L"M-1",
                            run::CivilTime{2018, 3, 5, 7, 6, 2, 0}, VpnEvent::k100),
            L"http://127.0.0.12/ats/post.aspx?cr=916&fm=84&s_muid=M-1&s_event=VPNTrafficEvent"
            L"&s_eventdate=2018-03-05 07:06:02&s_vpntraffic=100");
  EXPECT_NE(VpnEventAddress(L"h", L"m", run::CivilTime{}, VpnEvent::k80).find(L"&s_vpntraffic=80"),
            std::wstring::npos);
}

TEST(VpnDecision, SentTodayMeansTodaysDayNumberIsRecordedWhateverTheMonth) {
  const struct {
    VpnSentDays days;
    int today;
    bool sent_80;
    bool sent_100;
  } cases[] = {
      {{true, 5, 0}, 5, true, false},
      {{true, 5, 5}, 5, true, true},
      {{true, 4, 6}, 5, false, false},
      {{false, 5, 5}, 5, false, false},  // no state file: nothing was sent
  };
  for (const auto& c : cases) {
    const VpnSentToday sent = SentToday(c.days, c.today);
    EXPECT_EQ(sent.event_80, c.sent_80) << c.days.day_80 << " " << c.today;
    EXPECT_EQ(sent.event_100, c.sent_100) << c.days.day_100 << " " << c.today;
  }
  EXPECT_STREQ(VpnStateKey(VpnEvent::k80), L"VPNEvent80");
  EXPECT_STREQ(VpnStateKey(VpnEvent::k100), L"VPNEvent100");
  EXPECT_EQ(VpnStateKey(VpnEvent::kNone), nullptr);
}

TEST(InstallationWindow, DueForLessThanTwoWholeDaysEitherWayAndOnlyWithoutTheMarker) {
  const run::FileTimeTicks installed = *run::ParseStateTime(L"2018-03-26T07:36:20");
  EXPECT_TRUE(InstallationEventDue(installed, installed + 47 * kHour, false));
  EXPECT_TRUE(InstallationEventDue(installed + 47 * kHour, installed, false));
  EXPECT_FALSE(InstallationEventDue(installed, installed + 48 * kHour, false));
  EXPECT_FALSE(InstallationEventDue(installed + 48 * kHour, installed, false));
  EXPECT_FALSE(InstallationEventDue(installed, installed + 2 * kHour, true));
}

TEST(DetectionStart, LastExecGivesTheUtcStartOrNone) {
  struct Case {
    const wchar_t* last_exec;
    std::optional<run::CivilTime> utc;
  };
  const Case cases[] = {
      {L"2018-03-26T07:36:20", run::CivilTime{2018, 3, 26, 7, 36, 20, 0}},
      {L"2018-03-26", run::CivilTime{2018, 3, 26, 0, 0, 0, 0}},  // fields not scanned stay 0
      {L"", std::nullopt},
      {L"2018-13-40T07:36:20", std::nullopt},
      {L"garbage", std::nullopt},
      {L"20180-03-26T07:36:20", std::nullopt},  // "%4d" stops after 2018
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LastExecUtc(c.last_exec), c.utc) << c.last_exec;
  }
}

TEST(ChannelMarks, TracksStartFromTheirOwnMarkOrFromLastExecWhereThereIsNone) {
  EXPECT_EQ(TrackPeriodMark(L"2026-12-11T09:00:00", L"2026-12-11T10:00:00"),
            L"2026-12-11T09:00:00");
  // An empty key: since the installation, whatever the document's mark says.
  EXPECT_EQ(TrackPeriodMark(L"", L"2026-12-11T10:00:00"), L"");
  // No key (a state file from before the tracks had a mark): the document's.
  EXPECT_EQ(TrackPeriodMark(std::nullopt, L"2026-12-11T10:00:00"), L"2026-12-11T10:00:00");
}

TEST(ChannelMarks, AMarkIsTheEndOfACompleteQueryNeverTheTimeOfTheDelivery) {
  const run::CivilTime query_end{2026, 12, 11, 9, 30, 0, 0};
  const run::CivilTime before_transfer{2026, 12, 11, 9, 30, 41, 0};
  const hostsdk::QueryCoverage complete{true, query_end};
  const hostsdk::QueryCoverage stopped{false, query_end};

  EXPECT_EQ(DocumentMark(complete, before_transfer), query_end);
  EXPECT_EQ(DocumentMark(stopped, before_transfer), std::nullopt);  // kept: comes again
  // No detection query in the run (detections off, an uninstallation).
  EXPECT_EQ(DocumentMark(std::nullopt, before_transfer), before_transfer);

  EXPECT_EQ(TrackMark(complete, true), query_end);
  EXPECT_EQ(TrackMark(complete, false), std::nullopt);  // a track not sent
  EXPECT_EQ(TrackMark(stopped, true), std::nullopt);
}

}  // namespace
}  // namespace zentrak::tracking
