// The event repository folder and the event document file with its backup and dump
// copies.
//
// Not built yet: locating the folder reports failure, so a run stops before it.
#pragma once

#include <string>

#include "hostsdk/HostSdk.h"
#include "run/RunContext.h"

namespace zentrak::run {

[[nodiscard]] bool LocateOrCreateRepository(RunContext& context);

[[nodiscard]] std::wstring DocumentFileName(const hostsdk::HostSdkSession* session);

// After the transfer, whatever its outcome: backup copy, dump copy, delete.
void AfterTransferCopies(const RunContext& context, const std::wstring& document_path,
                         const std::wstring& document_name);

}  // namespace zentrak::run
