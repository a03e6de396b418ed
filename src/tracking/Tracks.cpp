#include "tracking/Tracks.h"

#include <cwchar>

#include "tracking/TrackReport.h"

namespace zentrak::tracking {
namespace {

constexpr wchar_t kInstUidParameter[] = L"InstUID";
constexpr wchar_t kFileVersionParameter[] = L"File_Version";
constexpr wchar_t kProductIdParameter[] = L"ProductID";
constexpr wchar_t kDetectionIdParameter[] = L"DetectionID";
constexpr wchar_t kMalwareIdParameter[] = L"MalwareID";
constexpr wchar_t kDateTimeParameter[] = L"DateTime";

void Add(Track& track, const wchar_t* name, std::wstring_view value) {
  track.parameters.emplace_back(name, std::wstring(value));
}

void Add(Track& track, const wchar_t* name, std::int32_t value) {
  track.parameters.emplace_back(name, std::to_wstring(value));
}

void AddIfNotEmpty(Track& track, const wchar_t* name, std::wstring_view value) {
  if (!value.empty()) Add(track, name, value);
}

// The fields of the installation, uninstallation and detection tracks.
TrackFields SuiteFields(const hostsdk::InstallationData& data, std::wstring_view muid,
                        const wchar_t* event_type) {
  TrackFields fields;
  fields.product_code = data.product_code;
  fields.suite_version = data.suite_version;
  fields.product_type = data.product_type;
  fields.machine_id = std::wstring(muid);
  fields.custom_id = data.custom_id;
  fields.event_type = event_type;
  return fields;
}

}  // namespace

Track CampaignTrack(const hostsdk::InstallationData& data, bool uninstall,
                    const TrackContext& context) {
  Track track;
  track.fields =
      SuiteFields(data, context.muid, uninstall ? kUninstallEventType : kInstallEventType);
  AddIfNotEmpty(track, kInstUidParameter, context.inst_uid);
  AddIfNotEmpty(track, kFileVersionParameter, context.file_version);
  Add(track, kProductIdParameter, data.product_code);
  return track;
}

Track DetectionTrack(const hostsdk::InstallationData& data,
                     const hostsdk::DetectionRecord& detection, const TrackContext& context) {
  Track track;
  track.fields = SuiteFields(data, context.muid, kDetectionEventType);
  Add(track, kProductIdParameter, data.product_code);
  AddIfNotEmpty(track, kInstUidParameter, context.inst_uid);
  AddIfNotEmpty(track, kFileVersionParameter, context.file_version);
  Add(track, kDetectionIdParameter, detection.detection_id);
  Add(track, kMalwareIdParameter, detection.malware_id);
  Add(track, kDateTimeParameter, hostsdk::FormatDate(detection.report_time));
  return track;
}

Track PreviousUninstallTrack(const PreviousSetup& setup, std::wstring_view inst_uid) {
  Track track;
  track.fields.product_code = setup.main_product_id;
  track.fields.product_type = setup.version_type;
  track.fields.machine_id = setup.muid;
  if (setup.custom_id) {
    // The C library's reading of the text's leading decimal digits.
    track.fields.custom_id =
        static_cast<std::int32_t>(std::wcstol(setup.custom_id->c_str(), nullptr, 10));
  }
  track.fields.event_type = kPreviousUninstallEventType;
  AddIfNotEmpty(track, kInstUidParameter, inst_uid);
  Add(track, kProductIdParameter, setup.main_product_id.value_or(0));
  return track;
}

}  // namespace zentrak::tracking
