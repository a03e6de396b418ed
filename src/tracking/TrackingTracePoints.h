// Every trace point of the event tracking unit, in one place: each decision of the
// dispatcher and of the VPN traffic check, with the values behind it. Values at verbose
// level, failures at error level; all use flag 2.
#pragma once

#include "support/Trace.h"

namespace zentrak::tracking::tp {

using trace::kLevelError;
using trace::kLevelVerbose;
using trace::Point;
using T = trace::ArgType;

template <T... Args>
constexpr auto Tracking(std::uint16_t number, std::uint8_t level, const char* text) {
  return trace::MakePoint<Args...>(trace::Unit::kTracking, number, 2, level, text);
}

// Installation step.
inline constexpr auto kNoSession =
    Tracking<>(10, kLevelVerbose, "no host SDK session: no installation event");
inline constexpr auto kInstallationDelivered = Tracking<T::kWide>(
    11, kLevelVerbose, "installation event already delivered (instDateTime %1): not due");
inline constexpr auto kInstallationTimeUnread =
    Tracking<>(12, kLevelError, "the SDK gave no installation time: installation event not due");
inline constexpr auto kInstallationTimeInvalid = Tracking<T::kWide>(
    13, kLevelError, "installation time %1 is not a valid time: installation event not due");
inline constexpr auto kInstallationWindow =
    Tracking<T::kWide, T::kWide, T::kInt32, T::kInt32, T::kInt32>(
        14, kLevelVerbose,
        "installation window: installed %1, now %2 (UTC), %3 whole days apart, marker "
        "present %4, due %5");
inline constexpr auto kMarkerNotWritten =
    Tracking<T::kWide>(15, kLevelError, "installation marker %1 could not be written");
inline constexpr auto kInstallationDataNotFilled =
    Tracking<>(16, kLevelError, "installation facts could not be read: no installation event");

// Tracks.
inline constexpr auto kTrackerUnavailable =
    Tracking<T::kWide>(20, kLevelError, "no campaign tracker: %1 track not sent");
inline constexpr auto kTrackSent = Tracking<T::kWide>(21, kLevelVerbose, "%1 track sent");
inline constexpr auto kTrackFailed = Tracking<T::kWide>(22, kLevelError, "%1 track not sent");
inline constexpr auto kDetectionTrackSent = Tracking<T::kInt32, T::kInt32, T::kInt32, T::kWide>(
    23, kLevelVerbose, "detection track %1 sent: DetectionID %2, MalwareID %3, DateTime %4");
inline constexpr auto kDetectionTrackFailed = Tracking<T::kInt32, T::kInt32, T::kInt32, T::kWide>(
    24, kLevelError,
    "detection track %1 not sent: DetectionID %2, MalwareID %3, DateTime %4; no more tracks");

// Detection step.
inline constexpr auto kDetectionStepSkipped = Tracking<T::kInt32, T::kInt32>(
    30, kLevelVerbose, "detection step skipped: detections enabled %1, uninstall mode %2");
inline constexpr auto kDetectionStart =
    Tracking<T::kWide, T::kWide>(31, kLevelVerbose, "detections since lastExec %1 (UTC): start %2");
inline constexpr auto kDetectionQuery = Tracking<T::kNarrow, T::kWide, T::kInt32, T::kInt32>(
    32, kLevelVerbose,
    "detection query for the %1 selection: start %2, maximum age %3 days, %4 entries");
inline constexpr auto kSelectionEntry = Tracking<T::kNarrow, T::kInt32, T::kInt32>(
    33, kLevelVerbose, "%1 selection entry: MalwareID %2, DetectionID %3 (-1: any)");
inline constexpr auto kDetectionQueryResult = Tracking<T::kNarrow, T::kInt32, T::kInt32>(
    34, kLevelVerbose, "detection query for %1 done: succeeded %2, %3 records");
inline constexpr auto kDetectionDataNotFilled = Tracking<>(
    35, kLevelError, "installation facts could not be read: no detection event or tracks");
inline constexpr auto kDetectionEvent = Tracking<T::kInt32, T::kInt32, T::kInt32>(
    36, kLevelVerbose,
    "detection event: detections found %1, SendDetectionEvent %2, added to the document %3");
inline constexpr auto kDetectionTracksSkipped = Tracking<T::kInt32, T::kInt32>(
    37, kLevelVerbose, "detection tracks skipped: facts read %1, SendDetectionTrack %2");
inline constexpr auto kDetectionTrackWalk = Tracking<T::kInt32, T::kInt32>(
    38, kLevelVerbose, "detection tracks: %1 records, %2 walked (at most 10)");
inline constexpr auto kLastTrackWritten = Tracking<T::kWide>(
    39, kLevelVerbose, "lastTrack %1 (UTC) written: the end of the track query, every track sent");
inline constexpr auto kLastTrackKept = Tracking<>(
    40, kLevelVerbose, "a detection track not sent or the track query unfinished: lastTrack kept");
inline constexpr auto kLastTrackPinned = Tracking<T::kWide>(
    41, kLevelVerbose, "lastTrack set to the tracks' start %1 (UTC; empty: the installation)");
inline constexpr auto kTrackStart = Tracking<T::kWide, T::kWide>(
    42, kLevelVerbose, "detection tracks since lastTrack %1 (UTC): start %2");

// Uninstallation step.
inline constexpr auto kUninstallationDataNotFilled =
    Tracking<>(50, kLevelError, "installation facts could not be read: no uninstallation event");
inline constexpr auto kMarkerDeleted =
    Tracking<T::kWide>(51, kLevelVerbose, "installation marker %1 deleted");
inline constexpr auto kInstallationDateCleared =
    Tracking<>(52, kLevelVerbose, "instDateTime emptied: a new installation will be reported");

// The run's result.
inline constexpr auto kEventList = Tracking<T::kWide, T::kInt32>(
    55, kLevelVerbose,
    "event list [%1] (1 installation, 2 uninstallation, 3 detections), "
    "document of %2 characters");

// VPN traffic check.
inline constexpr auto kVpnState = Tracking<T::kInt32, T::kInt32, T::kInt32, T::kInt32>(
    60, kLevelVerbose,
    "VPN state: state file present %1, 80 % event last sent on day %2, 100 % event on day "
    "%3, today is day %4 (UTC)");
inline constexpr auto kVpnTrafficUnread = Tracking<T::kInt32>(
    61, kLevelError,
    "VPN traffic not read at step %1 (1 host object, 2 traffic object, 3 unlimited flag, "
    "4 remaining, 5 limit): no VPN event");
inline constexpr auto kVpnUnlimited =
    Tracking<>(62, kLevelVerbose, "VPN traffic is unlimited: no VPN event");
inline constexpr auto kVpnTraffic = Tracking<T::kNarrow, T::kNarrow>(
    63, kLevelVerbose, "VPN traffic: %1 bytes remaining of a %2 byte allowance");
inline constexpr auto kVpnDecision =
    Tracking<T::kInt32, T::kInt32, T::kInt32, T::kInt32, T::kInt32, T::kInt32>(
        64, kLevelVerbose,
        "VPN decision: switches 80 %1 and 100 %2, sent today 80 %3 and 100 %4: event %5 "
        "(0 none), 80 switch now %6");
inline constexpr auto kVpnProxyUnread =
    Tracking<>(65, kLevelError, "proxy settings unreadable: the VPN event goes directly");
inline constexpr auto kVpnPosting =
    Tracking<T::kWide, T::kWide>(66, kLevelVerbose, "posting the VPN event %1 (proxy %2)");
inline constexpr auto kVpnPostFailed =
    Tracking<>(67, kLevelError, "the VPN event could not be posted: VPN_Status unchanged");
inline constexpr auto kVpnSent =
    Tracking<T::kWide, T::kInt32>(68, kLevelVerbose, "VPN event sent: %1 set to day %2");

// Every point of the unit, for the format files of the platform's trace tools.
inline constexpr Point kPoints[] = {
    kNoSession,
    kInstallationDelivered,
    kInstallationTimeUnread,
    kInstallationTimeInvalid,
    kInstallationWindow,
    kMarkerNotWritten,
    kInstallationDataNotFilled,
    kTrackerUnavailable,
    kTrackSent,
    kTrackFailed,
    kDetectionTrackSent,
    kDetectionTrackFailed,
    kDetectionStepSkipped,
    kDetectionStart,
    kDetectionQuery,
    kSelectionEntry,
    kDetectionQueryResult,
    kDetectionDataNotFilled,
    kDetectionEvent,
    kDetectionTracksSkipped,
    kDetectionTrackWalk,
    kLastTrackWritten,
    kLastTrackKept,
    kLastTrackPinned,
    kTrackStart,
    kUninstallationDataNotFilled,
    kMarkerDeleted,
    kInstallationDateCleared,
    kEventList,
    kVpnState,
    kVpnTrafficUnread,
    kVpnUnlimited,
    kVpnTraffic,
    kVpnDecision,
    kVpnProxyUnread,
    kVpnPosting,
    kVpnPostFailed,
    kVpnSent,
};

}  // namespace zentrak::tracking::tp
