// Version facts of the program file.
//
// Not built yet: the file version is never found.
#pragma once

#include <string>

namespace zentrak::sysinfo {

// The "FileVersion" string of the program's version resource; the text is left as it
// was on failure.
[[nodiscard]] bool GetFileVersionText(std::wstring& text);

}  // namespace zentrak::sysinfo
