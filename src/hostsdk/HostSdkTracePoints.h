// Every trace point of the host SDK unit, in one place. All use flag 2.
#pragma once

#include "support/Trace.h"

namespace zentrak::hostsdk::tp {

using trace::kLevelError;
using trace::kLevelInfo;
using trace::kLevelVerbose;
using trace::Point;

using T = trace::ArgType;

template <T... Args>
constexpr auto HostSdk(std::uint16_t number, std::uint8_t level, const char* text) {
  return trace::MakePoint<Args...>(trace::Unit::kHostSdk, number, 2, level, text);
}

// Session and Configuration reads.
inline constexpr auto kActivationContextCreateFailed =
    HostSdk<T::kInt32>(1, kLevelError, "the SDK activation context could not be created, error %1");
inline constexpr auto kNoInstallationFolder =
    HostSdk<>(2, kLevelError, "the suite's installation folder is unknown: no activation context");
inline constexpr auto kConfigurationReadError =
    HostSdk<T::kHex32, T::kHex32>(3, kLevelVerbose, "Configuration item %1 not read, HRESULT %2");

// Detection report query.
inline constexpr auto kQueryStopped = HostSdk<T::kInt32>(
    10, kLevelError,
    "detection query stopped at step %1 (1 objects, 2 action, 4 date filter, 5 reports)");
inline constexpr auto kQueryError =
    HostSdk<T::kHex32>(11, kLevelError, "detection query ended by an error, HRESULT %1");
inline constexpr auto kQueryPageFailed = HostSdk<T::kInt32, T::kHex32>(
    12, kLevelError, "detection report page from index %1 failed, HRESULT %2");
inline constexpr auto kQueryPageLimit =
    HostSdk<T::kInt32>(13, kLevelError, "detection query stopped after %1 pages");
inline constexpr auto kQueryStartDate =
    HostSdk<T::kWide>(14, kLevelInfo, "detection query starts at %1 (local time)");
inline constexpr auto kQueryFinished = HostSdk<T::kInt32, T::kInt32>(
    15, kLevelInfo, "detection query finished: %1 pages, %2 records kept");

// Every point of the unit, for the format files of the platform's trace tools.
inline constexpr Point kPoints[] = {
    kActivationContextCreateFailed,
    kNoInstallationFolder,
    kConfigurationReadError,
    kQueryStopped,
    kQueryError,
    kQueryPageFailed,
    kQueryPageLimit,
    kQueryStartDate,
    kQueryFinished,
};

}  // namespace zentrak::hostsdk::tp
