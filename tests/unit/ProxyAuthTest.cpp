#include <gtest/gtest.h>

#include "transport/ProxyAuth.h"

namespace zentrak::transport {
namespace {

TEST(ProxyScheme, TheStrongestOfferedAndNeverBasic) {
  const struct {
    std::uint32_t offered;
    std::optional<std::uint32_t> chosen;
  } cases[] = {
      {kSchemeBasic | kSchemeNtlm | kSchemeDigest | kSchemeNegotiate, kSchemeNegotiate},
      {kSchemeBasic | kSchemeNtlm | kSchemeDigest, kSchemeNtlm},
      {kSchemeBasic | kSchemeDigest, kSchemeDigest},
      {kSchemeBasic, std::nullopt},
      {kSchemePassport, std::nullopt},
      {kSchemeBasic | kSchemePassport, std::nullopt},
      {0, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseProxyScheme(c.offered), c.chosen) << c.offered;
  }
}

}  // namespace
}  // namespace zentrak::transport
