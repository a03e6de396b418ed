#include "tracking/TraceTexts.h"

namespace zentrak::tracking {

std::wstring EventListText(const run::EventList& events) {
  std::wstring text;
  for (const run::EventKind kind : events) {
    if (!text.empty()) text += L',';
    text += std::to_wstring(static_cast<int>(kind));
  }
  return text;
}

}  // namespace zentrak::tracking
