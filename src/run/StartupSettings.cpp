#include "run/StartupSettings.h"

#include "run/RunTracePoints.h"
#include "support/Files.h"
#include "support/Registry.h"
#include "support/SetupRegistry.h"
#include "support/TrustedOwners.h"

namespace zentrak::run {

void ReadDumpSettings(RunContext& context) {
  const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kSetupKey, KEY_QUERY_VALUE);
  if (!key) return;
  const auto dump = key->ReadDword(setup::kDumpJsonsValue);
  if (!dump || *dump == 0) return;
  context.dump_enabled = true;
  if (auto folder = key->ReadString(setup::kDumpJsonsPathValue, setup::kTextCapacity)) {
    context.dump_folder = std::move(*folder);
  }
  // Without a folder the dump goes to the root of the current drive. Either way the folder
  // must be a local one no ordinary user made or linked: otherwise no dump at all.
  std::wstring where = context.dump_folder;
  if (where.empty()) {
    wchar_t root[MAX_PATH] = {};
    const DWORD n = ::GetFullPathNameW(L"\\", MAX_PATH, root, nullptr);
    if (n > 0 && n < MAX_PATH) where = root;
  }
  if (!trust::IsAbsoluteLocalPath(where) || !files::IsTrustedFolder(where)) {
    ZTRACE(tp::kFolderRefused, where);
    context.dump_enabled = false;
  }
}

void ReadInstUid(RunContext& context) {
  const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kUidsKey, KEY_QUERY_VALUE);
  auto value = key ? key->ReadString(setup::kInstUidValue, setup::kTextCapacity) : std::nullopt;
  if (!value) {
    ZTRACE(tp::kInstUidNotRead);
    return;
  }
  context.inst_uid = std::move(*value);
  ZTRACE(tp::kInstUidRead, context.inst_uid);
}

}  // namespace zentrak::run
