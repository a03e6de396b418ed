// The decision whether a version query's answer is Windows 10. Portable.
#pragma once

#include <cstdint>

namespace zentrak::sysinfo {

inline constexpr std::uint32_t kPlatformWin32s = 0;
inline constexpr std::uint32_t kPlatformWindows9x = 1;
inline constexpr std::uint32_t kPlatformNt = 2;
inline constexpr std::uint8_t kProductWorkstation = 1;

// Windows 10 in its workstation edition: NT platform, version 10.0, workstation product.
// Server editions of 10.0 and any 10.1 or later are not.
[[nodiscard]] constexpr bool IsWindows10Version(std::uint32_t platform, std::uint32_t major,
                                                std::uint32_t minor,
                                                std::uint8_t product_type) noexcept {
  return platform == kPlatformNt && major == 10 && minor == 0 &&
         product_type == kProductWorkstation;
}

// Platform identifiers the version query knows.
[[nodiscard]] constexpr bool IsKnownPlatform(std::uint32_t platform) noexcept {
  return platform == kPlatformWin32s || platform == kPlatformWindows9x || platform == kPlatformNt;
}

}  // namespace zentrak::sysinfo
