#include <gtest/gtest.h>

#include "hostsdk/InstallationData.h"
#include "sysinfo/OsVersionRule.h"
#include "sysinfo/VersionText.h"

namespace zentrak {
namespace {

TEST(SuiteVersionNumber, DropsTheThreeSeparatorsAndIsEmptyForShortTexts) {
  const struct {
    const wchar_t* version;
    const wchar_t* number;
  } cases[] = {
      {L"18.02.00.0001", L"1802000001"},
      {L"18.02.00.", L"180200"},
      {L"1.2.3.4.5", L"1..34."},  // positions, not dots, decide
      {L"18.02.00", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hostsdk::SuiteVersionNumber(c.version), c.number) << c.version;
  }
}

TEST(ActivationDateText, YearMonthDayOrTheRearrangedMinusOnes) {
  EXPECT_EQ(hostsdk::ActivationDateText(26, 3, 2018), L"2018-03-26");
  EXPECT_EQ(hostsdk::ActivationDateText(1, 1, 100), L"0100-01-01");
  EXPECT_EQ(hostsdk::ActivationDateText(-1, -1, -1), L"-001--1--1");
}

TEST(Windows10Rule, OnlyTheWorkstationEditionOfVersion10Point0) {
  const struct {
    std::uint32_t platform, major, minor;
    std::uint8_t product;
    bool windows10;
  } cases[] = {
      {2, 10, 0, 1, true},   // Windows 10 Pro or Home
      {2, 10, 0, 3, false},  // Windows Server 10.0
      {2, 10, 0, 2, false},  // domain controller
      {2, 10, 0, 0, false},  // only the basic record could be read
      {2, 6, 3, 1, false},   // Windows 8.1
      {2, 10, 1, 1, false}, {1, 10, 0, 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sysinfo::IsWindows10Version(c.platform, c.major, c.minor, c.product), c.windows10)
        << c.platform << " " << c.major << "." << c.minor << " type " << int{c.product};
  }
  EXPECT_FALSE(sysinfo::IsKnownPlatform(3));
}

TEST(ProductVersionText, UnderscoresBetweenTheFourNumbers) {
  EXPECT_EQ(sysinfo::ProductVersionText(1, 2, 3, 4), L"Zentrak_1_2_3_4");
  EXPECT_EQ(sysinfo::ProductVersionText(0, 0, 0, 0), L"Zentrak_0_0_0_0");
  EXPECT_EQ(sysinfo::ProductVersionText(65535, 10, 0, 7), L"Zentrak_65535_10_0_7");
  EXPECT_STREQ(sysinfo::kProductVersionFallback, L"Zentrak_1.0.0");
}

}  // namespace
}  // namespace zentrak
