#include "run/RunState.h"

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <shlwapi.h>

#include <fstream>
#include <optional>

#include "run/EventConfigParser.h"
#include "run/FileNames.h"
#include "run/Repository.h"
#include "run/RunTracePoints.h"
#include "run/StateTime.h"
#include "support/Files.h"
#include "support/Hash.h"
#include "transport/CommsClient.h"

namespace zentrak::run {

std::wstring StateFilePath(const std::wstring& repository_folder) {
  return repository_folder + L"\\" + kStateFileName;
}

void LoadRunState(const std::wstring& repository_folder, EventConfig& config) {
  config.repository_directory = repository_folder + L"\\";
  const std::wstring path = config.repository_directory + kStateFileName;
  if (!files::IsExistingFile(path)) {
    config.installation_date.clear();
    return;
  }
  // A longer value is cut to what the 56-unit array holds.
  ::GetPrivateProfileStringW(kGlobalSection, kLastExecKey, L"", config.last_exec.data(),
                             static_cast<DWORD>(config.last_exec.size()), path.c_str());
  // A default no state time can be tells a missing key from an empty one.
  constexpr wchar_t kAbsent[] = L"\x01";
  ::GetPrivateProfileStringW(kGlobalSection, kLastTrackKey, kAbsent, config.last_track.data(),
                             static_cast<DWORD>(config.last_track.size()), path.c_str());
  config.has_last_track = std::wstring_view(config.last_track.data()) != kAbsent;
  if (!config.has_last_track) config.last_track.fill(L'\0');
  wchar_t installed[kInstallationDateCapacity] = {};
  const DWORD n = ::GetPrivateProfileStringW(kEvt1Section, kInstDateTimeKey, L"", installed,
                                             kInstallationDateCapacity, path.c_str());
  if (n > 0) config.installation_date.assign(installed, n);
}

namespace {

// A variable that is set and fits its buffer.
std::optional<std::wstring> ReadVariable(const wchar_t* name, unsigned capacity) {
  std::wstring value(capacity, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(name, value.data(), capacity);
  if (n == 0 || n >= capacity) {
    ZTRACE(tp::kEnvironmentVariableMissing, name);
    return std::nullopt;
  }
  value.resize(n);
  return value;
}

// Keeps the local copy current; false when it had to be fetched and could not be.
bool FetchConfig(const hostsdk::HostSdkSession& session, const RunContext& context,
                 const EventConfig& config, bool is_url, const std::wstring& local) {
  std::optional<std::wstring> digest;
  if (files::IsExistingFile(local)) {
    digest = FileMd5Text(local);
    ZTRACE(tp::kLocalConfigDigest, *digest);
  }
  switch (DecideConfigFetch(digest, config.expected_digest, is_url)) {
    case ConfigFetch::kKeep:
      ZTRACE(tp::kLocalConfigCurrent);
      return true;
    case ConfigFetch::kDownload:
    case ConfigFetch::kCopy: {
      if (digest) ZTRACE(tp::kLocalConfigStale, *digest, config.expected_digest);
      // Fetched under a name of the program's own, and moved into place only when it is
      // the file "filemd5" names: whoever is on the path decides nothing.
      const std::wstring fetched = context.repository_folder + L"\\" + kConfigDownloadName;
      if (!files::ClearReparsePoint(fetched)) return false;
      bool got = false;
      if (is_url) {
        const transport::CommsClient client(&session);
        got = client.DownloadFile(config.source, fetched, context.identity_text);
      } else {
        got = ::CopyFileW(config.source.c_str(), fetched.c_str(), FALSE) != FALSE;
      }
      const std::wstring fetched_digest = got ? FileMd5Text(fetched) : std::wstring();
      // A digest that reads as zero turns detections off and names no file: the file is
      // then taken for the rest of its settings (the VPN switches), as before.
      const bool wanted = DigestReadsAsZero(config.expected_digest) ||
                          DigestMatches(fetched_digest, config.expected_digest);
      if (!got || !wanted) {
        if (got) ZTRACE(tp::kFetchedConfigRejected, fetched_digest, config.expected_digest);
        (void)::DeleteFileW(fetched.c_str());
        return false;
      }
      return ::MoveFileExW(fetched.c_str(), local.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
  }
  return false;
}

}  // namespace

bool LoadRunStateAndConfig(const hostsdk::HostSdkSession& session, EventConfig& config,
                           RunContext& context) {
  LoadRunState(context.repository_folder, config);
  if (context.uninstall_mode) {
    context.detections_enabled = false;
    return true;
  }
  const auto source = ReadVariable(kConfigSourceVariable, kConfigSourceCapacity);
  if (!source) {
    context.detections_enabled = false;
    return false;
  }
  config.source = *source;
  const auto digest = ReadVariable(kConfigDigestVariable, kConfigDigestCapacity);
  if (!digest) {
    context.detections_enabled = false;
    return false;
  }
  config.expected_digest = *digest;
  if (DigestReadsAsZero(config.expected_digest)) context.detections_enabled = false;
  if (context.repository_folder.empty()) (void)LocateOrCreateRepository(context);

  const bool is_url = ::PathIsURLW(config.source.c_str()) != FALSE;
  const std::wstring local =
      context.repository_folder + L"\\" + ConfigFileNamePart(config.source, is_url);
  if (!FetchConfig(session, context, config, is_url, local)) {
    config.event_filters.clear();
    config.track_filters.clear();
    return true;
  }
  std::ifstream in(local.c_str(), std::ios::binary);
  return ParseEventConfig(in, config);
}

void WriteStateKey(const std::wstring& state_file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value) {
  // Never through a link at the file: the profile functions would follow it.
  if (!files::ClearReparsePoint(state_file)) return;
  ::WritePrivateProfileStringW(section, key, value.c_str(), state_file.c_str());
}

}  // namespace zentrak::run
