#include "run/RunSequence.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostsdk/ConfigItems.h"
#include "hostsdk/HostSdk.h"
#include "run/EventConfig.h"
#include "run/Messages.h"
#include "run/Repository.h"
#include "run/RunContext.h"
#include "run/RunLock.h"
#include "run/RunState.h"
#include "run/RunTracePoints.h"
#include "run/ServiceCheck.h"
#include "run/StartupSettings.h"
#include "run/Switches.h"
#include "support/Clock.h"
#include "support/Files.h"
#include "support/Module.h"
#include "support/Scoped.h"
#include "support/Text.h"
#include "support/TraceProvider.h"
#include "sysinfo/VersionInfo.h"
#include "tracking/Decisions.h"
#include "tracking/EventTracker.h"
#include "tracking/TestLog.h"
#include "transport/CommsClient.h"

namespace zentrak::run {
namespace {

using tracking::LogError;
using tracking::LogMessage;
using tracking::TestLog;

constexpr wchar_t kApplicationName[] = L"KelvoSecurity\\Integration\\Zentrak";

// The document as one byte per character, truncating an existing file; false unless
// every byte reached the file and it was closed without an error (a full disk).
bool WriteDocumentFile(const std::wstring& path, const std::wstring& document) {
  return files::WriteBytes(path, text::SingleBytePrefix(document), files::WriteMode::kTruncate);
}

bool Holds(const EventList& events, EventKind kind) {
  return std::find(events.begin(), events.end(), kind) != events.end();
}

// Step 19: write the document, hand it to the comms library, record what was
// delivered, then the copies and the delete. A document that could not be written whole
// is neither handed over nor copied nor recorded.
void TransferDocument(TestLog& log, const RunContext& context,
                      const hostsdk::HostSdkSession& session, const EventList& events,
                      const std::wstring& document,
                      const std::optional<hostsdk::QueryCoverage>& detection_query) {
  const std::wstring state_file = context.repository_folder + L"\\" + kStateFileName;
  const std::wstring name = DocumentFileName(&session);
  const std::wstring path = context.repository_folder + L"\\" + name;
  ZTRACE(tp::kDocumentText, document);
  if (!WriteDocumentFile(path, document)) {
    LogError(log, msg::kDocumentNotWritten);
    ZTRACE(tp::kDocumentNotWritten, path);
    (void)::DeleteFileW(path.c_str());
    return;
  }
  {
    transport::CommsClient client(&session);
    CivilTime utc_before_transfer = UtcNow();
    utc_before_transfer.millisecond = 0;
    if (client.TransferEvents(path)) {
      LogMessage(log, msg::kTransferred);
      ZTRACE(tp::kTransferSucceeded);
      if (const auto mark = tracking::DocumentMark(detection_query, utc_before_transfer)) {
        const std::wstring text = FormatStateTime(*mark);
        WriteStateKey(state_file, kGlobalSection, kLastExecKey, text);
        ZTRACE(tp::kLastExecWritten, text);
      } else {
        ZTRACE(tp::kLastExecKept);
      }
      // An uninstallation in the same document has emptied "instDateTime" already: the
      // next installation is a new one.
      if (Holds(events, EventKind::kInstallation)) {
        if (!Holds(events, EventKind::kUninstallation)) {
          WriteStateKey(state_file, kEvt1Section, kInstDateTimeKey, session.InstallationDateText());
        }
        WriteStateKey(state_file, kEvt1Section, kSendKey, L"1");
      }
    } else {
      LogError(log, msg::kTransferFailed);
      ZTRACE(tp::kTransferFailed);
    }
  }
  AfterTransferCopies(context, path, name);
}

// Steps 14 to 21. Returns the exit code of an early stop, or none to go on.
std::optional<int> TrackAndTransfer(TestLog& log, RunLock& lock, const RunContext& context,
                                    EventConfig& config, const hostsdk::HostSdkSession& session,
                                    const hostsdk::HostEntry& host) {
  ZTRACE(tp::kStateAndConfigLoaded);
  if (context.uninstall_mode) {
    ZTRACE(tp::kUninstallBranch);
    tracking::EventTracker previous(context);
    if (!previous.TrackingAvailable()) {
      LogError(log, msg::kNoTracking);
      lock.Release();
      return kExitStopped;
    }
    if (!context.proxy.server.empty()) previous.SetProxy(context.proxy);
    if (!previous.SendPreviousUninstallTrack()) ZTRACE(tp::kPreviousUninstallTrackFailed);
  }

  tracking::EventTracker tracker(context, session, config);
  if (!tracker.TrackingAvailable()) {
    LogError(log, msg::kNoTracking);
    lock.Release();
    return kExitStopped;
  }
  EventList events;
  std::wstring document;
  tracker.SetRepositoryFolder(context.repository_folder);
  if (!context.proxy.server.empty()) {
    ZTRACE(tp::kProxyHandedToTracker);
    tracker.SetProxy(context.proxy);
  }
  if (!tracker.ProcessEvents(events, document, config, log, host)) return std::nullopt;
  ZTRACE(tp::kProcessEventsSucceeded);
  if (events.empty()) {
    ZTRACE(tp::kNoEventToTransfer);
  } else {
    TransferDocument(log, context, session, events, document, tracker.DetectionEventQuery());
  }
  ZTRACE(tp::kTransferBlockFinished);
  return std::nullopt;
}

// Step 9: proxy settings and identity text from the run's own host entry object.
void ReadSdkStartupSettings(const hostsdk::HostEntry& host, RunContext& context) {
  const hostsdk::Configuration configuration(host);
  if (auto server = configuration.ReadAsText(hostsdk::item::kProxyServer)) {
    context.proxy.server = std::move(*server);
    ZTRACE(tp::kProxyServerRead, context.proxy.server);
  }
  if (auto user = configuration.ReadAsText(hostsdk::item::kProxyUser)) {
    context.proxy.user = std::move(*user);
    ZTRACE(tp::kProxyUserRead, context.proxy.user);
  }
  if (auto password = configuration.ReadAsText(hostsdk::item::kProxyPassword)) {
    context.proxy.password = std::move(*password);
    ZTRACE(tp::kProxyPasswordRead, trace::kSecretMask);
  }

  std::optional<IdentityFacts> facts;
  try {
    const auto suite_id = configuration.ReadNumber(hostsdk::item::kSuiteId);
    const auto version = configuration.ReadText(hostsdk::item::kSuiteVersion);
    const auto custom_id = configuration.ReadNumber(hostsdk::item::kCustomId);
    const auto muid = configuration.ReadText(hostsdk::item::kMuid);
    if (suite_id && version && custom_id && muid) {
      facts = IdentityFacts{*suite_id, *version, *custom_id, *muid};
    }
  } catch (...) {
    facts.reset();
  }
  context.identity_text = BuildIdentityText(facts);
}

// Steps 8 to 22, once the activation context exists.
int RunWithSdk(TestLog& log, RunLock& lock, RunContext& context,
               const hostsdk::SdkActivationContext& activation_context) {
  const hostsdk::ActivationScope activation(activation_context);
  const hostsdk::ComScope com;
  const hostsdk::HostEntry host = hostsdk::CreateHostEntry();
  ReadSdkStartupSettings(host, context);

  if (!LocateOrCreateRepository(context)) {
    LogError(log, msg::kNoRepository);
    lock.Release();
    return kExitStopped;
  }
  ReadInstUid(context);
  (void)sysinfo::GetFileVersionText(context.file_version);
  ZTRACE(tp::kStartupSettingsRead);

  EventConfig config;
  {
    // The session's own host entry object, independent of the run's.
    const hostsdk::HostSdkSession session(hostsdk::CreateHostEntry());
    if (!LoadRunStateAndConfig(session, config, context)) {
      LogError(log, msg::kNoEventConfig);
    } else if (const auto stop = TrackAndTransfer(log, lock, context, config, session, host)) {
      return *stop;
    }
  }
  lock.Release();
  LogMessage(log, msg::kEndOfRun);
  return kExitCompleted;
}

// Steps 2 to 22.
int RunSteps(const std::vector<std::wstring_view>& args) {
  TestLog log;
  log.SetEnabled(HasTestModeSwitch(args));
  if (log.Enabled()) log.DeleteLogs();

  // The uninstallation's event is reported once or never: it waits for a copy that holds
  // the lock (a scheduled run waiting for the service the uninstaller stopped) instead of
  // giving up. Every other start gives up at once.
  const bool uninstall = args.size() >= 2 && HasUninstallSwitch(args);
  RunLock lock = TakeRunLock(uninstall);
  if (!lock.held) {
    LogError(log, msg::kAnotherInstance);
    ZTRACE(tp::kAnotherInstance);
    return kExitStopped;
  }

  if (!WaitForService(&CheckHostService, &SleepMilliseconds)) {
    LogError(log, msg::kServiceTimeout);
    ZTRACE(tp::kServiceWaitFailed);
    return kExitStopped;
  }

  RunContext context;
  ReadDumpSettings(context);
  context.uninstall_mode = uninstall;
  if (context.uninstall_mode) {
    LogMessage(log, msg::kUninstallEvent);
    context.detections_enabled = false;
  }

  const hostsdk::SdkActivationContext* activation_context = hostsdk::GetActivationContext();
  if (activation_context == nullptr) {
    LogError(log, msg::kNoSdkInstance);
    ZTRACE(tp::kNoActivationContext);
    return kExitStopped;
  }
  LogMessage(log, msg::kSdkInstance);
  return RunWithSdk(log, lock, context, *activation_context);
}

}  // namespace

int Run(int argc, wchar_t** argv) noexcept {
  const bool narrowed = NarrowDllSearch();
  trace::LoadEntryPoints();
  trace::Register(kApplicationName);
  ZTRACE(tp::kProviderRegistered);
  ZTRACE(tp::kDllSearchNarrowed, narrowed ? 1 : 0);

  int code = kExitCompleted;
  try {
    std::vector<std::wstring_view> args;
    args.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : L"");
    code = RunSteps(args);
  } catch (...) {
    // Whatever escapes a step ends the run; everything was released on the way out.
    code = kExitCompleted;
  }
  if (code == kExitCompleted) ZTRACE(tp::kEndOfRun);
  trace::Unregister();
  return code;
}

}  // namespace zentrak::run
