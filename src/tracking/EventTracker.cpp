#include "tracking/EventTracker.h"

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <memory>
#include <optional>

#include "hostsdk/ConfigItems.h"
#include "run/RunState.h"
#include "run/StateTime.h"
#include "support/Registry.h"
#include "support/SetupRegistry.h"
#include "support/Text.h"
#include "tracking/Decisions.h"
#include "tracking/Documents.h"
#include "tracking/Messages.h"
#include "tracking/TrackReport.h"
#include "transport/CampaignTracker.h"
#include "transport/Endpoints.h"

namespace zentrak::tracking {
namespace {

constexpr wchar_t kInstUidParameter[] = L"InstUID";
constexpr wchar_t kFileVersionParameter[] = L"File_Version";
constexpr wchar_t kProductIdParameter[] = L"ProductID";
constexpr wchar_t kDetectionIdParameter[] = L"DetectionID";
constexpr wchar_t kMalwareIdParameter[] = L"MalwareID";
constexpr wchar_t kDateTimeParameter[] = L"DateTime";
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

run::FileTimeTicks NowTicks() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<run::FileTimeTicks>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The C library's reading of a number's leading decimal digits.
std::int32_t LeadingDecimal(const std::wstring& text) {
  return static_cast<std::int32_t>(std::wcstol(text.c_str(), nullptr, 10));
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

std::wstring EventTracker::StateFile() const { return run::StateFilePath(repository_folder_); }

bool EventTracker::ProcessEvents(run::EventList& events, std::wstring& document,
                                 run::EventConfig& config, TestLog& log,
                                 const hostsdk::HostEntry& host) {
  events.clear();
  document = L"{\"DeviceEvents\":[";
  bool preceding = false;

  hostsdk::InstallationData installation;
  if (session_ != nullptr && config_.installation_date.empty() && InstallationWindow() &&
      session_->FillInstallationData(installation)) {
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
    if (CollectDetectionEvent(data, detection_document, found) && config_.send_detection_track) {
      SetTarget(transport::DetectionTrackUrl());
      if (SendDetectionTracks(data, log)) {
        run::WriteStateKey(StateFile(), run::kGlobalSection, run::kLastExecKey,
                           run::NowStateTimeText());
      }
    }
    if (found && config_.send_detection_event) {
      events.push_back(run::EventKind::kDetections);
      if (preceding) document += L",";
      document += detection_document;
      preceding = true;
    }
  }

  hostsdk::InstallationData removal;
  if (context_.uninstall_mode && session_ != nullptr && session_->FillInstallationData(removal)) {
    if (preceding) document += L",";
    document += BuildInstallationDocument(removal, muid_, context_.inst_uid, true);
    const std::wstring marker = repository_folder_ + L"\\" + kInstallationMarkerName;
    if (run::IsExistingFile(marker)) ::DeleteFileW(marker.c_str());
    events.push_back(run::EventKind::kUninstallation);
    SetTarget(transport::CampaignTrackUrl());
    const bool sent = SendCampaignTrack(removal, true);
    LogMessage(log, sent ? msg::kUninstallTrackSent : msg::kUninstallTrackFailed);
  }

  document += L"]}";
  if (events.empty()) document.clear();  // no document for a run without events

  (void)CheckVpnTraffic(host, config.vpn_event_100, config.vpn_event_80);
  return true;
}

bool EventTracker::InstallationWindow() {
  if (session_ == nullptr) return false;
  const std::wstring installed = session_->InstallationDateText();
  if (installed.empty()) return false;
  const auto installed_ticks = run::ParseStateTime(installed);
  if (!installed_ticks) return false;
  const std::wstring marker = repository_folder_ + L"\\" + kInstallationMarkerName;
  if (!InstallationEventDue(*installed_ticks, NowTicks(), run::IsExistingFile(marker))) {
    return false;
  }
  // Built once: a later run never builds a second installation event, delivered or not.
  std::ofstream out(marker.c_str(), std::ios::binary | std::ios::trunc);
  const std::string bytes = text::ToSingleByte(installed);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return true;
}

hostsdk::OleDate EventTracker::DetectionStart() const {
  return hostsdk::OleDate::FromDouble(DetectionStartDate(config_.last_exec.data()));
}

bool EventTracker::CollectDetectionEvent(hostsdk::InstallationData& data, std::wstring& document,
                                         bool& found) {
  if (session_ == nullptr) return false;
  const hostsdk::OleDate start = DetectionStart();
  if (!session_->FillInstallationData(data)) return false;
  std::vector<hostsdk::DetectionRecord> detections;
  // Only the list matters: records found before an error are reported too.
  (void)session_->DetectionQuery(start, static_cast<std::int32_t>(config_.expiration_days),
                                 config_.event_filters, detections);
  if (!detections.empty()) {
    found = true;
    document = BuildDetectionDocument(detections, muid_, context_.inst_uid);
  }
  return true;
}

bool EventTracker::SendCampaignTrack(const hostsdk::InstallationData& data, bool uninstall) {
  transport::CampaignTracker* tracker = EnsureTracker();
  if (tracker == nullptr) return false;
  const wchar_t* event_type = uninstall ? kUninstallEventType : kInstallEventType;
  tracker->SetCustomId(data.custom_id);
  tracker->SetMachineId(muid_);
  tracker->SetProductCode(data.product_code);
  tracker->SetSuiteVersion(data.suite_version);
  tracker->SetProductType(data.product_type);
  tracker->SetEventType(event_type);
  if (!context_.inst_uid.empty()) tracker->AddParameter(kInstUidParameter, context_.inst_uid);
  if (!context_.file_version.empty()) {
    tracker->AddParameter(kFileVersionParameter, context_.file_version);
  }
  tracker->AddParameter(kProductIdParameter, data.product_code);
  const bool sent = tracker->Send();
  if (context_.dump_enabled) WriteTrackReport(data, event_type, sent, nullptr);
  return sent;
}

bool EventTracker::SendDetectionTracks(const hostsdk::InstallationData& data, TestLog& log) {
  transport::CampaignTracker* tracker = EnsureTracker();
  if (tracker == nullptr || session_ == nullptr) return false;
  std::vector<hostsdk::DetectionRecord> detections;
  bool result = session_->DetectionQuery(
      DetectionStart(), static_cast<std::int32_t>(config_.expiration_days), config_.track_filters,
      detections);
  if (result) {
    for (std::size_t i = 0; i < detections.size() && i < kMaxDetectionTracks; ++i) {
      const hostsdk::DetectionRecord& detection = detections[i];
      tracker->SetCustomId(data.custom_id);
      tracker->SetMachineId(muid_);
      tracker->SetProductCode(data.product_code);
      tracker->SetSuiteVersion(data.suite_version);
      tracker->SetProductType(data.product_type);
      tracker->SetEventType(kDetectionEventType);
      tracker->AddParameter(kProductIdParameter, data.product_code);
      if (!context_.inst_uid.empty()) tracker->AddParameter(kInstUidParameter, context_.inst_uid);
      if (!context_.file_version.empty()) {
        tracker->AddParameter(kFileVersionParameter, context_.file_version);
      }
      tracker->AddParameter(kDetectionIdParameter, detection.detection_id);
      tracker->AddParameter(kMalwareIdParameter, detection.malware_id);
      tracker->AddParameter(kDateTimeParameter, hostsdk::FormatDate(detection.report_time));
      if (!tracker->Send()) {
        LogError(log, msg::kDetectionTrackFailed);
        result = false;
        break;
      }
    }
  }
  if (context_.dump_enabled) WriteTrackReport(data, kDetectionEventType, result, &detections);
  return result;
}

bool EventTracker::SendPreviousUninstallTrack() {
  transport::CampaignTracker* tracker = EnsureTracker();
  if (tracker == nullptr) return false;
  tracker->SetTargetUrl(transport::CampaignTrackUrl());

  std::optional<std::int32_t> main_product;
  if (const auto uids = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kUidsKey, KEY_QUERY_VALUE)) {
    if (auto muid = uids->ReadString(setup::kMuidValue, kSetupTextBytesCapacity)) {
      muid_ = std::move(*muid);
      tracker->SetMachineId(muid_);
    }
  }
  if (const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kSetupKey, KEY_QUERY_VALUE)) {
    if (const auto code = key->ReadDword(setup::kMainProductIdValue)) {
      main_product = static_cast<std::int32_t>(*code);
      tracker->SetProductCode(*main_product);
    }
    if (const auto type = key->ReadDword(setup::kVersionTypeValue)) {
      tracker->SetProductType(static_cast<std::int32_t>(*type));
    }
    if (const auto custom = key->ReadString(setup::kCustomIdValue, kSetupTextBytesCapacity)) {
      tracker->SetCustomId(LeadingDecimal(*custom));
    }
  }
  tracker->SetEventType(kPreviousUninstallEventType);
  if (!context_.inst_uid.empty()) tracker->AddParameter(kInstUidParameter, context_.inst_uid);
  tracker->AddParameter(kProductIdParameter, main_product.value_or(0));
  const bool sent = tracker->Send();
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
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zentrak::tracking
