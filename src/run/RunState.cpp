#include "run/RunState.h"

#include <windows.h>

#include "run/StateTime.h"

namespace zentrak::run {

std::wstring StateFilePath(const std::wstring& repository_folder) {
  return repository_folder + L"\\" + kStateFileName;
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void LoadRunState(const std::wstring& repository_folder, EventConfig& config) {
  config.repository_directory = repository_folder + L"\\";
  const std::wstring path = config.repository_directory + kStateFileName;
  if (!IsExistingFile(path)) {
    config.installation_date.clear();
    return;
  }
  // A longer value is cut to what the 56-unit array holds.
  ::GetPrivateProfileStringW(kGlobalSection, kLastExecKey, L"", config.last_exec.data(),
                             static_cast<DWORD>(config.last_exec.size()), path.c_str());
  wchar_t installed[kLastExecCapacity] = {};
  const DWORD n = ::GetPrivateProfileStringW(kEvt1Section, kInstDateTimeKey, L"", installed,
                                             kLastExecCapacity, path.c_str());
  if (n > 0) config.installation_date.assign(installed, n);
}

bool LoadRunStateAndConfig(const hostsdk::HostSdkSession& /*session*/, EventConfig& config,
                           RunContext& context) {
  LoadRunState(context.repository_folder, config);
  return false;
}

std::wstring NowStateTimeText() {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  return FormatStateTime(
      CivilTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, 0});
}

void WriteStateKey(const std::wstring& state_file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value) {
  ::WritePrivateProfileStringW(section, key, value.c_str(), state_file.c_str());
}

}  // namespace zentrak::run
