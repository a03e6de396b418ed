// The VPN traffic check of the dispatcher: the allowance from the host SDK, the day of
// the last report from the run-state file, and a body-less POST to the statistics host.
#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

#include "hostsdk/Variant.h"
#include "run/RunState.h"
#include "support/ComError.h"
#include "support/ScopedBstr.h"
#include "support/ScopedVariant.h"
#include "support/Unique.h"
#include "tracking/Decisions.h"
#include "tracking/EventTracker.h"
#include "transport/Endpoints.h"
#include "transport/HttpDownload.h"

namespace zentrak::tracking {
namespace {

constexpr wchar_t kTrafficObject[] = L"VPN_GetTraffic";
constexpr wchar_t kUnlimitedKey[] = L"TrafficIsUnlimited";
constexpr wchar_t kRemainingKey[] = L"TrafficRemaining";
constexpr wchar_t kLimitKey[] = L"TrafficLimit";

std::optional<ScopedVariant> ReadEntry(const ComPtr<hostsdk::IEntryMap>& map, const wchar_t* key) {
  const ScopedBstr name(key);
  ScopedVariant value;
  if (FAILED(map->Get(name.get(), value.Receive()))) return std::nullopt;
  return value;
}

// The remaining bytes as the signed 64-bit integer the value holds; a value of another
// integer type is converted (its 64-bit field would hold bytes that were never set).
std::optional<std::int64_t> Remaining(const VARIANT& value) {
  if (V_VT(&value) == VT_I8) return V_I8(&value);
  VARIANT converted;
  ::VariantInit(&converted);
  if (FAILED(::VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I8))) return std::nullopt;
  return V_I8(&converted);
}

// Raises the COM error when the value cannot become an unsigned 64-bit integer.
std::uint64_t Limit(const VARIANT& value) {
  VARIANT converted;
  ::VariantInit(&converted);
  const HRESULT hr = ::VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_UI8);
  if (FAILED(hr)) throw ComError(hr);
  return V_UI8(&converted);
}

// Sends the request line and headers only; the response is not awaited.
bool PostWithoutBody(const std::wstring& address, const std::wstring& proxy_server) {
  const UniqueWinHttpHandle session(::WinHttpOpen(
      kVpnUserAgent,
      proxy_server.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
      proxy_server.empty() ? WINHTTP_NO_PROXY_NAME : proxy_server.c_str(),
      WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  const auto url = transport::CrackUrl(address);
  if (!url) return false;
  const UniqueWinHttpHandle connection(
      ::WinHttpConnect(session.get(), url->host.c_str(), INTERNET_DEFAULT_PORT, 0));
  if (!connection) return false;
  const UniqueWinHttpHandle request(::WinHttpOpenRequest(connection.get(), L"POST",
                                                         url->object.c_str(),
                                                         nullptr, WINHTTP_NO_REFERER,
                                                         WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request) return false;
  return ::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE;
}

}  // namespace

bool EventTracker::CheckVpnTraffic(const hostsdk::HostEntry& host, bool& vpn_event_100,
                                   bool& vpn_event_80) {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  bool sent_80_today = false;
  bool sent_100_today = false;
  const std::wstring state_file = StateFile();
  if (run::IsExistingFile(state_file)) {
    sent_80_today = ::GetPrivateProfileIntW(run::kVpnSection, run::kVpnEvent80Key, 0,
                                            state_file.c_str()) == now.wDay;
    sent_100_today = ::GetPrivateProfileIntW(run::kVpnSection, run::kVpnEvent100Key, 0,
                                             state_file.c_str()) == now.wDay;
  }

  VpnTraffic traffic;
  try {
    if (!host) return false;
    const ScopedBstr name(kTrafficObject);
    ScopedVariant object;
    if (FAILED(host->CreateObject(name.get(), object.Receive()))) return false;
    const auto map = hostsdk::VariantToInterface<hostsdk::IEntryMap>(object.get());
    if (!map) return false;
    const auto unlimited = ReadEntry(map, kUnlimitedKey);
    if (!unlimited || hostsdk::VariantToBool(unlimited->get())) return false;
    const auto remaining = ReadEntry(map, kRemainingKey);
    if (!remaining) return false;
    const auto limit = ReadEntry(map, kLimitKey);
    if (!limit) return false;
    const auto remaining_bytes = Remaining(remaining->get());
    if (!remaining_bytes) return false;
    traffic = VpnTraffic{*remaining_bytes, Limit(limit->get())};
  } catch (const ComError&) {
    // A value the SDK hands over in a form that does not convert ends only this check;
    // the run still delivers its document.
    return false;
  }

  VpnSwitches switches{vpn_event_80, vpn_event_100};
  const VpnEvent event = DecideVpnEvent(traffic, switches, sent_80_today, sent_100_today);
  vpn_event_80 = switches.event_80;
  if (event == VpnEvent::kNone) return false;

  hostsdk::ProxySettings proxy;
  try {
    if (session_ != nullptr) (void)session_->ReadProxySettings(proxy);
  } catch (const ComError&) {
    proxy.server.clear();  // no readable proxy: the event goes directly
  }
  const std::wstring address = VpnEventAddress(
      transport::StatisticsPostUrl(), muid_,
      run::CivilTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, 0},
      event);
  if (!PostWithoutBody(address, proxy.server)) return false;
  run::WriteStateKey(state_file, run::kVpnSection,
                     event == VpnEvent::k100 ? run::kVpnEvent100Key : run::kVpnEvent80Key,
                     std::to_wstring(now.wDay));
  return true;
}

}  // namespace zentrak::tracking
