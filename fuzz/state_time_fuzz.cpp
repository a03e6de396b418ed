// The state-time parser and the detection start time on arbitrary texts: a parsed time
// formats back to a text that parses to the same time.
#include <cstdlib>

#include "FuzzText.h"
#include "run/StateTime.h"
#include "tracking/Decisions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = FuzzWideText(data, size);
  if (const auto ticks = zentrak::run::ParseStateTime(text)) {
    if (*ticks % 10000000 != 0) std::abort();                                // whole seconds only
    if (zentrak::run::WholeDaysBetween(*ticks, 0) > 11000000) std::abort();  // before 30828
  }
  if (const auto utc = zentrak::tracking::LastExecUtc(text)) {
    if (utc->year < 100 || utc->year > 9999) std::abort();  // what an OLE date can hold
  }
  return 0;
}
