// The products, licences, suite facts and operating-system facts the installation and
// uninstallation documents are written from. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentrak::hostsdk {

struct OsFacts {
  std::int32_t os_major = 0;
  std::int32_t os_minor = 0;
  std::int32_t sp_major = 0;
  std::int32_t sp_minor = 0;
  std::int32_t os_type = 0;
  bool os_x64 = false;
  std::wstring net_version_installed;
  std::wstring net_framework_real_version;
  std::wstring w10_build_number;
};

struct LicenceRecord {
  std::uint32_t license_version_type = 0;
  std::wstring activation_code;
  std::wstring client_id = L"0";
  std::wstring product_license_id = L"0";
  std::wstring activation_date;
};

struct ProductRecord {
  std::wstring product_id;
  std::wstring activation_code;
  std::wstring client_id;
  std::int32_t version_type = 0;
  std::wstring my_account_id;
  std::wstring activation_date;
  std::vector<LicenceRecord> licences;
};

struct InstallationData {
  OsFacts os;
  std::int32_t suite_id = 0;
  std::wstring suite_version;
  std::wstring country;
  std::wstring language;
  std::int32_t custom_id = 0;
  std::int32_t product_type = 0;
  std::int32_t product_code = 0;
  std::wstring suite_version_number;
  std::vector<ProductRecord> products;
};

// The suite version without the separators at positions 2, 5 and 8 ("18.02.00.0001" gives
// "1802000001"); empty for a text shorter than nine characters.
[[nodiscard]] std::wstring SuiteVersionNumber(std::wstring_view suite_version);

// An activation date as year-month-day from its day, month and year (each -1 when the
// date could not be read): "%02d-%02d-%04d" rearranged, so an unreadable date gives
// "-001--1--1".
[[nodiscard]] std::wstring ActivationDateText(int day, int month, int year);

}  // namespace zentrak::hostsdk
