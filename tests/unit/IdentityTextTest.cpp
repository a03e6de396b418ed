#include <gtest/gtest.h>

#include "run/RunContext.h"

namespace zentrak::run {
namespace {

TEST(IdentityText, WithoutTheFourConfigurationValuesItKeepsItsTrailingBlank) {
  EXPECT_EQ(BuildIdentityText(std::nullopt), L"KelvoSecurity ");
}

TEST(IdentityText, AllFourValuesAreWrittenInDecimalAndText) {
  EXPECT_EQ(BuildIdentityText(IdentityFacts{77, L"18.04.00.0000", -1, L"ABC-123"}),
            L"KelvoSecurity (PID=77;V=18.04.00.0000;CID=-1;MUID=ABC-123)");
}

}  // namespace
}  // namespace zentrak::run
