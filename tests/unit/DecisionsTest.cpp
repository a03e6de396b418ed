#include "tracking/Decisions.h"

#include <gtest/gtest.h>

#include <string>

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
      {"2048 of 10240 MiB left", {2048 * kMiB, 10240 * kMiB}, {true, false}, false, false,
       VpnEvent::k80},
      {"2049 of 10240 MiB left", {2049 * kMiB, 10240 * kMiB}, {true, false}, false, false,
       VpnEvent::kNone},
      {"limit below 1 MiB", {1 * kMiB, kMiB - 1}, {true, false}, false, false, VpnEvent::k80},
      {"80 sent today", {2048 * kMiB, 10240 * kMiB}, {true, false}, true, false, VpnEvent::kNone},
      {"100 sent today, 80 still due", {-kMiB, 10240 * kMiB}, {true, true}, false, true,
       VpnEvent::k80},
      {"both off", {0, 10240 * kMiB}, {false, false}, false, false, VpnEvent::kNone},
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
                            run::CivilTime{2018, 3, 5, 7, 6, 2, 0},
                            VpnEvent::k100),
            L"http://127.0.0.12/ats/post.aspx?cr=916&fm=84&s_muid=M-1&s_event=VPNTrafficEvent"
            L"&s_eventdate=2018-03-05 07:06:02&s_vpntraffic=100");
  EXPECT_NE(VpnEventAddress(L"h", L"m", run::CivilTime{}, VpnEvent::k80).find(L"&s_vpntraffic=80"),
            std::wstring::npos);
}

TEST(InstallationWindow, DueForLessThanTwoWholeDaysEitherWayAndOnlyWithoutTheMarker) {
  const run::FileTimeTicks installed = *run::ParseStateTime(L"2018-03-26T07:36:20");
  EXPECT_TRUE(InstallationEventDue(installed, installed + 47 * kHour, false));
  EXPECT_TRUE(InstallationEventDue(installed + 47 * kHour, installed, false));
  EXPECT_FALSE(InstallationEventDue(installed, installed + 48 * kHour, false));
  EXPECT_FALSE(InstallationEventDue(installed + 48 * kHour, installed, false));
  EXPECT_FALSE(InstallationEventDue(installed, installed + 2 * kHour, true));
}

TEST(DetectionStart, LastExecGivesTheStartDateOrZero) {
  const double march = *hostsdk::JoinDate(2018, 3, 26, 7, 36, 20);
  EXPECT_EQ(DetectionStartDate(L"2018-03-26T07:36:20"), march);
  EXPECT_EQ(DetectionStartDate(L""), 0.0);
  EXPECT_EQ(DetectionStartDate(L"2018-13-40T07:36:20"), 0.0);
  EXPECT_EQ(DetectionStartDate(L"garbage"), 0.0);
  EXPECT_EQ(DetectionStartDate(L"2018-03-26"), *hostsdk::JoinDate(2018, 3, 26, 0, 0, 0));
  EXPECT_EQ(DetectionStartDate(L"20180-03-26T07:36:20"), 0.0);  // "%4d" stops after 2018
}

}  // namespace
}  // namespace zentrak::tracking
