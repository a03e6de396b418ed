#include "tracking/EventTracker.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "hostsdk/ConfigItems.h"
#include "run/FileNames.h"
#include "run/RunState.h"
#include "run/StateTime.h"
#include "support/Files.h"
#include "support/Registry.h"
#include "support/SetupRegistry.h"
#include "support/Text.h"
#include "tracking/Decisions.h"
#include "tracking/Documents.h"
#include "tracking/Messages.h"
#include "tracking/TraceTexts.h"
#include "tracking/TrackReport.h"
#include "tracking/TrackingTracePoints.h"
#include "tracking/Tracks.h"
#include "transport/CampaignTracker.h"
#include "transport/Endpoints.h"

namespace zentrak::tracking {
namespace {

// The setup's MUID and CustomID texts are read into 260 bytes.
constexpr unsigned kSetupTextBytesCapacity = 130;

// The process's one campaign tracker: none until a track operation needs it.
std::unique_ptr<transport::CampaignTracker>& SharedTracker() {
  static std::unique_ptr<transport::CampaignTracker> tracker;
  return tracker;
}

// Creates and loads the tracker when there is none; a tracker that cannot load is
// destroyed again.
transport::CampaignTracker* EnsureTracker() {
  auto& tracker = SharedTracker();
  if (!tracker) {
    tracker = std::make_unique<transport::CampaignTracker>();
    if (!tracker->Load()) tracker.reset();
  }
  return tracker.get();
}

void SetTarget(const std::wstring& url) {
  if (transport::CampaignTracker* tracker = EnsureTracker()) tracker->SetTargetUrl(url);
}

run::FileTimeTicks UtcNowTicks() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<run::FileTimeTicks>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The UTC instant as the state file writes times.
std::wstring UtcTicksText(run::FileTimeTicks ticks) {
  const FILETIME file{static_cast<DWORD>(ticks & 0xFFFFFFFFU), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{};
  if (!::FileTimeToSystemTime(&file, &utc)) return std::wstring();
  return run::FormatStateTime(
      run::CivilTime{utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond, 0});
}

// A detection start as the traces show it: a local time, or 0 for the installation date.
std::wstring LocalStartText(const hostsdk::OleDate& start) {
  return start.value == 0.0 ? std::wstring(L"0 (the installation date)")
                            : hostsdk::FormatDate(start) + L" (local time)";
}

// One detection query's inputs: which selection, from when, how old at most, and the
// selection's entries.
void TraceDetectionQuery(const char* selection_name, const hostsdk::OleDate& start,
                         std::int32_t max_age_days,
                         const std::vector<hostsdk::DetectionRecord>& selection) {
  ZTRACE(tp::kDetectionQuery, selection_name, LocalStartText(start), max_age_days,
         static_cast<std::int32_t>(selection.size()));
  if (!trace::IsOn(tp::kSelectionEntry)) return;
  for (const hostsdk::DetectionRecord& entry : selection) {
    ZTRACE(tp::kSelectionEntry, selection_name, entry.malware_id, entry.detection_id);
  }
}

constexpr char kEventSelectionName[] = "event";
constexpr char kTrackSelectionName[] = "track";

// Hands a track's fields and parameters to the tracker and sends it.
bool Send(transport::CampaignTracker& tracker, const Track& track) {
  const TrackFields& f = track.fields;
  if (f.product_code) tracker.SetProductCode(*f.product_code);
  if (f.suite_version) tracker.SetSuiteVersion(*f.suite_version);
  if (f.product_type) tracker.SetProductType(*f.product_type);
  if (f.machine_id) tracker.SetMachineId(*f.machine_id);
  if (f.custom_id) tracker.SetCustomId(*f.custom_id);
  tracker.SetEventType(f.event_type);
  for (const auto& [name, value] : track.parameters) tracker.AddParameter(name, value);
  return tracker.Send();
}

}  // namespace

EventTracker::EventTracker(const run::RunContext& context) : context_(context) {
  tracking_available_ = EnsureTracker() != nullptr;
}

EventTracker::EventTracker(const run::RunContext& context, const hostsdk::HostSdkSession& session,
                           const run::EventConfig& config)
    : context_(context),
      config_(config),
      muid_(session.ReadText(hostsdk::item::kMuid).value_or(std::wstring())),
      session_(&session) {
  tracking_available_ = EnsureTracker() != nullptr;
}

EventTracker::~EventTracker() { SharedTracker().reset(); }

void EventTracker::SetProxy(const hostsdk::ProxySettings& proxy) {
  if (transport::CampaignTracker* tracker = SharedTracker().get()) {
    tracker->SetProxy(proxy.server, proxy.user, proxy.password);
  }
}

std::wstring EventTracker::MarkerPath() const {
  return repository_folder_ + L"\\" + run::kInstallationMarkerName;
}

TrackContext EventTracker::TrackValues() const {
  return TrackContext{muid_, context_.inst_uid, context_.file_version};
}

std::wstring EventTracker::StateFile() const { return run::StateFilePath(repository_folder_); }

bool EventTracker::ProcessEvents(run::EventList& events, std::wstring& document,
                                 run::EventConfig& config, TestLog& log,
                                 const hostsdk::HostEntry& host) {
  events.clear();
  document = L"{\"DeviceEvents\":[";
  bool preceding = false;

  hostsdk::InstallationData installation;
  bool installation_due = false;
  if (session_ == nullptr) {
    ZTRACE(tp::kNoSession);
  } else if (!config_.installation_date.empty()) {
    ZTRACE(tp::kInstallationDelivered, config_.installation_date);
  } else if (const auto installed = InstallationWindow()) {
    // Marked once the event is built: a later run never builds a second installation
    // event, delivered or not; one whose facts could not be read is built by a later run.
    installation_due = session_->FillInstallationData(installation);
    if (installation_due) {
      WriteInstallationMarker(*installed);
    } else {
      ZTRACE(tp::kInstallationDataNotFilled);
    }
  }
  if (installation_due) {
    document += BuildInstallationDocument(installation, muid_, context_.inst_uid, false);
    events.push_back(run::EventKind::kInstallation);
    preceding = true;
    SetTarget(transport::CampaignTrackUrl());
    const bool sent = SendCampaignTrack(installation, false);
    LogMessage(log, sent ? msg::kInstallTrackSent : msg::kInstallTrackFailed);
  }

  if (context_.detections_enabled && !context_.uninstall_mode) {
    hostsdk::InstallationData data;
    std::wstring detection_document;
    bool found = false;
    const bool filled = CollectDetectionEvent(data, detection_document, found);
    if (filled && config_.send_detection_track) {
      SetTarget(transport::DetectionTrackUrl());
      RecordTrackPass(SendDetectionTracks(data, log));
    } else {
      ZTRACE(tp::kDetectionTracksSkipped, filled ? 1 : 0, config_.send_detection_track ? 1 : 0);
    }
    const bool added = found && config_.send_detection_event;
    ZTRACE(tp::kDetectionEvent, found ? 1 : 0, config_.send_detection_event ? 1 : 0, added ? 1 : 0);
    if (added) {
      events.push_back(run::EventKind::kDetections);
      if (preceding) document += L",";
      document += detection_document;
      preceding = true;
    }
  } else {
    event_query_.reset();  // no detection query: the document's mark is the transfer time
    ZTRACE(tp::kDetectionStepSkipped, context_.detections_enabled ? 1 : 0,
           context_.uninstall_mode ? 1 : 0);
  }

  hostsdk::InstallationData removal;
  bool removal_filled = false;
  if (context_.uninstall_mode && session_ != nullptr) {
    removal_filled = session_->FillInstallationData(removal);
    if (!removal_filled) ZTRACE(tp::kUninstallationDataNotFilled);
  }
  if (removal_filled) {
    if (preceding) document += L",";
    document += BuildInstallationDocument(removal, muid_, context_.inst_uid, true);
    const std::wstring marker = MarkerPath();
    if (files::IsExistingFile(marker) && ::DeleteFileW(marker.c_str())) {
      ZTRACE(tp::kMarkerDeleted, marker);
    }
    // Emptied, not removed (keys are never removed): the next installation in its window
    // is reported again.
    run::WriteStateKey(StateFile(), run::kEvt1Section, run::kInstDateTimeKey, L"");
    ZTRACE(tp::kInstallationDateCleared);
    events.push_back(run::EventKind::kUninstallation);
    SetTarget(transport::CampaignTrackUrl());
    const bool sent = SendCampaignTrack(removal, true);
    LogMessage(log, sent ? msg::kUninstallTrackSent : msg::kUninstallTrackFailed);
  }

  document += L"]}";
  if (events.empty()) document.clear();  // no document for a run without events
  ZTRACE(tp::kEventList, EventListText(events), static_cast<std::int32_t>(document.size()));

  (void)CheckVpnTraffic(host, config.vpn_event_100, config.vpn_event_80);
  return true;
}

std::optional<std::wstring> EventTracker::InstallationWindow() const {
  if (session_ == nullptr) return std::nullopt;
  const std::wstring installed = session_->InstallationDateText();
  if (installed.empty()) {
    ZTRACE(tp::kInstallationTimeUnread);
    return std::nullopt;
  }
  const auto installed_ticks = run::ParseStateTime(installed);
  if (!installed_ticks) {
    ZTRACE(tp::kInstallationTimeInvalid, installed);
    return std::nullopt;
  }
  const std::wstring marker = MarkerPath();
  const run::FileTimeTicks utc_now = UtcNowTicks();
  const bool marker_exists = files::IsExistingFile(marker);
  const bool due = InstallationEventDue(*installed_ticks, utc_now, marker_exists);
  ZTRACE(tp::kInstallationWindow, installed, UtcTicksText(utc_now),
         static_cast<std::int32_t>(
             std::min<std::uint64_t>(run::WholeDaysBetween(*installed_ticks, utc_now), INT32_MAX)),
         marker_exists ? 1 : 0, due ? 1 : 0);
  if (!due) return std::nullopt;
  return installed;
}

void EventTracker::WriteInstallationMarker(const std::wstring& installed) const {
  const std::wstring marker = MarkerPath();
  if (!files::WriteBytes(marker, text::ToSingleByte(installed), files::WriteMode::kTruncate)) {
    ZTRACE(tp::kMarkerNotWritten, marker);
  }
}

hostsdk::OleDate EventTracker::DetectionStart(std::wstring_view mark) const {
  const auto utc = LastExecUtc(mark);
  if (!utc) return hostsdk::OleDate::FromDouble(0.0);
  // The marks are UTC; the SDK's report times and the query's "now" are local time.
  const hostsdk::OleDate local = hostsdk::UtcToLocalDate(*utc);
  return local.valid() ? local : hostsdk::OleDate::FromDouble(0.0);
}

std::wstring_view EventTracker::TrackMarkText() const {
  std::optional<std::wstring_view> last_track;
  if (config_.has_last_track) last_track = config_.last_track.data();
  return TrackPeriodMark(last_track, config_.last_exec.data());
}

bool EventTracker::CollectDetectionEvent(hostsdk::InstallationData& data, std::wstring& document,
                                         bool& found) {
  event_query_ = hostsdk::QueryCoverage{};  // the step is taken; covers nothing yet
  if (session_ == nullptr) return false;
  const std::wstring last_exec(config_.last_exec.data());
  const hostsdk::OleDate start = DetectionStart(last_exec);
  ZTRACE(tp::kDetectionStart, last_exec, LocalStartText(start));
  if (!session_->FillInstallationData(data)) {
    ZTRACE(tp::kDetectionDataNotFilled);
    return false;
  }
  std::vector<hostsdk::DetectionRecord> detections;
  const auto max_age_days = static_cast<std::int32_t>(config_.expiration_days);
  TraceDetectionQuery(kEventSelectionName, start, max_age_days, config_.event_filters);
  // Only the list matters: records found before an error are reported too.
  const bool completed = session_->DetectionQuery(start, max_age_days, config_.event_filters,
                                                  detections, &*event_query_);
  ZTRACE(tp::kDetectionQueryResult, kEventSelectionName, completed ? 1 : 0,
         static_cast<std::int32_t>(detections.size()));
  if (!detections.empty()) {
    found = true;
    document = BuildDetectionDocument(detections, muid_, context_.inst_uid);
  }
  return true;
}

bool EventTracker::SendCampaignTrack(const hostsdk::InstallationData& data, bool uninstall) {
  const wchar_t* event_type = uninstall ? kUninstallEventType : kInstallEventType;
  transport::CampaignTracker* tracker = EnsureTracker();
  if (tracker == nullptr) {
    ZTRACE(tp::kTrackerUnavailable, event_type);
    return false;
  }
  const bool sent = Send(*tracker, CampaignTrack(data, uninstall, TrackValues()));
  if (sent) {
    ZTRACE(tp::kTrackSent, event_type);
  } else {
    ZTRACE(tp::kTrackFailed, event_type);
  }
  if (context_.dump_enabled) WriteTrackReport(data, event_type, sent, nullptr);
  return sent;
}

EventTracker::TrackPass EventTracker::SendDetectionTracks(const hostsdk::InstallationData& data,
                                                          TestLog& log) {
  TrackPass pass;
  transport::CampaignTracker* tracker = EnsureTracker();
  if (tracker == nullptr) ZTRACE(tp::kTrackerUnavailable, kDetectionEventType);
  if (tracker == nullptr || session_ == nullptr) return pass;
  std::vector<hostsdk::DetectionRecord> detections;
  const std::wstring mark(TrackMarkText());
  const hostsdk::OleDate start = DetectionStart(mark);
  ZTRACE(tp::kTrackStart, mark, LocalStartText(start));
  const auto max_age_days = static_cast<std::int32_t>(config_.expiration_days);
  TraceDetectionQuery(kTrackSelectionName, start, max_age_days, config_.track_filters);
  bool result =
      session_->DetectionQuery(start, max_age_days, config_.track_filters, detections, &pass.query);
  ZTRACE(tp::kDetectionQueryResult, kTrackSelectionName, result ? 1 : 0,
         static_cast<std::int32_t>(detections.size()));
  pass.all_sent = true;
  if (result) {
    ZTRACE(tp::kDetectionTrackWalk, static_cast<std::int32_t>(detections.size()),
           static_cast<std::int32_t>(std::min(detections.size(), kMaxDetectionTracks)));
    for (std::size_t i = 0; i < detections.size() && i < kMaxDetectionTracks; ++i) {
      const hostsdk::DetectionRecord& detection = detections[i];
      const auto number = static_cast<std::int32_t>(i + 1);
      if (!Send(*tracker, DetectionTrack(data, detection, TrackValues()))) {
        ZTRACE(tp::kDetectionTrackFailed, number, detection.detection_id, detection.malware_id,
               hostsdk::FormatDate(detection.report_time));
        LogError(log, msg::kDetectionTrackFailed);
        result = false;
        pass.all_sent = false;
        break;
      }
      ZTRACE(tp::kDetectionTrackSent, number, detection.detection_id, detection.malware_id,
             hostsdk::FormatDate(detection.report_time));
    }
  }
  if (context_.dump_enabled) WriteTrackReport(data, kDetectionEventType, result, &detections);
  return pass;
}

void EventTracker::RecordTrackPass(const TrackPass& pass) const {
  if (const auto mark = TrackMark(pass.query, pass.all_sent)) {
    const std::wstring text = run::FormatStateTime(*mark);
    run::WriteStateKey(StateFile(), run::kGlobalSection, run::kLastTrackKey, text);
    ZTRACE(tp::kLastTrackWritten, text);
    return;
  }
  ZTRACE(tp::kLastTrackKept);
  if (!config_.has_last_track) {
    const std::wstring start(TrackMarkText());
    run::WriteStateKey(StateFile(), run::kGlobalSection, run::kLastTrackKey, start);
    ZTRACE(tp::kLastTrackPinned, start);
  }
}

bool EventTracker::SendPreviousUninstallTrack() {
  transport::CampaignTracker* tracker = EnsureTracker();
  if (tracker == nullptr) {
    ZTRACE(tp::kTrackerUnavailable, kPreviousUninstallEventType);
    return false;
  }
  tracker->SetTargetUrl(transport::CampaignTrackUrl());

  PreviousSetup previous;
  if (const auto uids = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kUidsKey, KEY_QUERY_VALUE)) {
    previous.muid = uids->ReadString(setup::kMuidValue, kSetupTextBytesCapacity);
    if (previous.muid) muid_ = *previous.muid;
  }
  if (const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kSetupKey, KEY_QUERY_VALUE)) {
    if (const auto code = key->ReadDword(setup::kMainProductIdValue)) {
      previous.main_product_id = static_cast<std::int32_t>(*code);
    }
    if (const auto type = key->ReadDword(setup::kVersionTypeValue)) {
      previous.version_type = static_cast<std::int32_t>(*type);
    }
    previous.custom_id = key->ReadString(setup::kCustomIdValue, kSetupTextBytesCapacity);
  }
  const bool sent = Send(*tracker, PreviousUninstallTrack(previous, context_.inst_uid));
  if (sent) {
    ZTRACE(tp::kTrackSent, kPreviousUninstallEventType);
  } else {
    ZTRACE(tp::kTrackFailed, kPreviousUninstallEventType);
  }
  // The registry values are the track's own: the report shows an empty installation.
  if (context_.dump_enabled) {
    WriteTrackReport(hostsdk::InstallationData{}, kPreviousUninstallEventType, sent, nullptr);
  }
  return sent;
}

void EventTracker::WriteTrackReport(const hostsdk::InstallationData& data,
                                    const wchar_t* event_type, bool track_ok,
                                    const std::vector<hostsdk::DetectionRecord>* detections) {
  const std::wstring path = context_.dump_folder + TrackReportFileName(event_type);
  const std::string bytes = text::ToTextModeLineEnds(text::ToSingleByte(
      BuildTrackReport(data, muid_, context_.inst_uid, event_type, track_ok, detections)));
  (void)files::WriteBytes(path, bytes, files::WriteMode::kTruncate);
}

}  // namespace zentrak::tracking
