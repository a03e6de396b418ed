// Version facts: the .NET Framework versions recorded by its setup and the version
// resource of the program file.
#pragma once

#include <string>

namespace zentrak::sysinfo {

// The highest "Version" of the framework setup's "v..." subkeys, by ordinal comparison;
// the text is always replaced (empty when none was found). True when it is not empty.
[[nodiscard]] bool GetDotNetVersion(std::wstring& text);

// The "Release" number of .NET Framework 4 in decimal; the text is left as it was when
// it cannot be read.
[[nodiscard]] bool GetDotNetRelease(std::wstring& text);

// The "FileVersion" string of the program's version resource; the text is left as it
// was on failure.
[[nodiscard]] bool GetFileVersionText(std::wstring& text);

// "Zentrak" and the four numbers of the file's fixed version, each after "_"
// ("Zentrak_0_0_0_0" without version information, "Zentrak_1.0.0" when the program file
// cannot be named).
[[nodiscard]] std::wstring GetProductVersionText();

}  // namespace zentrak::sysinfo
