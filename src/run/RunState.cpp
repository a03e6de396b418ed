#include "run/RunState.h"

#include <windows.h>

#include <cwchar>

namespace zentrak::run {

bool LoadRunStateAndConfig(const hostsdk::HostSdkSession& /*session*/, EventConfig& /*config*/,
                           RunContext& /*context*/) {
  return false;
}

std::wstring NowStateTimeText() {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  wchar_t buffer[64] = {};
  const int n = std::swprintf(buffer, 64, L"%4d-%02d-%02dT%02d:%02d:%02d", now.wYear, now.wMonth,
                              now.wDay, now.wHour, now.wMinute, now.wSecond);
  return n > 0 ? std::wstring(buffer, static_cast<std::size_t>(n)) : std::wstring();
}

void WriteStateKey(const std::wstring& state_file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value) {
  ::WritePrivateProfileStringW(section, key, value.c_str(), state_file.c_str());
}

}  // namespace zentrak::run
