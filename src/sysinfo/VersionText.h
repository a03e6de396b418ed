// Texts built from version numbers. Portable.
#pragma once

#include <cstdint>
#include <string>

namespace zentrak::sysinfo {

inline constexpr wchar_t kProductVersionFallback[] = L"Zentrak_1.0.0";

// "Zentrak_<major>_<minor>_<build>_<revision>".
[[nodiscard]] inline std::wstring ProductVersionText(std::uint16_t major, std::uint16_t minor,
                                                     std::uint16_t build, std::uint16_t revision) {
  return L"Zentrak_" + std::to_wstring(major) + L"_" + std::to_wstring(minor) + L"_" +
         std::to_wstring(build) + L"_" + std::to_wstring(revision);
}

}  // namespace zentrak::sysinfo
