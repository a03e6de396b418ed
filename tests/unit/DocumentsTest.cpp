#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <sstream>
#include <string>

#include "hostsdk/OleDate.h"
#include "support/Text.h"
#include "tracking/Documents.h"

namespace zentrak::tracking {
namespace {

using hostsdk::DetectionRecord;
using hostsdk::InstallationData;
using hostsdk::LicenceRecord;
using hostsdk::OleDate;
using hostsdk::ProductRecord;

// A strict reader must accept every document the program writes.
void ExpectValidJson(const std::wstring& document) {
  std::istringstream in(text::ToUtf8(document));
  boost::property_tree::ptree tree;
  EXPECT_NO_THROW(boost::property_tree::read_json(in, tree)) << text::ToUtf8(document);
}

InstallationData SampleData() {
  InstallationData d;
  d.os = {10, 0, 0, 0, 1, true, L"4.8.1", L"528040", L"18362"};
  d.suite_id = 77;
  d.suite_version = L"18.04.00.0000";
  d.suite_version_number = L"1804000000";
  d.country = L"ES";
  d.language = L"es-ES";
  d.custom_id = -1;
  ProductRecord with_licences{L"P1", L"", L"", 3, L"acct@x", L"", {}};
  with_licences.licences.push_back(LicenceRecord{0, L"CODE-A", L"11", L"PL-1", L"2018-03-26"});
  with_licences.licences.push_back(LicenceRecord{5, L"CODE-B", L"0", L"0", L""});
  const ProductRecord without_licences{L"P2", L"CODE-P2", L"0", 0, L"", L"2019-01-02", {}};
  d.products = {with_licences, without_licences};
  return d;
}

TEST(InstallationDocument, MembersInTheirOrderWithBothLicenceRules) {
  const std::wstring doc = BuildInstallationDocument(SampleData(), L"M-1", L"", false);
  EXPECT_EQ(doc,
            L"{\"EventType\":\"Installation\",\"MUID\":\"M-1\","
            L"\"OSInfo\":{\"Platform\":\"Windows\",\"OSMajorVer\":\"10\",\"OSMinorVer\":\"0\","
            L"\"SPMajorVer\":\"0\",\"SPMinorVer\":\"0\",\"OSType\":\"1\",\"OSx64\":\"True\","
            L"\"NetVersionInstalled\":\"4.8.1\",\"NetFrameworkRealVersion\":\"528040\","
            L"\"W10BuildNumber\":\"18362\"},"
            L"\"SuiteID\":\"77\",\"SuiteVersion\":\"18.04.00.0000\","
            L"\"SuiteVersionNumber\":\"1804000000\",\"Country\":\"ES\",\"Language\":\"es-ES\","
            L"\"CustomID\":\"4294967295\","
            L"\"Products\":[{\"ProductID\":\"P1\",\"VersionType\":\"3\",\"MyAccountID\":\"acct@x\","
            L"\"Licenses\":[{\"ActivationCode\":\"CODE-A\",\"ActivationDate\":\"2018-03-26\","
            L"\"ClientID\":\"11\",\"ProductLicenseID\":\"PL-1\"},"
            L"{\"ActivationCode\":\"CODE-B\",\"ActivationDate\":\"\",\"LicenseVersionType\":\"5\","
            L"\"ClientID\":\"0\",\"ProductLicenseID\":\"0\"}]},"
            L"{\"ProductID\":\"P2\",\"VersionType\":\"0\",\"MyAccountID\":\"\","
            L"\"Licenses\":[{\"ActivationCode\":\"CODE-P2\",\"ActivationDate\":\"2019-01-02\","
            L"\"LicenseVersionType\":\"0\",\"ProductLicenseID\":\"P2\",\"ClientID\":\"0\"}]}]}");
  ExpectValidJson(doc);
}

TEST(InstallationDocument, InstUidStandsBetweenCustomIdAndProductsOnlyWhenSet) {
  InstallationData d;
  const std::wstring with = BuildInstallationDocument(d, L"M", L"I-9", true);
  EXPECT_NE(with.find(L"\"CustomID\":\"0\",\"InstUID\":\"I-9\",\"Products\":[]}"),
            std::wstring::npos);
  EXPECT_EQ(with.rfind(L"{\"EventType\":\"Uninstallation\",", 0), 0U);
  const std::wstring without = BuildInstallationDocument(d, L"M", L"", true);
  EXPECT_NE(without.find(L"\"CustomID\":\"0\",\"Products\":[]}"), std::wstring::npos);
  EXPECT_NE(without.find(L"\"SuiteID\":\"0\""), std::wstring::npos);
  EXPECT_NE(without.find(L"\"OSx64\":\"False\""), std::wstring::npos);
}

TEST(InstallationDocument, TextsAreEscapedSoTheDocumentStaysValid) {
  InstallationData d = SampleData();
  d.country = L"a\"b\\c\n\x01";
  d.language = L"\u00f1\u4e2d\U0001F600";
  const std::wstring doc = BuildInstallationDocument(d, L"M\"", L"", false);
  EXPECT_NE(doc.find(L"\"Country\":\"a\\\"b\\\\c\\n\\u0001\""), std::wstring::npos);
  EXPECT_NE(doc.find(L"\"Language\":\"\u00f1\\u4e2d\\ud83d\\ude00\""), std::wstring::npos);
  EXPECT_EQ(text::SingleBytePrefix(doc).size(), doc.size());  // nothing lost in the file
  ExpectValidJson(doc);
}

TEST(PairWriters, NumbersAreUnsignedAndQuotedPerMember) {
  EXPECT_EQ(JsonNumberPair(L"SuiteID", 0, true), L"\"SuiteID\":\"0\"");
  EXPECT_EQ(JsonNumberPair(L"DetectionID", 4294967295U, false), L"\"DetectionID\":4294967295");
  EXPECT_EQ(JsonFlagPair(L"OSx64", true), L"\"OSx64\":\"True\"");
  EXPECT_EQ(JsonStringPair(L"K", L""), L"\"K\":\"\"");
}

DetectionRecord Detection(std::int32_t malware, std::int32_t detection, OleDate time) {
  return DetectionRecord{malware, detection, time};
}

TEST(DetectionDocument, EntriesWithBareIdentifiersAndDateTexts) {
  const OleDate march = OleDate::FromDouble(*hostsdk::JoinDate(2018, 3, 26, 7, 36, 20));
  const std::vector<DetectionRecord> detections = {Detection(7, 12, march),
                                                   Detection(-1, -1, OleDate::Invalid()),
                                                   Detection(1, 2, OleDate::Null())};
  const std::wstring doc = BuildDetectionDocument(detections, L"M-1", L"");
  EXPECT_EQ(doc,
            L"{\"EventType\":\"Detection\",\"MUID\":\"M-1\",\"DetectionsInfo\":["
            L"{\"DateTime\":\"2018-03-26T07:36:20\",\"DetectionID\":12,\"MalwareID\":7},"
            L"{\"DateTime\":\"Invalid DateTime\",\"DetectionID\":4294967295,"
            L"\"MalwareID\":4294967295},"
            L"{\"DateTime\":\"\",\"DetectionID\":2,\"MalwareID\":1}]}");
  ExpectValidJson(doc);
  EXPECT_NE(BuildDetectionDocument(detections, L"M-1", L"I")
                .find(L"\"MUID\":\"M-1\",\"InstUID\":\"I\",\"DetectionsInfo\":["),
            std::wstring::npos);
}

TEST(DetectionDocument, HoldsTheFirstElevenOfFifteenDetections) {
  std::vector<DetectionRecord> detections;
  for (int i = 0; i < 15; ++i) detections.push_back(Detection(i, 100 + i, OleDate::Null()));
  const std::wstring doc = BuildDetectionDocument(detections, L"M", L"");
  std::size_t entries = 0;
  for (std::size_t at = doc.find(L"\"DateTime\""); at != std::wstring::npos;
       at = doc.find(L"\"DateTime\"", at + 1)) {
    ++entries;
  }
  EXPECT_EQ(entries, 11U);
  EXPECT_NE(doc.find(L"\"DetectionID\":110,\"MalwareID\":10}]}"), std::wstring::npos);
}

}  // namespace
}  // namespace zentrak::tracking
