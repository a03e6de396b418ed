// The licence, product and system facts of the SDK session.
#include "hostsdk/ConfigItems.h"
#include "hostsdk/HostSdk.h"
#include "sysinfo/OsVersion.h"
#include "sysinfo/VersionInfo.h"

namespace zentrak::hostsdk {
namespace {

// No licence map of the program's data holds more pairs; a larger count is not walked.
constexpr long kMaxPairs = 10000;

// A licence map's value under a key; none unless S_OK.
std::optional<ScopedVariant> Lookup(const ComPtr<ILicenceMap>& map, std::wstring_view key) {
  ScopedVariant value;
  if (map->Get(TextToVariant(key).get(), value.Receive()) != S_OK) return std::nullopt;
  return value;
}

std::optional<std::wstring> LookupText(const ComPtr<ILicenceMap>& map, std::wstring_view key) {
  const auto value = Lookup(map, key);
  if (!value) return std::nullopt;
  return VariantToText(value->get());
}

// "ActivationDate" as year-month-day ("-001--1--1" for a value that is no date).
std::optional<std::wstring> LookupActivationDate(const ComPtr<ILicenceMap>& map) {
  const auto value = Lookup(map, L"ActivationDate");
  if (!value) return std::nullopt;
  const OleDate date = VariantToDate(value->get());
  return ActivationDateText(DayOf(date), MonthOf(date), YearOf(date));
}

long PairCount(const ComPtr<ILicenceMap>& map) {
  long count = 0;
  (void)map->Count(&count);
  return count > kMaxPairs ? kMaxPairs : count;
}

// The key of a pair as text; none when it cannot be read or is empty.
std::optional<std::wstring> PairKey(const ComPtr<ILicenceMap>& map, long index) {
  ScopedVariant key;
  if (map->KeyAt(index, key.Receive()) != S_OK) return std::nullopt;
  std::wstring text = VariantToText(key.get());
  if (text.empty()) return std::nullopt;
  return text;
}

// The value of a pair as a map; none when it cannot be read. A value that is no map
// gives an empty pointer, which raises the COM error when it is used.
std::optional<ComPtr<ILicenceMap>> PairMap(const ComPtr<ILicenceMap>& map, long index) {
  ScopedVariant value;
  if (map->ValueAt(index, value.Receive()) != S_OK) return std::nullopt;
  return VariantToInterface<ILicenceMap>(value.get());
}

void ReadLicences(const ComPtr<ILicenceMap>& licences, std::vector<LicenceRecord>& list) {
  const long count = PairCount(licences);
  for (long index = 0; index < count; ++index) {
    auto code = PairKey(licences, index);
    if (!code) continue;
    LicenceRecord licence;
    licence.activation_code = std::move(*code);
    const auto map = PairMap(licences, index);
    if (!map) continue;
    if (auto text = LookupText(*map, L"ClientID")) licence.client_id = std::move(*text);
    if (auto text = LookupText(*map, L"ProductLicenseID")) {
      licence.product_license_id = std::move(*text);
    }
    if (const auto type = Lookup(*map, L"VersionType")) {
      licence.license_version_type = VariantToUInt32(type->get());
    }
    if (auto date = LookupActivationDate(*map)) licence.activation_date = std::move(*date);
    list.push_back(std::move(licence));
  }
}

ProductRecord ReadProduct(std::wstring product_id, const ComPtr<ILicenceMap>& map) {
  ProductRecord product;
  product.product_id = std::move(product_id);
  if (const auto licences = Lookup(map, L"Licenses")) {
    ReadLicences(VariantToInterface<ILicenceMap>(licences->get()), product.licences);
  } else {
    product.client_id = L"0";
    product.activation_code.clear();
    product.activation_date.clear();
    if (auto text = LookupText(map, L"ClientID")) product.client_id = std::move(*text);
    if (auto text = LookupText(map, L"ActivationCode")) product.activation_code = std::move(*text);
    if (auto date = LookupActivationDate(map)) product.activation_date = std::move(*date);
  }
  const auto type = Lookup(map, L"VersionType");
  product.version_type = type ? Int32Value(type->get()).value_or(0) : 0;
  product.my_account_id.clear();
  if (auto text = LookupText(map, L"MyAccountID")) product.my_account_id = std::move(*text);
  return product;
}

template <typename T>
void StoreNumber(const Configuration& config, std::uint32_t item, T& field) {
  if (const auto value = config.Read(item)) {
    if (const auto number = Int32Value(value->get())) field = *number;
  }
}

void StoreText(const Configuration& config, std::uint32_t item, std::wstring& field) {
  if (const auto value = config.Read(item)) {
    if (auto text = BstrField(value->get())) field = std::move(*text);
  }
}

}  // namespace

bool HostSdkSession::ReadProducts(std::vector<ProductRecord>& products) const {
  if (!license_) return !products.empty();
  ComPtr<ILicenceMap> root;
  {
    ScopedVariant filter;
    ScopedVariant licences;
    if (license_->GetLicences(filter.get(), licences.Receive()) != S_OK) return !products.empty();
    root = VariantToInterface<ILicenceMap>(licences.get());
  }
  const auto products_value = Lookup(root, L"Products");
  if (!products_value) return false;
  const ComPtr<ILicenceMap> map = VariantToInterface<ILicenceMap>(products_value->get());
  const long count = PairCount(map);
  for (long index = 0; index < count; ++index) {
    auto product_id = PairKey(map, index);
    if (!product_id) continue;
    const auto product_map = PairMap(map, index);
    if (!product_map) continue;
    products.push_back(ReadProduct(std::move(*product_id), *product_map));
  }
  return !products.empty();
}

bool HostSdkSession::ReadOsFacts(OsFacts& facts) const {
  const Configuration config = configuration();
  if (!config.exists()) return false;
  StoreNumber(config, item::kOsMajor, facts.os_major);
  StoreNumber(config, item::kOsMinor, facts.os_minor);
  StoreNumber(config, item::kServicePackMajor, facts.sp_major);
  StoreNumber(config, item::kServicePackMinor, facts.sp_minor);
  StoreNumber(config, item::kOsType, facts.os_type);
  if (const auto x64 = config.Read(item::kOsIs64Bit)) facts.os_x64 = VariantToBool(x64->get());

  facts.net_version_installed.clear();
  (void)sysinfo::GetDotNetVersion(facts.net_version_installed);
  facts.net_framework_real_version = L"0";
  (void)sysinfo::GetDotNetRelease(facts.net_framework_real_version);
  facts.w10_build_number = L"0";
  if (sysinfo::IsWindows10()) (void)sysinfo::ReadBuildNumber(facts.w10_build_number);
  return true;
}

bool HostSdkSession::FillInstallationData(InstallationData& data) const {
  if (!ReadProducts(data.products)) return false;
  if (!ReadOsFacts(data.os)) return false;
  const Configuration config = configuration();
  StoreNumber(config, item::kSuiteId, data.suite_id);
  StoreNumber(config, item::kProductCode, data.product_code);
  if (const auto value = config.Read(item::kSuiteVersion)) {
    if (auto text = BstrField(value->get())) {
      data.suite_version = std::move(*text);
      data.suite_version_number = SuiteVersionNumber(data.suite_version);
    }
  }
  StoreText(config, item::kCountry, data.country);
  StoreText(config, item::kLanguage, data.language);
  StoreNumber(config, item::kCustomId, data.custom_id);
  StoreNumber(config, item::kProductType, data.product_type);
  return true;
}

}  // namespace zentrak::hostsdk
