// The tracking dispatcher: decides which events are due, builds the "DeviceEvents"
// document, sends the tracks through the process-wide campaign tracker, keeps the
// installation marker, and checks the VPN traffic.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hostsdk/HostSdk.h"
#include "hostsdk/ProxySettings.h"
#include "run/EventConfig.h"
#include "run/RunContext.h"
#include "tracking/TestLog.h"
#include "tracking/Tracks.h"

namespace zentrak::tracking {

// Detection tracks sent per run at the most.
inline constexpr std::size_t kMaxDetectionTracks = 10;

class EventTracker {
 public:
  // Without a session: only SendPreviousUninstallTrack is used.
  explicit EventTracker(const run::RunContext& context);
  // Copies the configuration and reads the MUID through the session.
  EventTracker(const run::RunContext& context, const hostsdk::HostSdkSession& session,
               const run::EventConfig& config);
  // Also destroys the process-wide campaign tracker.
  ~EventTracker();
  EventTracker(const EventTracker&) = delete;
  EventTracker& operator=(const EventTracker&) = delete;

  // True when this tracker's construction loaded the comms library.
  [[nodiscard]] bool TrackingAvailable() const noexcept { return tracking_available_; }
  void SetRepositoryFolder(const std::wstring& folder) { repository_folder_ = folder; }
  void SetProxy(const hostsdk::ProxySettings& proxy);

  // Fills the event list (installation, detections, uninstallation, as far as due) and
  // the document, sends their tracks, then checks the VPN traffic. Always true.
  [[nodiscard]] bool ProcessEvents(run::EventList& events, std::wstring& document,
                                   run::EventConfig& config, TestLog& log,
                                   const hostsdk::HostEntry& host);
  // The removal of a previous installation, from the setup registry.
  [[nodiscard]] bool SendPreviousUninstallTrack();

  // What the run's detection query for the event covered: none when the detection step
  // was not taken (detections off, an uninstallation), incomplete when it was taken but
  // the query did not run or stopped early. The mark of a delivered document follows it.
  [[nodiscard]] const std::optional<hostsdk::QueryCoverage>& DetectionEventQuery() const noexcept {
    return event_query_;
  }

  // Sends the VPN traffic event that is due, if any; true only when one was sent.
  // A due 100 % event clears the 80 % switch of the caller's record.
  [[nodiscard]] bool CheckVpnTraffic(const hostsdk::HostEntry& host, bool& vpn_event_100,
                                     bool& vpn_event_80);

 private:
  // The installation time text (UTC) when the installation event is due: within two
  // whole days of now and not yet marked. Decides only; the caller writes the marker.
  [[nodiscard]] std::optional<std::wstring> InstallationWindow() const;
  void WriteInstallationMarker(const std::wstring& installed) const;
  [[nodiscard]] bool CollectDetectionEvent(hostsdk::InstallationData& data, std::wstring& document,
                                           bool& found);
  [[nodiscard]] bool SendCampaignTrack(const hostsdk::InstallationData& data, bool uninstall);
  // One detection-track pass: what its query covered and whether every track went out.
  struct TrackPass {
    hostsdk::QueryCoverage query;
    bool all_sent = false;
  };
  [[nodiscard]] TrackPass SendDetectionTracks(const hostsdk::InstallationData& data, TestLog& log);
  // Moves "lastTrack" to the pass's query end, or keeps it; a state file without the key
  // gets the start the pass used, so that the document's mark never becomes the tracks'.
  void RecordTrackPass(const TrackPass& pass) const;
  void WriteTrackReport(const hostsdk::InstallationData& data, const wchar_t* event_type,
                        bool track_ok, const std::vector<hostsdk::DetectionRecord>* detections);
  // The local-time start of a detection period from its mark (UTC); 0 (since the
  // installation) without a usable mark.
  [[nodiscard]] hostsdk::OleDate DetectionStart(std::wstring_view mark) const;
  // The tracks' mark: "lastTrack", or "lastExec" where the state file has none.
  [[nodiscard]] std::wstring_view TrackMarkText() const;
  [[nodiscard]] std::wstring StateFile() const;
  [[nodiscard]] std::wstring MarkerPath() const;
  // The MUID, InstUID and file version the tracks carry.
  [[nodiscard]] TrackContext TrackValues() const;

  const run::RunContext& context_;
  run::EventConfig config_;
  std::wstring muid_;
  const hostsdk::HostSdkSession* session_ = nullptr;
  std::wstring repository_folder_;
  bool tracking_available_ = false;
  std::optional<hostsdk::QueryCoverage> event_query_;
};

}  // namespace zentrak::tracking
