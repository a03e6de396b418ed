// The event repository folder and the event document file with its backup and dump
// copies.
#pragma once

#include <optional>
#include <string>

#include "hostsdk/HostSdk.h"
#include "run/RunContext.h"

namespace zentrak::run {

// Below the common application data folder. The agent folder itself is the suite's:
// it is never created here.
inline constexpr wchar_t kAgentFolder[] = L"\\Kelvo Security\\Kelvo Devices Agent\\";
inline constexpr wchar_t kContextsFolder[] = L"Contexts";
inline constexpr wchar_t kRepositoryFolder[] = L"Contexts\\EvtRepo";

inline constexpr wchar_t kServiceHostKey[] = L"Software\\Kelvo Security\\Kelvo Service Host\\";
inline constexpr wchar_t kBackupValue[] = L"zentrak_backup";
inline constexpr unsigned kBackupCapacity = 513;  // 512 characters and the terminator
inline constexpr wchar_t kDumpFileName[] = L"\\ZentrakDump.json";

// Finds the repository folder, creating it and "Contexts" below the agent folder when
// needed; sets the context's repository folder on success.
[[nodiscard]] bool LocateOrCreateRepository(RunContext& context);

// The MUID prefix (when the session gives one) and the current UTC stamp.
[[nodiscard]] std::wstring DocumentFileName(const hostsdk::HostSdkSession* session);

// The backup folder named in the registry; none when it is missing or empty.
[[nodiscard]] std::optional<std::wstring> BackupFolder();

// After the transfer, whatever its outcome: backup copy, dump copy, delete. Copy
// failures are ignored.
void AfterTransferCopies(const RunContext& context, const std::wstring& document_path,
                         const std::wstring& document_name);

}  // namespace zentrak::run
