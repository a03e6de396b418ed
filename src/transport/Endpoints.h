// The web addresses the program reports to: one home for their paths. The hosts are
// build settings.
#pragma once

#include <string>

#include "support/BuildSettings.h"

namespace zentrak::transport {

inline constexpr wchar_t kCampaignTrackPath[] = L"/track/campaign/details.html";
inline constexpr wchar_t kDetectionTrackPath[] = L"/track/detections/details.html";
inline constexpr wchar_t kStatisticsPostPath[] = L"/ats/post.aspx";
// The user agent of the VPN traffic post.
inline constexpr wchar_t kVpnUserAgent[] = L"Kelvo Security Events";

[[nodiscard]] inline std::wstring CampaignTrackUrl() {
  return std::wstring(L"http://") + build::kTrackingHost + kCampaignTrackPath;
}
[[nodiscard]] inline std::wstring DetectionTrackUrl() {
  return std::wstring(L"http://") + build::kTrackingHost + kDetectionTrackPath;
}
[[nodiscard]] inline std::wstring StatisticsPostUrl() {
  return std::wstring(L"http://") + build::kStatisticsHost + kStatisticsPostPath;
}

}  // namespace zentrak::transport
