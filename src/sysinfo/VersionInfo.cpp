#include "sysinfo/VersionInfo.h"

namespace zentrak::sysinfo {

bool GetFileVersionText(std::wstring& /*text*/) { return false; }

}  // namespace zentrak::sysinfo
