#include "run/Repository.h"

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <shlobj.h>

#include "hostsdk/ConfigItems.h"
#include "run/FileNames.h"
#include "run/RunState.h"
#include "run/RunTracePoints.h"
#include "support/Clock.h"
#include "support/Files.h"
#include "support/Registry.h"
#include "support/TrustedOwners.h"

namespace zentrak::run {
namespace {

// Every folder from the suite's folder down to the repository must be one an ordinary
// user cannot have made or swapped for a link: such a user could otherwise point the
// program's writes, as SYSTEM, at any file.
bool Trusted(const std::wstring& folder) {
  if (files::IsTrustedFolder(folder)) return true;
  ZTRACE(tp::kFolderRefused, folder);
  return false;
}

// The folder, trusted, creating it with the protected descriptor when it is missing.
bool TrustedOrCreated(const std::wstring& folder) {
  if (files::Exists(folder) || files::IsReparsePoint(folder)) return Trusted(folder);
  return files::CreateProtectedFolder(folder) && Trusted(folder);
}

std::wstring DocumentStamp() {
  try {
    return FormatDocumentStamp(UtcNow());
  } catch (...) {
    ZTRACE(tp::kDocumentStampFailed, ::GetLastError());
    return {};
  }
}

// A copy never written through a link at its destination.
void CopyWithoutLinks(const std::wstring& from, const std::wstring& to) {
  if (files::ClearReparsePoint(to)) ::CopyFileW(from.c_str(), to.c_str(), FALSE);
}

}  // namespace

bool LocateOrCreateRepository(RunContext& context) {
  wchar_t common[MAX_PATH] = {};
  if (FAILED(
          ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common))) {
    ZTRACE(tp::kNoCommonAppData);
    return false;
  }
  const std::wstring agent = std::wstring(common) + kAgentFolder;
  const std::wstring suite = agent.substr(0, agent.find_last_of(L'\\', agent.size() - 2));
  const std::wstring repository = agent + kRepositoryFolder;
  const std::wstring contexts = agent + kContextsFolder;
  const bool existed = files::IsExistingFolder(repository);
  // The suite's two folders are never created here; ours are, protected.
  if (!Trusted(suite) || !Trusted(agent.substr(0, agent.size() - 1)) ||
      !TrustedOrCreated(contexts) || !TrustedOrCreated(repository)) {
    ZTRACE(tp::kRepositoryNotCreated);
    return false;
  }
  if (existed) {
    ZTRACE(tp::kRepositoryExists, repository);
  } else {
    ZTRACE(tp::kRepositoryCreated, repository);
  }
  context.repository_folder = repository;
  return true;
}

std::wstring DocumentFileName(const hostsdk::HostSdkSession* session) {
  std::optional<std::wstring> muid;
  if (session != nullptr) muid = session->ReadText(hostsdk::item::kMuid);
  return run::DocumentFileName(muid, DocumentStamp());
}

std::optional<std::wstring> BackupFolder() {
  ZTRACE(tp::kBackupLookup);
  const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, kServiceHostKey, KEY_READ);
  if (!key) {
    ZTRACE(tp::kBackupKeyNotOpened, kServiceHostKey);
    return std::nullopt;
  }
  auto folder = key->ReadString(kBackupValue, kBackupCapacity, RegType::kAny);
  if (!folder) {
    ZTRACE(tp::kBackupValueNotRead, kBackupValue);
    return std::nullopt;
  }
  ZTRACE(tp::kBackupEnabled, folder->empty() ? L"False" : L"True");
  if (folder->empty()) return std::nullopt;
  if (!trust::IsAbsoluteLocalPath(*folder) || !files::IsTrustedFolder(*folder)) {
    ZTRACE(tp::kFolderRefused, *folder);
    return std::nullopt;
  }
  return folder;
}

void AfterTransferCopies(const RunContext& context, const std::wstring& document_path,
                         const std::wstring& document_name) {
  if (const auto backup = BackupFolder()) {
    ZTRACE(tp::kBackupFolder, *backup);
    CopyWithoutLinks(document_path, *backup + L"\\" + document_name);
  }
  if (context.dump_enabled) CopyWithoutLinks(document_path, context.dump_folder + kDumpFileName);
  ::DeleteFileW(document_path.c_str());
}

}  // namespace zentrak::run
