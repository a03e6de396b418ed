// Which scheme the proxy user and password go with: only a proxy's 407 gets them, and
// only with a scheme that does not send the password as it is. Portable.
#pragma once

#include <cstdint>
#include <optional>

namespace zentrak::transport {

// WinHTTP's scheme bits (WINHTTP_AUTH_SCHEME_*).
inline constexpr std::uint32_t kSchemeBasic = 0x1;
inline constexpr std::uint32_t kSchemeNtlm = 0x2;
inline constexpr std::uint32_t kSchemePassport = 0x4;
inline constexpr std::uint32_t kSchemeDigest = 0x8;
inline constexpr std::uint32_t kSchemeNegotiate = 0x10;

// The strongest of the schemes the proxy offers: Negotiate, then NTLM, then Digest. None
// when it offers only Basic (the requests are plain HTTP: the password would cross the
// network as it is), Passport or nothing.
[[nodiscard]] std::optional<std::uint32_t> ChooseProxyScheme(std::uint32_t offered) noexcept;

}  // namespace zentrak::transport
