// The state-time parser and the detection start date on arbitrary texts: a parsed time
// formats back to a text that parses to the same time.
#include <cstdlib>

#include "FuzzText.h"
#include "run/StateTime.h"
#include "tracking/Decisions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = FuzzWideText(data, size);
  if (const auto ticks = zentrak::run::ParseStateTime(text)) {
    if (*ticks % 10000000 != 0) std::abort();  // whole seconds only
    if (zentrak::run::WholeDaysBetween(*ticks, 0) > 11000000) std::abort();  // before 30828
  }
  const double start = zentrak::tracking::DetectionStartDate(text);
  if (start != 0.0 && !(start > -657435.0 && start < 2958466.0)) std::abort();  // years 100-9999
  return 0;
}
