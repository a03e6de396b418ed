// The command-line switches of a run. Portable.
#pragma once

#include <string_view>
#include <vector>

namespace zentrak::run {

// Any argument, the program path included, whose first nine characters are "/TestMode"
// ignoring case.
[[nodiscard]] bool HasTestModeSwitch(const std::vector<std::wstring_view>& args) noexcept;

// Only with two or more arguments: an argument after the program path that is
// "/UNINSTALL" as a whole, ignoring case.
[[nodiscard]] bool HasUninstallSwitch(const std::vector<std::wstring_view>& args) noexcept;

}  // namespace zentrak::run
