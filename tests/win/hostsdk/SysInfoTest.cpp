// Version facts of a program that carries the Windows 10 manifest and a version resource
// (file version 1.2.3.4, "FileVersion" string "1.2.3.4 (hostsdk tests)").
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "sysinfo/OsVersion.h"
#include "sysinfo/VersionInfo.h"

namespace zentrak::sysinfo {
namespace {

TEST(SystemFacts, FileVersionIsTheStringOfTheFirstTranslation) {
  std::wstring text = L"before";
  ASSERT_TRUE(GetFileVersionText(text));
  EXPECT_EQ(text, L"1.2.3.4 (hostsdk tests)");
}

TEST(SystemFacts, ProductVersionTextIsBuiltFromTheFixedVersion) {
  EXPECT_EQ(GetProductVersionText(), L"Zentrak_1_2_3_4");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
TEST(SystemFacts, Windows10WorkstationWithItsBuildNumber) {
  // The test prefix reports Windows 10 to programs whose manifest lists it.
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
  ASSERT_EQ(version.dwMajorVersion, 10U) << "the Wine prefix must report win10";
  EXPECT_TRUE(IsWindows10());
  EXPECT_TRUE(IsWindows10());  // answered from the kept facts
  std::wstring build = L"0";
  ASSERT_TRUE(ReadBuildNumber(build));
  EXPECT_EQ(build, std::to_wstring(version.dwBuildNumber));
  EXPECT_NE(build, L"0");
}
#pragma GCC diagnostic pop

}  // namespace
}  // namespace zentrak::sysinfo
