// The document builders on arbitrary texts: whatever the SDK hands over, the document is
// JSON that a strict reader accepts, and every character survives the one-byte file.
#include <boost/property_tree/json_parser.hpp>
#include <cstdlib>
#include <sstream>

#include "FuzzText.h"
#include "support/Text.h"
#include "tracking/Documents.h"

namespace {

void ExpectJson(const std::wstring& document) {
  if (zentrak::text::SingleBytePrefix(document).size() != document.size()) std::abort();
  std::istringstream in(zentrak::text::ToUtf8(document));
  boost::property_tree::ptree tree;
  try {
    boost::property_tree::read_json(in, tree);
  } catch (...) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = FuzzWideText(data, size);
  // Spread the input over the texts of one product with one licence.
  const std::size_t third = text.size() / 3;
  const std::wstring a = text.substr(0, third);
  const std::wstring b = text.substr(third, third);
  const std::wstring c = text.substr(2 * third);

  zentrak::hostsdk::InstallationData install;
  install.suite_version = a;
  install.country = b;
  install.language = c;
  install.os.net_version_installed = c;
  zentrak::hostsdk::ProductRecord product;
  product.product_id = a;
  product.my_account_id = b;
  product.version_type = static_cast<std::int32_t>(size);
  product.licences.push_back({static_cast<std::uint32_t>(size % 3), b, c, a, c});
  install.products = {product, zentrak::hostsdk::ProductRecord{c, a, b, -1, c, a, {}}};
  ExpectJson(zentrak::tracking::BuildInstallationDocument(install, a, b, size % 2 == 0));

  std::vector<zentrak::hostsdk::DetectionRecord> detections;
  for (std::size_t i = 0; i < size % 16; ++i) {
    const double when = i < size ? static_cast<double>(data[i]) * 1000.0 - 50000.0 : 0.0;
    detections.push_back({static_cast<std::int32_t>(i) - 1, static_cast<std::int32_t>(size),
                          zentrak::hostsdk::OleDate::FromDouble(when)});
  }
  ExpectJson(zentrak::tracking::BuildDetectionDocument(detections, c, a));
  return 0;
}
