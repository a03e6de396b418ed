// The tracking dispatcher: decides which events are due, builds the "DeviceEvents"
// document and sends the tracks.
//
// Not built yet: no tracker has tracking available, so a run stops before using one.
#pragma once

#include <string>

#include "hostsdk/HostSdk.h"
#include "hostsdk/ProxySettings.h"
#include "run/EventConfig.h"
#include "run/RunContext.h"
#include "tracking/TestLog.h"

namespace zentrak::tracking {

class EventTracker {
 public:
  // Without a session: only SendPreviousUninstallTrack is used.
  explicit EventTracker(const run::RunContext& context);
  EventTracker(const run::RunContext& context, const hostsdk::HostSdkSession& session,
               const run::EventConfig& config);

  [[nodiscard]] bool TrackingAvailable() const noexcept { return tracking_available_; }
  void SetRepositoryFolder(const std::wstring& folder) { repository_folder_ = folder; }
  // The texts must outlive the tracker.
  void SetProxy(const hostsdk::ProxySettings& proxy);

  [[nodiscard]] bool SendPreviousUninstallTrack();
  [[nodiscard]] bool ProcessEvents(run::EventList& events, std::wstring& document,
                                   run::EventConfig& config, const TestLog& log,
                                   const hostsdk::HostEntry& host);

 private:
  const run::RunContext& context_;
  std::wstring repository_folder_;
  bool tracking_available_ = false;
};

}  // namespace zentrak::tracking
