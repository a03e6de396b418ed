// The start-up settings the run reads from the setup registry.
#pragma once

#include "run/RunContext.h"

namespace zentrak::run {

// "DumpJSONs" non-zero turns dumping on; "DumpJSONsPath" then names the dump folder.
void ReadDumpSettings(RunContext& context);
// "InstUID" of the setup's UIDS key, stored when read.
void ReadInstUid(RunContext& context);

}  // namespace zentrak::run
