// The .NET Framework readers against the framework setup keys of the (Wine) registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestRegistry.h"
#include "support/Scoped.h"
#include "sysinfo/VersionInfo.h"

namespace zentrak::sysinfo {
namespace {

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup";
constexpr wchar_t kNdpKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP";

class DotNetSetupKeys : public ::testing::Test {
 protected:
  void SetUp() override { testing::DeleteSuiteTree(kSetupKey); }
  void TearDown() override { testing::DeleteSuiteTree(kSetupKey); }

  static ScopedRegKey Create(const std::wstring& subkey) {
    const std::wstring path = std::wstring(kNdpKey) + (subkey.empty() ? L"" : L"\\" + subkey);
    ScopedRegKey key = testing::CreateSuiteKey(path.c_str());
    EXPECT_TRUE(key);
    return key;
  }
  static void SetupEntry(const std::wstring& subkey, const DWORD* install, const wchar_t* version) {
    const ScopedRegKey key = Create(subkey);
    if (install != nullptr) {
      ::RegSetValueExW(key.get(), L"Install", 0, REG_DWORD, reinterpret_cast<const BYTE*>(install),
                       sizeof(DWORD));
    }
    if (version != nullptr) {
      ::RegSetValueExW(key.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    }
  }
};

constexpr DWORD kOne = 1;
constexpr DWORD kZero = 0;

TEST_F(DotNetSetupKeys, HighestInstalledVersionWithTheClientSubkeyRule) {
  SetupEntry(L"v2.0", &kOne, L"2.0.1");
  SetupEntry(L"v3.5", &kOne, L"3.5.1");
  SetupEntry(L"v4", nullptr, nullptr);
  SetupEntry(L"v4\\Client", &kOne, L"4.8.1");
  std::wstring text = L"before";
  EXPECT_TRUE(GetDotNetVersion(text));
  EXPECT_EQ(text, L"4.8.1");
}

TEST_F(DotNetSetupKeys, SubkeysThatDoNotCount) {
  SetupEntry(L"v3.5", &kOne, L"3.5.1");
  SetupEntry(L"V4", &kOne, L"9.9");            // upper-case "V" is ignored
  SetupEntry(L"CDF", &kOne, L"9.8");           // not a version key
  SetupEntry(L"v4.0", &kZero, L"9.7");         // not installed
  SetupEntry(L"v4.0\\Client", &kOne, L"9.6");  // and its Client is not looked at
  SetupEntry(L"v4.5", &kOne, nullptr);         // installed without a version
  SetupEntry(L"v10", &kOne, L"10.0");          // ordinal comparison: "10.0" < "3.5.1"
  std::wstring text;
  EXPECT_TRUE(GetDotNetVersion(text));
  EXPECT_EQ(text, L"3.5.1");
}

TEST_F(DotNetSetupKeys, WithoutTheSetupKeyTheVersionIsEmpty) {
  std::wstring text = L"before";
  EXPECT_FALSE(GetDotNetVersion(text));
  EXPECT_EQ(text, L"");
  SetupEntry(L"", nullptr, nullptr);
  text = L"before";
  EXPECT_FALSE(GetDotNetVersion(text));
  EXPECT_EQ(text, L"");
}

TEST_F(DotNetSetupKeys, ReleaseOfVersion4InDecimalOrLeftAsItWas) {
  std::wstring text = L"0";
  EXPECT_FALSE(GetDotNetRelease(text));
  EXPECT_EQ(text, L"0");

  const ScopedRegKey full = Create(L"v4\\Full");
  const DWORD release = 528040;
  ::RegSetValueExW(full.get(), L"Release", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&release),
                   sizeof(release));
  EXPECT_TRUE(GetDotNetRelease(text));
  EXPECT_EQ(text, L"528040");

  const unsigned long long wide = 528040;
  ::RegSetValueExW(full.get(), L"Release", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide),
                   sizeof(wide));
  text = L"0";
  EXPECT_FALSE(GetDotNetRelease(text)) << "a value longer than four bytes is not read";
  EXPECT_EQ(text, L"0");
}

}  // namespace
}  // namespace zentrak::sysinfo
