#include "transport/ProxyAuth.h"

namespace zentrak::transport {

std::optional<std::uint32_t> ChooseProxyScheme(std::uint32_t offered) noexcept {
  for (const std::uint32_t scheme : {kSchemeNegotiate, kSchemeNtlm, kSchemeDigest}) {
    if ((offered & scheme) != 0) return scheme;
  }
  return std::nullopt;
}

}  // namespace zentrak::transport
