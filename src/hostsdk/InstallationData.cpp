#include "hostsdk/InstallationData.h"

#include <cwchar>

namespace zentrak::hostsdk {

std::wstring SuiteVersionNumber(std::wstring_view suite_version) {
  if (suite_version.size() < 9) return {};
  std::wstring number;
  number.append(suite_version.substr(0, 2));
  number.append(suite_version.substr(3, 2));
  number.append(suite_version.substr(6, 2));
  number.append(suite_version.substr(9));
  return number;
}

std::wstring ActivationDateText(int day, int month, int year) {
  wchar_t buffer[64] = {};
  std::swprintf(buffer, 64, L"%02d-%02d-%04d", day, month, year);
  std::wstring text(buffer);
  // Parts out of their two- and four-digit widths cannot come from a date; keep them whole.
  if (text.size() != 10) return text;
  return text.substr(6, 4) + L"-" + text.substr(3, 2) + L"-" + text.substr(0, 2);
}

}  // namespace zentrak::hostsdk
