#include "sysinfo/OsVersion.h"

#include <windows.h>

#include <cstring>

#include "sysinfo/OsVersionRule.h"

namespace zentrak::sysinfo {
namespace {

struct OsVersionFacts {
  bool queried = false;
  DWORD platform = 0;
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;
  BYTE product_type = 0;
  bool is_windows10 = false;
};

OsVersionFacts& Facts() {
  static OsVersionFacts facts;
  return facts;
}

// GetVersionExW is deprecated but is the query whose answer the manifest governs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool QueryVersion(OsVersionFacts& facts) {
  facts = OsVersionFacts{};
  OSVERSIONINFOEXW extended{};
  extended.dwOSVersionInfoSize = sizeof(extended);
  if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
    facts.product_type = extended.wProductType;
  } else {
    OSVERSIONINFOW basic{};
    basic.dwOSVersionInfoSize = sizeof(basic);
    if (!::GetVersionExW(&basic)) return false;
    std::memcpy(&extended, &basic, sizeof(basic));
  }
  facts.platform = extended.dwPlatformId;
  facts.major = extended.dwMajorVersion;
  facts.minor = extended.dwMinorVersion;
  facts.build = extended.dwBuildNumber;
  facts.is_windows10 =
      IsWindows10Version(facts.platform, facts.major, facts.minor, facts.product_type);
  if (!IsKnownPlatform(facts.platform)) return false;
  facts.queried = true;
  return true;
}
#pragma GCC diagnostic pop

}  // namespace

bool IsWindows10() {
  OsVersionFacts& facts = Facts();
  if (!facts.queried && !QueryVersion(facts)) return false;
  return facts.is_windows10;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool ReadBuildNumber(std::wstring& text) {
  OSVERSIONINFOW basic{};
  basic.dwOSVersionInfoSize = sizeof(basic);
  if (!::GetVersionExW(&basic)) return false;
  text = std::to_wstring(static_cast<unsigned long>(basic.dwBuildNumber));
  return true;
}
#pragma GCC diagnostic pop

}  // namespace zentrak::sysinfo
