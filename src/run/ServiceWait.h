// The wait for the suite's host service: the rules of the wait, apart from how one
// check is made and how the program sleeps, which the caller supplies. Portable.
#pragma once

#include <cstdint>
#include <functional>

#include "support/Trace.h"

namespace zentrak::run {

inline constexpr wchar_t kHostServiceName[] = L"VelkorServiceMain";

inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kServicePollIntervalMs = 10000;
inline constexpr int kServiceMaxPolls = 30;  // 31 checks, 300 s at the most

struct ServiceCheck {
  bool running = false;
  std::uint32_t error = 0;  // system error code when the service could not be opened or queried
};

using ServiceCheckFn = std::function<ServiceCheck()>;
using SleepFn = std::function<void(std::uint32_t milliseconds)>;

// One check, then, unless the service is running or does not exist at all, up to 30
// sleeps each followed by another check. True when a check found the service running.
[[nodiscard]] bool WaitForService(const ServiceCheckFn& check, const SleepFn& sleep);

// The trace point that reports a service that is not running, by its current state.
[[nodiscard]] const trace::TypedPoint<>& NotRunningTracePoint(std::uint32_t state) noexcept;

}  // namespace zentrak::run
