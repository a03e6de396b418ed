#include "tracking/TrackReport.h"

#include "hostsdk/OleDate.h"

namespace zentrak::tracking {

std::wstring BuildTrackReport(const hostsdk::InstallationData& data, std::wstring_view muid,
                              std::wstring_view inst_uid, std::wstring_view event_type,
                              bool track_ok,
                              const std::vector<hostsdk::DetectionRecord>* detections) {
  std::wstring text;
  auto line = [&text](std::wstring_view label, std::wstring_view value) {
    text += label;
    text += value;
    text += L"\r\n";
  };
  line(L"EventType: ", event_type);
  line(L"CustomId: ", std::to_wstring(data.custom_id));
  line(L"DeviceId: ", muid);
  line(L"ProductCode: ", std::to_wstring(data.product_code));
  line(L"Product Version: ", data.suite_version);
  line(L"Product Type: ", std::to_wstring(data.product_type));
  if (!inst_uid.empty()) line(L"Installation MUID: ", inst_uid);
  line(track_ok ? L"Track OK" : L"Track Error!!!", L"");
  if (detections != nullptr) {
    for (std::size_t i = 0; i < detections->size() && i < kMaxReportDetections; ++i) {
      const hostsdk::DetectionRecord& d = (*detections)[i];
      line(L"Detection Id: ", std::to_wstring(d.detection_id));
      line(L"Malware Id: ", std::to_wstring(d.malware_id));
      line(L"Detection datetime: ", hostsdk::FormatDate(d.report_time));
    }
  }
  return text;
}

std::wstring TrackReportFileName(std::wstring_view event_type) {
  if (event_type == kUninstallEventType) return L"\\Zentrak_Uninstall.txt";
  if (event_type == kInstallEventType) return L"\\Zentrak_Install.txt";
  if (event_type == kDetectionEventType) return L"\\Zentrak_Detection.txt";
  if (event_type == kPreviousUninstallEventType) return L"\\Zentrak_PrevUninstall.txt";
  return {};
}

}  // namespace zentrak::tracking
