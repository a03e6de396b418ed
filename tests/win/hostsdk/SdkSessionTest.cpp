// The activation context, the host entry object and the session's Configuration reads
// against the stand-in SDK.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "SdkFixture.h"
#include "TestZone.h"
#include "hostsdk/ConfigItems.h"
#include "hostsdk/HostSdk.h"

namespace zentrak::hostsdk {
namespace {

using testing::Calls;
using testing::ItemKey;
using testing::NewJournalLines;
using testing::SdkSuite;

TEST(NoInstallationFolder, WithoutTheSetupPathThereIsNoContextNowOrLater) {
  testing::SetSetupPath(nullptr);
  EXPECT_EQ(GetActivationContext(), nullptr);
  const std::wstring folder = testing::ProgramFolder();
  testing::SetSetupPath(&folder);
  EXPECT_EQ(GetActivationContext(), nullptr) << "the first answer is kept for the process";
}

// The installation time of the fixture: 26 March 2018 12:05:07, local time.
std::uint64_t InstallationFileTime() {
  SYSTEMTIME parts{};
  parts.wYear = 2018;
  parts.wMonth = 3;
  parts.wDay = 26;
  parts.wHour = 12;
  parts.wMinute = 5;
  parts.wSecond = 7;
  FILETIME time{};
  ::SystemTimeToFileTime(&parts, &time);
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// The fixture's installation time in UTC, by zone: 26 March 2018 is summer time in Los
// Angeles (-7) and Madrid (+2, since the 25th) and still summer time in Auckland (+13).
struct InstallationRow {
  const char* zone;
  const wchar_t* utc_text;
};
constexpr InstallationRow kInstallationRows[] = {
    {"UTC", L"2018-03-26T12:05:07"},
    {"America/Los_Angeles", L"2018-03-26T19:05:07"},
    {"Europe/Madrid", L"2018-03-26T10:05:07"},
    {"Pacific/Auckland", L"2018-03-25T23:05:07"},
};

std::string SessionFixture() {
  return "{\"config\":{\"" + ItemKey(item::kProxyServer) + "\":\"proxy.example:8080\",\"" +
         ItemKey(item::kProxyUser) + "\":\"proxy-user\",\"" + ItemKey(item::kSuiteId) + "\":77,\"" +
         ItemKey(item::kSuiteVersion) + "\":\"18.02.00.0001\",\"" + ItemKey(item::kCustomId) +
         "\":-1,\"" + ItemKey(item::kMuid) + "\":\"MUID-1\",\"" + ItemKey(item::kCountry) +
         "\":\"es\",\"" + ItemKey(item::kLanguage) + "\":5,\"" + ItemKey(item::kProductType) +
         "\":\"7\"," + testing::InstallTimeItems(InstallationFileTime()) +
         "},\"missing_progids\":[\"Tessel.License\"],\"faults\":[{\"call\":\"Configuration.3\","
         "\"match\":\"" +
         ItemKey(item::kCountry) + "\",\"hresult\":\"0x1\"}]}";
}

class SdkSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    suite_ = std::make_unique<SdkSuite>("SdkSession", SessionFixture());
  }
  static void TearDownTestSuite() { suite_.reset(); }
  static inline std::unique_ptr<SdkSuite> suite_;
};

std::string Hex(const void* data, std::size_t size) {
  std::string hex;
  char two[3];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(two, sizeof two, "%02x", static_cast<const unsigned char*>(data)[i]);
    hex += two;
  }
  return hex;
}

TEST_F(SdkSession, TheContextIsBuiltFromTheInstallationFolder) {
  const SdkActivationContext* context = GetActivationContext();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context, suite_->context());
  EXPECT_NE(context->handle(), INVALID_HANDLE_VALUE) << "error " << context->error();
  EXPECT_EQ(context->installation_folder(), testing::ProgramFolder());
}

TEST_F(SdkSession, HostEntryIsInitialisedWithTheWholeDataResource) {
  (void)NewJournalLines();
  const HostEntry host = CreateHostEntry();
  ASSERT_FALSE(host.empty());
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(102), MAKEINTRESOURCEW(1000));
  ASSERT_NE(found, nullptr);
  const void* bytes = ::LockResource(::LoadResource(module, found));
  const std::string expected = Hex(bytes, ::SizeofResource(module, found));
  ASSERT_EQ(expected.substr(0, 26), Hex("tessel-edata:", 13)) << "the tag is sent too";
  const auto calls = Calls(NewJournalLines(), "HostEntry.1");
  ASSERT_EQ(calls.size(), 1U);
  const std::string sent =
      calls[0].get<std::string>("bytes_hex", calls[0].get<std::string>("data.hex", ""));
  EXPECT_EQ(sent, expected);
}

TEST_F(SdkSession, ReadsCountOnlyExactSuccessWithTheRightType) {
  const HostSdkSession session(CreateHostEntry());
  EXPECT_EQ(session.ReadNumber(item::kSuiteId), 77);
  EXPECT_EQ(session.ReadNumber(item::kCustomId), -1);
  EXPECT_EQ(session.ReadText(item::kSuiteVersion), L"18.02.00.0001");
  EXPECT_EQ(session.ReadText(item::kMuid), L"MUID-1");
  EXPECT_FALSE(session.ReadText(item::kCountry)) << "S_FALSE is a failed read";
  EXPECT_FALSE(session.ReadText(item::kLanguage)) << "a number is no text";
  EXPECT_FALSE(session.ReadNumber(item::kProductType)) << "a text is no number";
  EXPECT_FALSE(session.ReadNumber(item::kOsMajor)) << "missing item";
}

