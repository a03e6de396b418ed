#include "tracking/EventTracker.h"

namespace zentrak::tracking {

EventTracker::EventTracker(const run::RunContext& context) : context_(context) {}

EventTracker::EventTracker(const run::RunContext& context,
                           const hostsdk::HostSdkSession& /*session*/,
                           const run::EventConfig& /*config*/)
    : context_(context) {}

void EventTracker::SetProxy(const hostsdk::ProxySettings& /*proxy*/) {}

bool EventTracker::SendPreviousUninstallTrack() { return false; }

bool EventTracker::ProcessEvents(run::EventList& events, std::wstring& document,
                                 run::EventConfig& /*config*/, const TestLog& /*log*/,
                                 const hostsdk::HostEntry& /*host*/) {
  events.clear();
  document.clear();
  return false;
}

}  // namespace zentrak::tracking
