// The VPN traffic check of the dispatcher: the allowance from the host SDK, the day of
// the last report from the run-state file, and a body-less POST to the statistics host.
#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

#include "hostsdk/Variant.h"
#include "run/RunState.h"
#include "support/Clock.h"
#include "support/ComError.h"
#include "support/Files.h"
#include "support/Scoped.h"
#include "support/ScopedBstr.h"
#include "support/ScopedVariant.h"
#include "tracking/Decisions.h"
#include "tracking/EventTracker.h"
#include "tracking/TrackingTracePoints.h"
#include "transport/Endpoints.h"
#include "transport/HttpDownload.h"

namespace zentrak::tracking {
namespace {

constexpr wchar_t kUnlimitedKey[] = L"TrafficIsUnlimited";
constexpr wchar_t kRemainingKey[] = L"TrafficRemaining";
constexpr wchar_t kLimitKey[] = L"TrafficLimit";

// Where reading the traffic figures stopped, as the trace reports it.
enum TrafficStep : std::int32_t {
  kStepHost = 1,
  kStepObject = 2,
  kStepUnlimited = 3,
  kStepRemaining = 4,
  kStepLimit = 5,
};

std::int32_t Percent(VpnEvent event) {
  switch (event) {
    case VpnEvent::kNone:
      return 0;
    case VpnEvent::k80:
      return 80;
    case VpnEvent::k100:
      return 100;
  }
  return 0;
}

std::optional<ScopedVariant> ReadEntry(const ComPtr<hostsdk::IEntryMap>& map, const wchar_t* key) {
  const ScopedBstr name(key);
  ScopedVariant value;
  if (FAILED(map->Get(name.get(), value.Receive()))) return std::nullopt;
  return value;
}

// Raises the COM error when the value cannot become an unsigned 64-bit integer.
std::uint64_t Limit(const VARIANT& value) {
  return V_UI8(&hostsdk::ChangedVariant(value, VT_UI8).get());
}

// Sends the request line and headers only; the response is not awaited.
bool PostWithoutBody(const std::wstring& address, const std::wstring& proxy_server) {
  const auto opened =
      transport::OpenRequest(transport::kVpnUserAgent, proxy_server, L"POST", address);
  return opened && ::WinHttpSendRequest(opened->request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                        WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE;
}

}  // namespace

bool EventTracker::CheckVpnTraffic(const hostsdk::HostEntry& host, bool& vpn_event_100,
                                   bool& vpn_event_80) {
  const CivilTime utc_now = UtcNow();
  const std::wstring state_file = StateFile();
  VpnSentDays days;
  days.recorded = files::IsExistingFile(state_file);
  if (days.recorded) {
    days.day_80 = static_cast<int>(
        ::GetPrivateProfileIntW(run::kVpnSection, run::kVpnEvent80Key, 0, state_file.c_str()));
    days.day_100 = static_cast<int>(
        ::GetPrivateProfileIntW(run::kVpnSection, run::kVpnEvent100Key, 0, state_file.c_str()));
  }
  const VpnSentToday sent = SentToday(days, utc_now.day);
  ZTRACE(tp::kVpnState, days.recorded ? 1 : 0, days.day_80, days.day_100, utc_now.day);

  VpnTraffic traffic;
  std::int32_t step = kStepHost;
  const auto unread = [&step] {
    ZTRACE(tp::kVpnTrafficUnread, step);
    return false;
  };
  try {
    if (!host) return unread();
    step = kStepObject;
    const ScopedBstr name(hostsdk::progid::kVpnTraffic);
    ScopedVariant object;
    if (FAILED(host->CreateObject(name.get(), object.Receive()))) return unread();
    const auto map = hostsdk::VariantToInterface<hostsdk::IEntryMap>(object.get());
    if (!map) return unread();
    step = kStepUnlimited;
    const auto unlimited = ReadEntry(map, kUnlimitedKey);
    if (!unlimited) return unread();
    if (hostsdk::VariantToBool(unlimited->get())) {
      ZTRACE(tp::kVpnUnlimited);
      return false;
    }
    step = kStepRemaining;
    const auto remaining = ReadEntry(map, kRemainingKey);
    if (!remaining) return unread();
    step = kStepLimit;
    const auto limit = ReadEntry(map, kLimitKey);
    if (!limit) return unread();
    step = kStepRemaining;
    // Only an integer: an empty, boolean, text or object value is no amount at all.
    const auto remaining_bytes = hostsdk::Int64Value(remaining->get());
    if (!remaining_bytes) return unread();
    step = kStepLimit;
    traffic = VpnTraffic{*remaining_bytes, Limit(limit->get())};
  } catch (const ComError&) {
    // A value the SDK hands over in a form that does not convert ends only this check;
    // the run still delivers its document.
    return unread();
  }
  ZTRACE(tp::kVpnTraffic, std::to_string(traffic.remaining), std::to_string(traffic.limit));

  VpnSwitches switches{vpn_event_80, vpn_event_100};
  const VpnEvent event = DecideVpnEvent(traffic, switches, sent.event_80, sent.event_100);
  ZTRACE(tp::kVpnDecision, vpn_event_80 ? 1 : 0, vpn_event_100 ? 1 : 0, sent.event_80 ? 1 : 0,
         sent.event_100 ? 1 : 0, Percent(event), switches.event_80 ? 1 : 0);
  vpn_event_80 = switches.event_80;
  if (event == VpnEvent::kNone) return false;

  hostsdk::ProxySettings proxy;
  try {
    if (session_ != nullptr) (void)session_->ReadProxySettings(proxy);
  } catch (const ComError&) {
    ZTRACE(tp::kVpnProxyUnread);
    proxy.server.clear();  // no readable proxy: the event goes directly
  }
  const std::wstring address =
      VpnEventAddress(transport::StatisticsPostUrl(), muid_, utc_now, event);
  // Only the server: the proxy's credentials never reach a trace.
  ZTRACE(tp::kVpnPosting, address, proxy.server.empty() ? std::wstring(L"none") : proxy.server);
  if (!PostWithoutBody(address, proxy.server)) {
    ZTRACE(tp::kVpnPostFailed);
    return false;
  }
  const wchar_t* key = VpnStateKey(event);
  run::WriteStateKey(state_file, run::kVpnSection, key, std::to_wstring(utc_now.day));
  ZTRACE(tp::kVpnSent, key, utc_now.day);
  return true;
}

}  // namespace zentrak::tracking
