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

namespace zentrak::run {
namespace {

bool CreateFolder(const std::wstring& path) { return ::CreateDirectoryW(path.c_str(), nullptr); }

std::wstring DocumentStamp() {
  try {
    return FormatDocumentStamp(UtcNow());
  } catch (...) {
    ZTRACE(tp::kDocumentStampFailed, ::GetLastError());
    return {};
  }
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
  const std::wstring repository = agent + kRepositoryFolder;
  if (files::IsExistingFolder(repository)) {
    ZTRACE(tp::kRepositoryExists, repository);
    context.repository_folder = repository;
    return true;
  }
  const std::wstring contexts = agent + kContextsFolder;
  const bool created =
      (files::IsExistingFolder(contexts) || CreateFolder(contexts)) && CreateFolder(repository);
  if (!created) {
    ZTRACE(tp::kRepositoryNotCreated);
    return false;
  }
  ZTRACE(tp::kRepositoryCreated, repository);
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
  return folder;
}

void AfterTransferCopies(const RunContext& context, const std::wstring& document_path,
                         const std::wstring& document_name) {
  if (const auto backup = BackupFolder()) {
    ZTRACE(tp::kBackupFolder, *backup);
    ::CopyFileW(document_path.c_str(), (*backup + L"\\" + document_name).c_str(), FALSE);
  }
  if (context.dump_enabled) {
    ::CopyFileW(document_path.c_str(), (context.dump_folder + kDumpFileName).c_str(), FALSE);
  }
  ::DeleteFileW(document_path.c_str());
}

}  // namespace zentrak::run
