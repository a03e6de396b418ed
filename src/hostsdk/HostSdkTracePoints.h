// Every trace point of the host SDK unit, in one place. All use flag 2.
#pragma once

#include "support/Trace.h"

namespace zentrak::hostsdk::tp {

using trace::kLevelError;
using trace::kLevelInfo;
using trace::kLevelVerbose;
using trace::Point;

constexpr Point HostSdk(std::uint16_t number, std::uint8_t level) {
  return {trace::Unit::kHostSdk, number, 2, level};
}

// Session and Configuration reads.
inline constexpr Point kActivationContextCreateFailed = HostSdk(1, kLevelError);  // (error code)
inline constexpr Point kNoInstallationFolder = HostSdk(2, kLevelError);
inline constexpr Point kConfigurationReadError = HostSdk(3, kLevelVerbose);  // (item, HRESULT)

// Detection report query.
inline constexpr Point kQueryStopped = HostSdk(10, kLevelError);     // (step)
inline constexpr Point kQueryError = HostSdk(11, kLevelError);       // (HRESULT)
inline constexpr Point kQueryPageFailed = HostSdk(12, kLevelError);  // (first index, HRESULT)
inline constexpr Point kQueryPageLimit = HostSdk(13, kLevelError);   // (pages)
inline constexpr Point kQueryStartDate = HostSdk(14, kLevelInfo);    // (start date text)
inline constexpr Point kQueryFinished = HostSdk(15, kLevelInfo);     // (pages, records)

}  // namespace zentrak::hostsdk::tp
