// Every trace point of the run sequence and service wait units, in one place.
#pragma once

#include "support/Trace.h"

namespace zentrak::run::tp {

using trace::kLevelError;
using trace::kLevelInfo;
using trace::kLevelVerbose;
using trace::Point;
using trace::Unit;

constexpr Point Run(std::uint16_t number, std::uint8_t level) { return {Unit::kRun, number, 1, level}; }
constexpr Point Service(std::uint16_t number, std::uint8_t level) {
  return {Unit::kService, number, 1, level};
}

// Run sequence.
inline constexpr Point kProviderRegistered = Run(10, kLevelInfo);
inline constexpr Point kAnotherInstance = Run(11, kLevelInfo);
inline constexpr Point kServiceWaitFailed = Run(12, kLevelInfo);
inline constexpr Point kNoActivationContext = Run(13, kLevelInfo);
inline constexpr Point kStartupSettingsRead = Run(14, kLevelInfo);
inline constexpr Point kStateAndConfigLoaded = Run(15, kLevelInfo);
inline constexpr Point kUninstallBranch = Run(16, kLevelInfo);
inline constexpr Point kPreviousUninstallTrackFailed = Run(17, kLevelInfo);
inline constexpr Point kProxyHandedToTracker = Run(18, kLevelInfo);
inline constexpr Point kProcessEventsSucceeded = Run(19, kLevelError);
inline constexpr Point kDocumentText = Run(20, kLevelInfo);  // (text)
inline constexpr Point kTransferSucceeded = Run(21, kLevelError);
inline constexpr Point kTransferFailed = Run(22, kLevelError);
inline constexpr Point kBackupFolder = Run(23, kLevelInfo);  // (folder)
inline constexpr Point kNoEventToTransfer = Run(24, kLevelError);
inline constexpr Point kTransferBlockFinished = Run(25, kLevelError);
inline constexpr Point kEndOfRun = Run(26, kLevelInfo);
inline constexpr Point kEnvironmentVariableMissing = Run(27, kLevelError);  // (name)
inline constexpr Point kLocalConfigDigest = Run(32, kLevelError);          // (digest)
inline constexpr Point kLocalConfigCurrent = Run(33, kLevelError);
inline constexpr Point kLocalConfigStale = Run(34, kLevelError);            // (local, expected)
inline constexpr Point kEventFilterRead = Run(35, kLevelError);             // (malware, detection)
inline constexpr Point kSendDetectionEventRead = Run(36, kLevelError);      // ("true"/"false")
inline constexpr Point kVpnEvent80Read = Run(37, kLevelError);              // ("true"/"false")
inline constexpr Point kVpnEvent100Read = Run(38, kLevelError);             // ("true"/"false")
inline constexpr Point kTrackFilterRead = Run(39, kLevelError);             // (malware, detection)
inline constexpr Point kSendDetectionTrackRead = Run(40, kLevelError);      // ("true"/"false")
inline constexpr Point kExpirationDaysRead = Run(41, kLevelError);
inline constexpr Point kUnknownConfigMember = Run(42, kLevelError);         // (name)
inline constexpr Point kConfigParsed = Run(43, kLevelError);                // (1 valid, 0 not)
inline constexpr Point kRepositoryCreated = Run(28, kLevelError);           // (path)
inline constexpr Point kRepositoryNotCreated = Run(29, kLevelError);
inline constexpr Point kRepositoryExists = Run(30, kLevelError);            // (path)
inline constexpr Point kNoCommonAppData = Run(31, kLevelError);
inline constexpr Point kDocumentStampFailed = Run(44, kLevelError);         // (last error)
inline constexpr Point kBackupLookup = Run(45, kLevelInfo);
inline constexpr Point kBackupKeyNotOpened = Run(46, kLevelError);          // (key path)
inline constexpr Point kBackupValueNotRead = Run(49, kLevelError);          // (value name)
inline constexpr Point kBackupEnabled = Run(50, kLevelInfo);                // ("True"/"False")
inline constexpr Point kProxyServerRead = Run(52, kLevelInfo);              // (value)
inline constexpr Point kProxyUserRead = Run(53, kLevelInfo);                // (value)
inline constexpr Point kProxyPasswordRead = Run(54, kLevelInfo);            // (value)
inline constexpr Point kInstUidRead = Run(55, kLevelError);                 // (value)
inline constexpr Point kInstUidNotRead = Run(56, kLevelError);
inline constexpr Point kWaitingForService = Run(57, kLevelInfo);
inline constexpr Point kServiceDoesNotExist = Run(58, kLevelInfo);
inline constexpr Point kServiceCheckBegins = Run(59, kLevelInfo);
inline constexpr Point kServiceStopped = Run(60, kLevelInfo);
inline constexpr Point kServiceStartPending = Run(61, kLevelInfo);
inline constexpr Point kServiceStopPending = Run(62, kLevelInfo);
inline constexpr Point kServiceContinuePending = Run(63, kLevelInfo);
inline constexpr Point kServicePausePending = Run(64, kLevelInfo);
inline constexpr Point kServicePaused = Run(65, kLevelInfo);
inline constexpr Point kServiceStateOther = Run(66, kLevelInfo);
inline constexpr Point kServiceRunning = Run(67, kLevelInfo);

// Service wait.
inline constexpr Point kScmAccessDenied = Service(12, kLevelVerbose);
inline constexpr Point kServiceStatusRead = Service(13, kLevelVerbose);    // (state)
inline constexpr Point kServiceQueryFailed = Service(14, kLevelVerbose);   // (error code)
inline constexpr Point kServiceOpenFailed = Service(15, kLevelVerbose);    // (error code)

}  // namespace zentrak::run::tp
