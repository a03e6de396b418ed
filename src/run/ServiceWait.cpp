#include "run/ServiceWait.h"

#include "run/RunTracePoints.h"

namespace zentrak::run {

bool WaitForService(const ServiceCheckFn& check, const SleepFn& sleep) {
  const ServiceCheck first = check();
  if (first.running) return true;
  if (first.error == kErrorServiceDoesNotExist) {
    ZTRACE(tp::kServiceDoesNotExist);
    return false;
  }
  ZTRACE(tp::kWaitingForService);
  // A later check that finds the service missing does not end the wait.
  for (int poll = 0; poll < kServiceMaxPolls; ++poll) {
    sleep(kServicePollIntervalMs);
    if (check().running) return true;
  }
  return false;
}

const trace::TypedPoint<>& NotRunningTracePoint(std::uint32_t state) noexcept {
  switch (state) {
    case 1:
      return tp::kServiceStopped;
    case 2:
      return tp::kServiceStartPending;
    case 3:
      return tp::kServiceStopPending;
    case 5:
      return tp::kServiceContinuePending;
    case 6:
      return tp::kServicePausePending;
    case 7:
      return tp::kServicePaused;
    default:
      return tp::kServiceStateOther;
  }
}

}  // namespace zentrak::run
