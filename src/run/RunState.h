// The run-state file "EvtsData.ini": loading it into the event configuration record and
// writing single keys back, always through the private-profile functions.
#pragma once

#include <string>

#include "hostsdk/HostSdk.h"
#include "run/EventConfig.h"
#include "run/RunContext.h"
#include "run/StateFileKeys.h"
#include "run/StateTime.h"

namespace zentrak::run {

// The state file of a repository folder.
[[nodiscard]] std::wstring StateFilePath(const std::wstring& repository_folder);

// Fills the repository directory, "lastExec" (cut to 55 characters) and, when it is not
// empty, "instDateTime" of the config from the repository folder's state file. Without
// the file both texts stay empty.
void LoadRunState(const std::wstring& repository_folder, EventConfig& config);

// Environment variables of the event configuration and the units they are read into,
// terminator included; a longer value counts as not set.
inline constexpr wchar_t kConfigSourceVariable[] = L"cfgeventfile";
inline constexpr unsigned kConfigSourceCapacity = 260;
inline constexpr wchar_t kConfigDigestVariable[] = L"filemd5";
inline constexpr unsigned kConfigDigestCapacity = 35;

// The run state, then the event configuration: outside uninstall mode the local copy
// is kept current with "filemd5" (downloaded or copied when its digest differs) and
// parsed. False when a variable is missing or the file has an unknown member; a file
// that cannot be read as a configuration raises the reader's error.
[[nodiscard]] bool LoadRunStateAndConfig(const hostsdk::HostSdkSession& session,
                                         EventConfig& config, RunContext& context);

// One key written through the private-profile functions; a failed write is not reported.
void WriteStateKey(const std::wstring& state_file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value);

}  // namespace zentrak::run
