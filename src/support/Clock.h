// The system clock, read once where the program needs "now".
#pragma once

#include "support/CivilTime.h"

namespace zentrak {

// The current UTC time, to the millisecond.
[[nodiscard]] CivilTime UtcNow() noexcept;

}  // namespace zentrak
