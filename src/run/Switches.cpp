#include "run/Switches.h"

#include "support/Text.h"

namespace zentrak::run {
namespace {

constexpr std::wstring_view kTestModeSwitch = L"/TestMode";
constexpr std::wstring_view kUninstallSwitch = L"/UNINSTALL";

}  // namespace

bool HasTestModeSwitch(const std::vector<std::wstring_view>& args) noexcept {
  for (std::wstring_view arg : args) {
    if (text::StartsWithIgnoreCase(arg, kTestModeSwitch)) return true;
  }
  return false;
}

bool HasUninstallSwitch(const std::vector<std::wstring_view>& args) noexcept {
  if (args.size() < 2) return false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (text::EqualsIgnoreCase(args[i], kUninstallSwitch)) return true;
  }
  return false;
}

}  // namespace zentrak::run
