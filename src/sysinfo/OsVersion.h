// The two facts the program asks the platform about its own version.
#pragma once

#include <string>

namespace zentrak::sysinfo {

// Windows 10 workstation. The first successful version query is kept for the process; a
// failed one is tried again at the next call.
[[nodiscard]] bool IsWindows10();

// The build number in decimal; the text is left as it was on failure.
[[nodiscard]] bool ReadBuildNumber(std::wstring& text);

}  // namespace zentrak::sysinfo
