// One check of the host service through the service control manager.
#pragma once

#include "run/ServiceWait.h"

namespace zentrak::run {

// Opens the service control manager and the host service, queries its status and
// closes both again. Emits the check's trace points.
[[nodiscard]] ServiceCheck CheckHostService();

void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace zentrak::run
