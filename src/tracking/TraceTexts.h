// Texts the dispatcher's trace points carry. Portable.
#pragma once

#include <string>

#include "run/RunContext.h"

namespace zentrak::tracking {

// The event kinds by their codes, in list order: "1,3".
[[nodiscard]] std::wstring EventListText(const run::EventList& events);

}  // namespace zentrak::tracking
