// Every trace point of the run sequence and service wait units, in one place: number,
// level, wording and argument types. All use flag 1.
#pragma once

#include "support/Trace.h"

namespace zentrak::run::tp {

using trace::kLevelError;
using trace::kLevelInfo;
using trace::kLevelVerbose;
using trace::Point;
using trace::Unit;
using T = trace::ArgType;

template <T... Args>
constexpr auto Run(std::uint16_t number, std::uint8_t level, const char* text) {
  return trace::MakePoint<Args...>(Unit::kRun, number, 1, level, text);
}
template <T... Args>
constexpr auto Service(std::uint16_t number, std::uint8_t level, const char* text) {
  return trace::MakePoint<Args...>(Unit::kService, number, 1, level, text);
}

// Run sequence.
inline constexpr auto kProviderRegistered = Run<>(10, kLevelInfo, "trace provider registered");
inline constexpr auto kAnotherInstance =
    Run<>(11, kLevelInfo, "another copy of the program is running: this run stops");
inline constexpr auto kServiceWaitFailed =
    Run<>(12, kLevelInfo, "the host service is not running after the wait: this run stops");
inline constexpr auto kNoActivationContext =
    Run<>(13, kLevelInfo, "no activation context for the host SDK: this run stops");
inline constexpr auto kStartupSettingsRead = Run<>(14, kLevelInfo, "start-up settings read");
inline constexpr auto kStateAndConfigLoaded =
    Run<>(15, kLevelInfo, "run state and event configuration loaded");
inline constexpr auto kUninstallBranch = Run<>(16, kLevelInfo, "uninstall mode");
inline constexpr auto kPreviousUninstallTrackFailed =
    Run<>(17, kLevelInfo, "the track of the previous uninstallation was not sent");
inline constexpr auto kProxyHandedToTracker =
    Run<>(18, kLevelInfo, "proxy settings handed to the campaign tracker");
inline constexpr auto kProcessEventsSucceeded =
    Run<>(19, kLevelError, "event tracking finished its decisions");
inline constexpr auto kDocumentText = Run<T::kWide>(20, kLevelInfo, "event document: %1");
inline constexpr auto kTransferSucceeded = Run<>(21, kLevelError, "event document transferred");
inline constexpr auto kTransferFailed =
    Run<>(22, kLevelError, "event document not transferred: lastExec stays as it was");
inline constexpr auto kLockWaitForUninstall = Run<T::kInt32>(
    70, kLevelInfo, "another copy holds the lock: the uninstallation waits for it, up to %1 s");
inline constexpr auto kLockTakenAfterWait =
    Run<T::kInt32>(71, kLevelInfo, "the lock is free after %1 ms: the uninstallation runs");
inline constexpr auto kDocumentNotWritten = Run<T::kWide>(
    72, kLevelError,
    "event document %1 could not be written whole: not transferred, nothing recorded");
inline constexpr auto kLastExecWritten =
    Run<T::kWide>(73, kLevelInfo, "lastExec %1 (UTC) written for the delivered document");
inline constexpr auto kFetchedConfigRejected = Run<T::kWide, T::kWide>(
    76, kLevelError,
    "the fetched configuration has digest %1, not the expected %2: not used, fetch failed");
inline constexpr auto kLockSquatted = Run<T::kWide>(
    77, kLevelError,
    "the lock's mutex was made by %1, not by a copy of this program: the lock file is used");
inline constexpr auto kDllSearchNarrowed = Run<T::kInt32>(
    78, kLevelInfo,
    "DLL search narrowed to the program's folder and System32 %1 (0: only the current folder "
    "left out)");
inline constexpr auto kFolderRefused = Run<T::kWide>(
    75, kLevelError,
    "folder %1 is a link, not a local path, missing, or not owned by SYSTEM, Administrators, "
    "TrustedInstaller or this program's user: not used");
inline constexpr auto kLastExecKept =
    Run<>(74, kLevelError,
          "the run's detection query did not finish: lastExec kept, its detections come again");
inline constexpr auto kBackupFolder =
    Run<T::kWide>(23, kLevelInfo, "copying the event document to the backup folder %1");
inline constexpr auto kNoEventToTransfer =
    Run<>(24, kLevelError, "no event is due: no event document");
inline constexpr auto kTransferBlockFinished = Run<>(25, kLevelError, "transfer step finished");
inline constexpr auto kEndOfRun = Run<>(26, kLevelInfo, "end of the run");
inline constexpr auto kEnvironmentVariableMissing = Run<T::kWide>(
    27, kLevelError, "environment variable %1 is not set or too long: no event configuration");
inline constexpr auto kLocalConfigDigest =
    Run<T::kWide>(32, kLevelError, "local configuration copy found, digest %1");
inline constexpr auto kLocalConfigCurrent =
    Run<>(33, kLevelError, "local configuration copy is current");
inline constexpr auto kLocalConfigStale = Run<T::kWide, T::kWide>(
    34, kLevelError, "local configuration copy is stale: local digest %1, expected %2");
inline constexpr auto kEventFilterRead = Run<T::kInt32, T::kInt32>(
    35, kLevelError, "DetectionsToEvent entry: MalwareID %1, DetectionID %2 (-1: any)");
inline constexpr auto kSendDetectionEventRead =
    Run<T::kNarrow>(36, kLevelError, "SendDetectionEvent is %1");
inline constexpr auto kVpnEvent80Read = Run<T::kNarrow>(37, kLevelError, "VPNEvent80 is %1");
inline constexpr auto kVpnEvent100Read = Run<T::kNarrow>(38, kLevelError, "VPNEvent100 is %1");
inline constexpr auto kTrackFilterRead = Run<T::kInt32, T::kInt32>(
    39, kLevelError, "DetectionsToTrack entry: MalwareID %1, DetectionID %2 (-1: any)");
inline constexpr auto kSendDetectionTrackRead =
    Run<T::kNarrow>(40, kLevelError, "SendDetectionTrack is %1");
inline constexpr auto kExpirationDaysRead = Run<>(41, kLevelError, "reading ExpirationDays");
inline constexpr auto kUnknownConfigMember = Run<T::kNarrow>(
    42, kLevelError, "unknown configuration member %1: the configuration is not valid");
inline constexpr auto kConfigParsed =
    Run<T::kInt32>(43, kLevelError, "event configuration read, valid %1 (1 yes, 0 no)");
inline constexpr auto kRepositoryCreated =
    Run<T::kWide>(28, kLevelError, "repository folder created: %1");
inline constexpr auto kRepositoryNotCreated =
    Run<>(29, kLevelError, "repository folder could not be created");
inline constexpr auto kRepositoryExists =
    Run<T::kWide>(30, kLevelError, "repository folder exists: %1");
inline constexpr auto kNoCommonAppData =
    Run<>(31, kLevelError, "the common application data folder is unknown");
inline constexpr auto kDocumentStampFailed =
    Run<T::kHex32>(44, kLevelError, "document time stamp could not be built, last error %1");
inline constexpr auto kBackupLookup = Run<>(45, kLevelInfo, "looking for the backup folder");
inline constexpr auto kBackupKeyNotOpened =
    Run<T::kWide>(46, kLevelError, "backup key HKLM\\%1 could not be opened: no backup");
inline constexpr auto kBackupValueNotRead =
    Run<T::kWide>(49, kLevelError, "backup value %1 could not be read: no backup");
inline constexpr auto kBackupEnabled = Run<T::kWide>(50, kLevelInfo, "backup enabled: %1");
inline constexpr auto kProxyServerRead = Run<T::kWide>(52, kLevelInfo, "proxy server: %1");
inline constexpr auto kProxyUserRead = Run<T::kWide>(53, kLevelInfo, "proxy user: %1");
// The argument is a fixed mask, never the password.
inline constexpr auto kProxyPasswordRead = Run<T::kWide>(54, kLevelInfo, "proxy password read: %1");
inline constexpr auto kInstUidRead = Run<T::kWide>(55, kLevelError, "InstUID: %1");
inline constexpr auto kInstUidNotRead = Run<>(56, kLevelError, "InstUID could not be read");
inline constexpr auto kWaitingForService =
    Run<>(57, kLevelInfo, "the host service is not running yet: waiting up to 300 s");
inline constexpr auto kServiceDoesNotExist =
    Run<>(58, kLevelInfo, "the host service does not exist: no wait");
inline constexpr auto kServiceCheckBegins = Run<>(59, kLevelInfo, "checking the host service");
inline constexpr auto kServiceStopped = Run<>(60, kLevelInfo, "the host service is stopped");
inline constexpr auto kServiceStartPending = Run<>(61, kLevelInfo, "the host service is starting");
inline constexpr auto kServiceStopPending = Run<>(62, kLevelInfo, "the host service is stopping");
inline constexpr auto kServiceContinuePending =
    Run<>(63, kLevelInfo, "the host service is continuing");
inline constexpr auto kServicePausePending = Run<>(64, kLevelInfo, "the host service is pausing");
inline constexpr auto kServicePaused = Run<>(65, kLevelInfo, "the host service is paused");
inline constexpr auto kServiceStateOther =
    Run<>(66, kLevelInfo, "the host service is not running (state unknown or unreadable)");
inline constexpr auto kServiceRunning = Run<>(67, kLevelInfo, "the host service is running");

// Service wait.
inline constexpr auto kScmAccessDenied =
    Service<>(12, kLevelVerbose, "the service control manager refused access");
inline constexpr auto kServiceStatusRead =
    Service<T::kInt32>(13, kLevelVerbose, "host service state %1 (4: running)");
inline constexpr auto kServiceQueryFailed =
    Service<T::kInt32>(14, kLevelVerbose, "host service status query failed, error %1");
inline constexpr auto kServiceOpenFailed =
    Service<T::kInt32>(15, kLevelVerbose, "host service could not be opened, error %1");

// Every point of each unit, for the format files of the platform's trace tools.
inline constexpr Point kRunPoints[] = {
    kProviderRegistered,
    kAnotherInstance,
    kServiceWaitFailed,
    kNoActivationContext,
    kStartupSettingsRead,
    kStateAndConfigLoaded,
    kUninstallBranch,
    kPreviousUninstallTrackFailed,
    kProxyHandedToTracker,
    kProcessEventsSucceeded,
    kDocumentText,
    kTransferSucceeded,
    kTransferFailed,
    kBackupFolder,
    kNoEventToTransfer,
    kTransferBlockFinished,
    kEndOfRun,
    kEnvironmentVariableMissing,
    kLocalConfigDigest,
    kLocalConfigCurrent,
    kLocalConfigStale,
    kEventFilterRead,
    kSendDetectionEventRead,
    kVpnEvent80Read,
    kVpnEvent100Read,
    kTrackFilterRead,
    kSendDetectionTrackRead,
    kExpirationDaysRead,
    kUnknownConfigMember,
    kConfigParsed,
    kRepositoryCreated,
    kRepositoryNotCreated,
    kRepositoryExists,
    kNoCommonAppData,
    kDocumentStampFailed,
    kBackupLookup,
    kBackupKeyNotOpened,
    kBackupValueNotRead,
    kBackupEnabled,
    kProxyServerRead,
    kProxyUserRead,
    kProxyPasswordRead,
    kInstUidRead,
    kInstUidNotRead,
    kWaitingForService,
    kServiceDoesNotExist,
    kServiceCheckBegins,
    kServiceStopped,
    kServiceStartPending,
    kServiceStopPending,
    kServiceContinuePending,
    kServicePausePending,
    kServicePaused,
    kServiceStateOther,
    kServiceRunning,
    kLockWaitForUninstall,
    kLockTakenAfterWait,
    kDocumentNotWritten,
    kLastExecWritten,
    kLastExecKept,
    kFolderRefused,
    kFetchedConfigRejected,
    kLockSquatted,
    kDllSearchNarrowed,
};
inline constexpr Point kServicePoints[] = {kScmAccessDenied, kServiceStatusRead,
                                           kServiceQueryFailed, kServiceOpenFailed};

}  // namespace zentrak::run::tp
