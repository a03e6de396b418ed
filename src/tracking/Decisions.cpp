#include "tracking/Decisions.h"

#include <cwchar>
#include <string>

namespace zentrak::tracking {

bool InstallationEventDue(run::FileTimeTicks installed, run::FileTimeTicks now,
                          bool marker_exists) noexcept {
  return run::WholeDaysBetween(installed, now) < 2 && !marker_exists;
}

std::optional<run::CivilTime> LastExecUtc(std::wstring_view last_exec) {
  if (last_exec.empty()) return std::nullopt;
  const std::wstring text(last_exec);  // terminated for the scan
  run::CivilTime utc;
  (void)std::swscanf(text.c_str(), L"%4d-%2d-%2dT%2d:%2d:%2d", &utc.year, &utc.month, &utc.day,
                     &utc.hour, &utc.minute, &utc.second);
  if (!hostsdk::JoinDate(utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second)) {
    return std::nullopt;
  }
  return utc;
}

std::wstring_view TrackPeriodMark(std::optional<std::wstring_view> last_track,
                                  std::wstring_view last_exec) noexcept {
  return last_track ? *last_track : last_exec;
}

std::optional<run::CivilTime> DocumentMark(
    const std::optional<hostsdk::QueryCoverage>& detection_query,
    const run::CivilTime& utc_before_transfer) noexcept {
  if (!detection_query) return utc_before_transfer;
  if (!detection_query->complete) return std::nullopt;
  return detection_query->end_utc;
}

std::optional<run::CivilTime> TrackMark(const hostsdk::QueryCoverage& query,
                                        bool all_sent) noexcept {
  if (!query.complete || !all_sent) return std::nullopt;
  return query.end_utc;
}

VpnEvent DecideVpnEvent(const VpnTraffic& traffic, VpnSwitches& switches, bool sent_80_today,
                        bool sent_100_today) noexcept {
  bool due_100 = false;
  if (!sent_100_today && switches.event_100 && traffic.remaining <= 0) {
    due_100 = true;
    switches.event_80 = false;
  }
  bool due_80 = false;
  if (!sent_80_today && switches.event_80) {
    const auto limit_mib = static_cast<std::uint32_t>(traffic.limit / 1024 / 1024);
    const std::int64_t remaining_mib = traffic.remaining / 1024 / 1024;
    if (remaining_mib != 0) {
      const std::uint32_t threshold = limit_mib * 80u / 100u;
      const std::uint32_t used = limit_mib - static_cast<std::uint32_t>(remaining_mib);
      due_80 = used >= threshold;
    }
  }
  if (due_100) return VpnEvent::k100;
  return due_80 ? VpnEvent::k80 : VpnEvent::kNone;
}

VpnSentToday SentToday(const VpnSentDays& days, int utc_day) noexcept {
  return {days.recorded && days.day_80 == utc_day, days.recorded && days.day_100 == utc_day};
}

const wchar_t* VpnStateKey(VpnEvent event) noexcept {
  switch (event) {
    case VpnEvent::k80:
      return run::kVpnEvent80Key;
    case VpnEvent::k100:
      return run::kVpnEvent100Key;
    case VpnEvent::kNone:
      break;
  }
  return nullptr;
}

std::wstring VpnEventAddress(std::wstring_view endpoint, std::wstring_view muid,
                             const run::CivilTime& t, VpnEvent event) {
  wchar_t date[64] = {};
  std::swprintf(date, 64, L"%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  std::wstring address(endpoint);
  address += L"?cr=916&fm=84&s_muid=";
  address += muid;
  address += L"&s_event=VPNTrafficEvent&s_eventdate=";
  address += date;
  address += L"&s_vpntraffic=";
  address += event == VpnEvent::k100 ? L"100" : L"80";
  return address;
}

}  // namespace zentrak::tracking
