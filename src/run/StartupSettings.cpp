#include "run/StartupSettings.h"

#include "run/RunTracePoints.h"
#include "support/Registry.h"
#include "support/SetupRegistry.h"

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
