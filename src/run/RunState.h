// The run-state file "EvtsData.ini" and the combined load of the run state and the
// event configuration.
//
// The load is not built yet: it reports failure, and the run sends nothing.
#pragma once

#include <string>

#include "hostsdk/HostSdk.h"
#include "run/EventConfig.h"
#include "run/RunContext.h"

namespace zentrak::run {

inline constexpr wchar_t kStateFileName[] = L"EvtsData.ini";
inline constexpr wchar_t kGlobalSection[] = L"GLOBAL";
inline constexpr wchar_t kLastExecKey[] = L"lastExec";
inline constexpr wchar_t kEvt1Section[] = L"EVT1";
inline constexpr wchar_t kInstDateTimeKey[] = L"instDateTime";
inline constexpr wchar_t kSendKey[] = L"Send";

[[nodiscard]] bool LoadRunStateAndConfig(const hostsdk::HostSdkSession& session,
                                         EventConfig& config, RunContext& context);

// The current UTC time as "%4d-%02d-%02dT%02d:%02d:%02d"; empty if formatting fails.
[[nodiscard]] std::wstring NowStateTimeText();

// One key written through the private-profile functions; a failed write is not reported.
void WriteStateKey(const std::wstring& state_file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value);

}  // namespace zentrak::run
