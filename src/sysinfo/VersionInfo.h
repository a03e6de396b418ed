// Version facts of the program file.
//
// Not built yet: the file version is never found and the product version text is
// the fallback.
#pragma once

#include <string>

namespace zentrak::sysinfo {

// The "FileVersion" string of the program's version resource; the text is left as it
// was on failure.
[[nodiscard]] bool GetFileVersionText(std::wstring& text);

// "Zentrak" and the four numbers of the file's fixed version, each after "_".
[[nodiscard]] std::wstring GetProductVersionText();

}  // namespace zentrak::sysinfo
