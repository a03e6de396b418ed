#include "tracking/Documents.h"

#include "hostsdk/OleDate.h"
#include "support/Text.h"

namespace zentrak::tracking {
namespace {

std::wstring Key(std::wstring_view key) {
  std::wstring text = L"\"";
  text += key;
  text += L"\":";
  return text;
}

// A member whose composition fails (memory) is written with the value null.
template <typename Compose>
std::wstring Pair(std::wstring_view key, Compose compose) {
  try {
    return Key(key) + compose();
  } catch (...) {
    return Key(key) + L"null";
  }
}

// Joins members (or elements) with single commas.
class Members {
 public:
  void Add(const std::wstring& member) {
    if (!text_.empty()) text_ += L',';
    text_ += member;
  }
  [[nodiscard]] std::wstring Object() const { return L"{" + text_ + L"}"; }
  [[nodiscard]] std::wstring Array() const { return L"[" + text_ + L"]"; }

 private:
  std::wstring text_;
};

std::uint32_t Unsigned(std::int32_t value) { return static_cast<std::uint32_t>(value); }

std::wstring LicenceObject(const hostsdk::LicenceRecord& licence) {
  Members m;
  m.Add(JsonStringPair(L"ActivationCode", licence.activation_code));
  m.Add(JsonStringPair(L"ActivationDate", licence.activation_date));
  if (licence.license_version_type != 0) {
    m.Add(JsonNumberPair(L"LicenseVersionType", licence.license_version_type, true));
  }
  m.Add(JsonStringPair(L"ClientID", licence.client_id));
  m.Add(JsonStringPair(L"ProductLicenseID", licence.product_license_id));
  return m.Object();
}

// A product without licences is described by one licence built from the product itself.
std::wstring ProductAsLicenceObject(const hostsdk::ProductRecord& product) {
  Members m;
  m.Add(JsonStringPair(L"ActivationCode", product.activation_code));
  m.Add(JsonStringPair(L"ActivationDate", product.activation_date));
  m.Add(JsonNumberPair(L"LicenseVersionType", Unsigned(product.version_type), true));
  m.Add(JsonStringPair(L"ProductLicenseID", product.product_id));
  m.Add(JsonStringPair(L"ClientID", product.client_id));
  return m.Object();
}

std::wstring ProductObject(const hostsdk::ProductRecord& product) {
  Members m;
  m.Add(JsonStringPair(L"ProductID", product.product_id));
  m.Add(JsonNumberPair(L"VersionType", Unsigned(product.version_type), true));
  m.Add(JsonStringPair(L"MyAccountID", product.my_account_id));
  m.Add(Pair(L"Licenses", [&] {
    Members licences;
    if (product.licences.empty()) {
      licences.Add(ProductAsLicenceObject(product));
    } else {
      for (const auto& licence : product.licences) licences.Add(LicenceObject(licence));
    }
    return licences.Array();
  }));
  return m.Object();
}

std::wstring DetectionObject(const hostsdk::DetectionRecord& detection) {
  Members m;
  m.Add(JsonStringPair(L"DateTime", hostsdk::FormatDate(detection.report_time)));
  m.Add(JsonNumberPair(L"DetectionID", Unsigned(detection.detection_id), false));
  m.Add(JsonNumberPair(L"MalwareID", Unsigned(detection.malware_id), false));
  return m.Object();
}

}  // namespace

std::wstring JsonStringPair(std::wstring_view key, std::wstring_view value) {
  return Pair(key, [&] {
    return L"\"" + text::JsonEscape(value, text::JsonEscapeNonLatin1::kYes) + L"\"";
  });
}

std::wstring JsonNumberPair(std::wstring_view key, std::uint32_t value, bool quoted) {
  return Pair(key, [&] {
    const std::wstring digits = std::to_wstring(value);
    return quoted ? L"\"" + digits + L"\"" : digits;
  });
}

std::wstring JsonFlagPair(std::wstring_view key, bool flag) {
  return Pair(key, [&] { return std::wstring(flag ? L"\"True\"" : L"\"False\""); });
}

std::wstring BuildOsInfoFragment(const hostsdk::OsFacts& os) {
  return Pair(L"OSInfo", [&] {
    Members m;
    m.Add(JsonStringPair(L"Platform", L"Windows"));
    m.Add(JsonNumberPair(L"OSMajorVer", Unsigned(os.os_major), true));
    m.Add(JsonNumberPair(L"OSMinorVer", Unsigned(os.os_minor), true));
    m.Add(JsonNumberPair(L"SPMajorVer", Unsigned(os.sp_major), true));
    m.Add(JsonNumberPair(L"SPMinorVer", Unsigned(os.sp_minor), true));
    m.Add(JsonNumberPair(L"OSType", Unsigned(os.os_type), true));
    m.Add(JsonFlagPair(L"OSx64", os.os_x64));
    m.Add(JsonStringPair(L"NetVersionInstalled", os.net_version_installed));
    m.Add(JsonStringPair(L"NetFrameworkRealVersion", os.net_framework_real_version));
    m.Add(JsonStringPair(L"W10BuildNumber", os.w10_build_number));
    return m.Object();
  });
}

std::wstring BuildProductsFragment(const std::vector<hostsdk::ProductRecord>& products) {
  return Pair(L"Products", [&] {
    Members m;
    for (const auto& product : products) m.Add(ProductObject(product));
    return m.Array();
  });
}

std::wstring BuildInstallationDocument(const hostsdk::InstallationData& data,
                                       std::wstring_view muid, std::wstring_view inst_uid,
                                       bool uninstall) {
  Members m;
  m.Add(JsonStringPair(L"EventType", uninstall ? L"Uninstallation" : L"Installation"));
  m.Add(JsonStringPair(L"MUID", muid));
  m.Add(BuildOsInfoFragment(data.os));
  m.Add(JsonNumberPair(L"SuiteID", Unsigned(data.suite_id), true));
  m.Add(JsonStringPair(L"SuiteVersion", data.suite_version));
  m.Add(JsonStringPair(L"SuiteVersionNumber", data.suite_version_number));
  m.Add(JsonStringPair(L"Country", data.country));
  m.Add(JsonStringPair(L"Language", data.language));
  m.Add(JsonNumberPair(L"CustomID", Unsigned(data.custom_id), true));
  if (!inst_uid.empty()) m.Add(JsonStringPair(L"InstUID", inst_uid));
  m.Add(BuildProductsFragment(data.products));
  return m.Object();
}

std::wstring BuildDetectionDocument(const std::vector<hostsdk::DetectionRecord>& detections,
                                    std::wstring_view muid, std::wstring_view inst_uid) {
  Members m;
  m.Add(JsonStringPair(L"EventType", L"Detection"));
  m.Add(JsonStringPair(L"MUID", muid));
  if (!inst_uid.empty()) m.Add(JsonStringPair(L"InstUID", inst_uid));
  m.Add(Pair(L"DetectionsInfo", [&] {
    Members entries;
    for (std::size_t i = 0; i < detections.size() && i < kMaxDocumentDetections; ++i) {
      entries.Add(DetectionObject(detections[i]));
    }
    return entries.Array();
  }));
  return m.Object();
}

}  // namespace zentrak::tracking
