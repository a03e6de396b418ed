#include "sysinfo/VersionInfo.h"

namespace zentrak::sysinfo {

bool GetFileVersionText(std::wstring& /*text*/) { return false; }

std::wstring GetProductVersionText() { return L"Zentrak_1.0.0"; }

}  // namespace zentrak::sysinfo
