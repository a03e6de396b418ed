// Identifiers of the host SDK's Configuration items. Portable.
#pragma once

#include <cstdint>

namespace zentrak::hostsdk::item {

inline constexpr std::uint32_t kProxyServer = 0x4009014;
inline constexpr std::uint32_t kProxyUser = 0x4009012;
inline constexpr std::uint32_t kProxyPassword = 0x4009013;
inline constexpr std::uint32_t kSuiteId = 0x4009025;
inline constexpr std::uint32_t kSuiteVersion = 0x4009015;
inline constexpr std::uint32_t kCustomId = 0x4009028;
inline constexpr std::uint32_t kMuid = 0x4009701;
inline constexpr std::uint32_t kCountry = 0x400904B;
inline constexpr std::uint32_t kLanguage = 0x4009019;
inline constexpr std::uint32_t kProductType = 0x400902A;
inline constexpr std::uint32_t kProductCode = 0x400905B;
inline constexpr std::uint32_t kInstallTimeLow = 0x4012002;
inline constexpr std::uint32_t kInstallTimeHigh = 0x4012001;
inline constexpr std::uint32_t kOsMajor = 0x4009703;
inline constexpr std::uint32_t kOsMinor = 0x4009704;
inline constexpr std::uint32_t kServicePackMajor = 0x4009705;
inline constexpr std::uint32_t kServicePackMinor = 0x4009706;
inline constexpr std::uint32_t kOsType = 0x4009702;
inline constexpr std::uint32_t kOsIs64Bit = 0x4009707;

}  // namespace zentrak::hostsdk::item
