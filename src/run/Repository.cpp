#include "run/Repository.h"

#include <windows.h>

namespace zentrak::run {

bool LocateOrCreateRepository(RunContext& /*context*/) { return false; }

std::wstring DocumentFileName(const hostsdk::HostSdkSession* /*session*/) {
  return L"Gccppostevents";
}

void AfterTransferCopies(const RunContext& /*context*/, const std::wstring& document_path,
                         const std::wstring& /*document_name*/) {
  ::DeleteFileW(document_path.c_str());
}

}  // namespace zentrak::run
