// Products, licences, suite and system facts against the stand-in SDK's licence data.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SdkFixture.h"
#include "TestRegistry.h"
#include "hostsdk/ConfigItems.h"
#include "hostsdk/HostSdk.h"
#include "sysinfo/OsVersion.h"
#include "sysinfo/VersionInfo.h"

namespace zentrak::hostsdk {
namespace {

using testing::ItemKey;
using testing::SdkSuite;
using testing::Typed;

std::string Item(std::uint32_t item, const std::string& value) {
  return "\"" + ItemKey(item) + "\":" + value;
}

std::string InstallationFixture() {
  const std::string config =
      "{" + Item(item::kOsMajor, "10") + "," + Item(item::kOsMinor, "0") + "," +
      Item(item::kServicePackMajor, "1") + "," + Item(item::kServicePackMinor, "2") + "," +
      Item(item::kOsType, "1") + "," + Item(item::kOsIs64Bit, "true") + "," +
      Item(item::kSuiteId, "77") + "," + Item(item::kProductCode, "12") + "," +
      Item(item::kSuiteVersion, "\"18.02.00.0001\"") + "," + Item(item::kCountry, "\"ES\"") + "," +
      Item(item::kLanguage, "\"es-ES\"") + "," + Item(item::kProductType, "2") + "}";
  const std::string products =
      "{\"P1\":{\"ClientID\":\"C-1\",\"ActivationCode\":\"AC-1\",\"ActivationDate\":" +
      Typed("date", "\"2018-03-26T10:00:00\"") +
      ",\"VersionType\":4,\"MyAccountID\":\"acct\"},"
      "\"P2\":{\"Licenses\":{},\"ClientID\":\"not read\",\"VersionType\":\"x\"},"
      "\"P3\":{\"Licenses\":{"
      "\"LIC-A\":{\"ProductLicenseID\":\"PL-1\",\"VersionType\":" +
      Typed("ui4", "7") +
      ",\"ActivationDate\":\"not a date\"},"
      "\"LIC-B\":{\"ClientID\":55,\"ActivationDate\":" +
      Typed("date", "\"2019-12-01T00:00:00\"") +
      "},"
      "\"\":{\"ClientID\":\"empty key\"}}},"
      "\"\":{\"ClientID\":\"empty product key\"}}";
  return "{\"config\":" + config + ",\"products\":" + products + "}";
}

class InstallationDataFill : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    suite_ = std::make_unique<SdkSuite>("InstallationDataFill", InstallationFixture());
  }
  static void TearDownTestSuite() { suite_.reset(); }
  static inline std::unique_ptr<SdkSuite> suite_;
};

TEST_F(InstallationDataFill, ProductsWithAndWithoutLicences) {
  const HostSdkSession session(CreateHostEntry());
  std::vector<ProductRecord> products(1);  // appended to, not cleared
  ASSERT_TRUE(session.ReadProducts(products));
  ASSERT_EQ(products.size(), 4U) << "the pair with an empty key is no product";

  const ProductRecord& p1 = products[1];  // no "Licenses": its own fields
  EXPECT_EQ(p1.product_id, L"P1");
  EXPECT_EQ(p1.client_id, L"C-1");
  EXPECT_EQ(p1.activation_code, L"AC-1");
  EXPECT_EQ(p1.activation_date, L"2018-03-26");
  EXPECT_EQ(p1.version_type, 4);
  EXPECT_EQ(p1.my_account_id, L"acct");
  EXPECT_TRUE(p1.licences.empty());

  const ProductRecord& p2 = products[2];  // an empty "Licenses" map
  EXPECT_EQ(p2.product_id, L"P2");
  EXPECT_EQ(p2.client_id, L"");
  EXPECT_EQ(p2.activation_code, L"");
  EXPECT_EQ(p2.activation_date, L"");
  EXPECT_EQ(p2.version_type, 0) << "a text is no version type";
  EXPECT_TRUE(p2.licences.empty());

  const ProductRecord& p3 = products[3];
  EXPECT_EQ(p3.product_id, L"P3");
  ASSERT_EQ(p3.licences.size(), 2U);
  const LicenceRecord& a = p3.licences[0];
  EXPECT_EQ(a.activation_code, L"LIC-A");
  EXPECT_EQ(a.client_id, L"0") << "no ClientID";
  EXPECT_EQ(a.product_license_id, L"PL-1");
  EXPECT_EQ(a.license_version_type, 7U);
  EXPECT_EQ(a.activation_date, L"-001--1--1") << "no date";
  const LicenceRecord& b = p3.licences[1];
  EXPECT_EQ(b.activation_code, L"LIC-B");
  EXPECT_EQ(b.client_id, L"55");
  EXPECT_EQ(b.product_license_id, L"0");
  EXPECT_EQ(b.license_version_type, 0U);
  EXPECT_EQ(b.activation_date, L"2019-12-01");
}

