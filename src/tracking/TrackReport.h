// The plain-text report of one track, written to the dump folder when dumping is on.
// Portable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hostsdk/DetectionRecord.h"
#include "hostsdk/InstallationData.h"

namespace zentrak::tracking {

// The report lists at most this many detections, the ones that were tracked.
inline constexpr std::size_t kMaxReportDetections = 10;

// Event types of the tracks, as the report and the track fields carry them.
inline constexpr wchar_t kInstallEventType[] = L"install";
inline constexpr wchar_t kUninstallEventType[] = L"unins";
inline constexpr wchar_t kDetectionEventType[] = L"detection";
inline constexpr wchar_t kPreviousUninstallEventType[] = L"unins_prev";

// Every line ends with carriage return and line feed.
[[nodiscard]] std::wstring BuildTrackReport(
    const hostsdk::InstallationData& data, std::wstring_view muid, std::wstring_view inst_uid,
    std::wstring_view event_type, bool track_ok,
    const std::vector<hostsdk::DetectionRecord>* detections);

// "\Zentrak_Install.txt" and the others, by event type; empty for an unknown type.
[[nodiscard]] std::wstring TrackReportFileName(std::wstring_view event_type);

}  // namespace zentrak::tracking