TEST_F(SdkSession, AFailedPasswordReadKeepsServerAndUserAndFails) {
  const HostSdkSession session(CreateHostEntry());
  (void)NewJournalLines();
  ProxySettings proxy{L"old", L"old", L"old"};
  EXPECT_FALSE(session.ReadProxySettings(proxy));
  EXPECT_EQ(proxy.server, L"proxy.example:8080");
  EXPECT_EQ(proxy.user, L"proxy-user");
  EXPECT_EQ(proxy.password, L"old");
  const auto reads = Calls(NewJournalLines(), "Configuration.3");
  ASSERT_EQ(reads.size(), 3U);
  EXPECT_EQ(reads[0].get<std::string>("item"), "0x4009014");
  EXPECT_EQ(reads[1].get<std::string>("item"), "0x4009012");
  EXPECT_EQ(reads[2].get<std::string>("item"), "0x4009013");
}

TEST_F(SdkSession, StartupReadsOfTheRunsOwnHostEntry) {
  const HostEntry host = CreateHostEntry();
  const Configuration configuration(host);
  ASSERT_TRUE(configuration.exists());
  EXPECT_EQ(configuration.ReadAsText(item::kProxyServer), L"proxy.example:8080");
  EXPECT_EQ(configuration.ReadAsText(item::kLanguage), L"5") << "any value, as text";
  EXPECT_FALSE(configuration.ReadAsText(item::kProxyPassword));
}

TEST_F(SdkSession, InstallationTimeAsDateAndAsText) {
  const HostSdkSession session(CreateHostEntry());
  const std::uint64_t local = InstallationFileTime();
  const FILETIME given{static_cast<DWORD>(local), static_cast<DWORD>(local >> 32)};

  SYSTEMTIME local_parts{};
  ::FileTimeToSystemTime(&given, &local_parts);
  double expected_date = 0;
  ::SystemTimeToVariantTime(&local_parts, &expected_date);
  const OleDate date = session.InstallationDate();
  EXPECT_TRUE(date.valid());
  EXPECT_NEAR(date.value, expected_date, 1e-9) << "the local installation time";

  // The text is the installation time in UTC, with the offset in force on that date.
  const InstallationRow* row = zentrak::testing::RowForZone(kInstallationRows);
  ASSERT_NE(row, nullptr) << "no expected values for zone " << zentrak::testing::TestZone();
  EXPECT_EQ(session.InstallationDateText(), row->utc_text);
}

TEST_F(SdkSession, AProgIdWithoutObjectGivesAnEmptyPointer) {
  const HostEntry host = CreateHostEntry();
  EXPECT_TRUE(CreateObject<ILicense>(host, progid::kLicense).empty());
  EXPECT_FALSE(CreateObject<IReports>(host, progid::kReports).empty());
  (void)NewJournalLines();
  EXPECT_TRUE(CreateObject<IReports>(HostEntry(), progid::kReports).empty());
  EXPECT_TRUE(Calls(NewJournalLines(), "HostEntry.3").empty()) << "nothing asked without host";

  const HostSdkSession session(host);
  std::vector<ProductRecord> products;
  EXPECT_FALSE(session.ReadProducts(products));
  EXPECT_TRUE(Calls(NewJournalLines(), "License.3").empty());
}

class SdkWithoutConfiguration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    suite_ = std::make_unique<SdkSuite>(
        "SdkWithoutConfiguration",
        "{\"missing_progids\":[\"Tessel.Configuration\",\"Tessel.Reports\"],"
        "\"products\":{\"P1\":{\"ClientID\":\"C1\"}}}");
  }
  static void TearDownTestSuite() { suite_.reset(); }
  static inline std::unique_ptr<SdkSuite> suite_;
};

TEST_F(SdkWithoutConfiguration, EveryReadFailsAndNothingIsAsked) {
  {
    const HostSdkSession session(CreateHostEntry());
    (void)NewJournalLines();
    EXPECT_FALSE(session.ReadNumber(item::kSuiteId));
    EXPECT_FALSE(session.ReadText(item::kMuid));
    ProxySettings proxy{L"s", L"u", L"p"};
    EXPECT_FALSE(session.ReadProxySettings(proxy));
    EXPECT_EQ(proxy.server, L"s");
    EXPECT_EQ(session.InstallationDateText(), L"");
    // The zero FILETIME, converted.
    EXPECT_EQ(session.InstallationDate().value, FileTimeToDate(FILETIME{0, 0}).value);
    OsFacts facts;
    facts.os_major = 9;
    EXPECT_FALSE(session.ReadOsFacts(facts));
    EXPECT_EQ(facts.os_major, 9);
    InstallationData data;
    EXPECT_FALSE(session.FillInstallationData(data));
    std::vector<DetectionRecord> detections{DetectionRecord{}};
    EXPECT_FALSE(session.DetectionQuery(OleDate{}, 7, {DetectionRecord{-1, -1, {}}}, detections));
    EXPECT_TRUE(detections.empty());
    const auto lines = NewJournalLines();
    EXPECT_TRUE(Calls(lines, "Configuration.3").empty());
    EXPECT_TRUE(Calls(lines, "Reports.1").empty());
  }  // releasing the empty pointers does nothing
}

}  // namespace
}  // namespace zentrak::hostsdk