TEST_F(InstallationDataFill, SuiteAndSystemFactsAndFieldsThatKeepTheirValue) {
  // No .NET Framework setup in the prefix (the test makes sure of it): an empty version
  // and the release "0".
  zentrak::testing::DeleteSuiteTree(L"SOFTWARE\\Microsoft\\NET Framework Setup");
  const HostSdkSession session(CreateHostEntry());
  InstallationData data;
  data.custom_id = 99;  // not in the fixture: kept
  ASSERT_TRUE(session.FillInstallationData(data));
  EXPECT_EQ(data.products.size(), 3U);
  EXPECT_EQ(data.os.os_major, 10);
  EXPECT_EQ(data.os.os_minor, 0);
  EXPECT_EQ(data.os.sp_major, 1);
  EXPECT_EQ(data.os.sp_minor, 2);
  EXPECT_EQ(data.os.os_type, 1);
  EXPECT_TRUE(data.os.os_x64);
  EXPECT_EQ(data.suite_id, 77);
  EXPECT_EQ(data.product_code, 12);
  EXPECT_EQ(data.suite_version, L"18.02.00.0001");
  EXPECT_EQ(data.suite_version_number, L"1802000001");
  EXPECT_EQ(data.country, L"ES");
  EXPECT_EQ(data.language, L"es-ES");
  EXPECT_EQ(data.product_type, 2);
  EXPECT_EQ(data.custom_id, 99);

  // This program runs as Windows 10: the build number is filled in.
  ASSERT_TRUE(sysinfo::IsWindows10());
  std::wstring build;
  ASSERT_TRUE(sysinfo::ReadBuildNumber(build));
  EXPECT_EQ(data.os.w10_build_number, build);
  EXPECT_EQ(data.os.net_version_installed, L"");
  EXPECT_EQ(data.os.net_framework_real_version, L"0");
}

// Runs as hostsdk_tests_win81.exe, which the test prefix reports as Windows 8.1.
TEST(InstallationDataNotWindows10, TheBuildNumberStaysZero) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ASSERT_TRUE(::GetVersionExW(&version));
#pragma GCC diagnostic pop
  // The fixture entry reports this copy as Windows 8.1; if that did not take, the test
  // cannot show what it is about.
  ASSERT_NE(version.dwMajorVersion, 10U) << "needs a program reported as Windows 8.1";
  const SdkSuite suite("InstallationDataNotWindows10",
                       "{\"products\":{\"P1\":{\"ClientID\":\"C-1\"}},\"config\":{" +
                           Item(item::kOsMajor, "6") + "," + Item(item::kOsMinor, "3") + "}}");
  const HostSdkSession session(CreateHostEntry());
  InstallationData data;
  data.os.w10_build_number = L"before";
  ASSERT_TRUE(session.FillInstallationData(data));
  EXPECT_FALSE(sysinfo::IsWindows10());
  EXPECT_EQ(data.os.os_major, 6);
  EXPECT_EQ(data.os.os_minor, 3);
  EXPECT_EQ(data.os.w10_build_number, L"0");
}

// A licence "VersionType" that is no unsigned number is not caught here: the caller's
// handler decides.
TEST(InstallationDataBadLicence, AnUnconvertibleVersionTypeRaisesTheComError) {
  const SdkSuite suite("InstallationDataBadLicence",
                       "{\"products\":{\"P1\":{\"Licenses\":{\"L-1\":{\"VersionType\":"
                       "\"not a number\"}}}}}");
  const HostSdkSession session(CreateHostEntry());
  std::vector<ProductRecord> products;
  try {
    (void)session.ReadProducts(products);
    FAIL() << "no error raised";
  } catch (const ComError& error) {
    EXPECT_EQ(error.result(), DISP_E_TYPEMISMATCH);
  }
}

}  // namespace
}  // namespace zentrak::hostsdk
