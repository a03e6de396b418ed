// The detection report query against the stand-in SDK's reports.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "SdkFixture.h"
#include "hostsdk/HostSdk.h"

namespace zentrak::hostsdk {
namespace {

using testing::Calls;
using testing::NewJournalLines;
using testing::Quoted;
using testing::SdkSuite;

constexpr double kSecond = 1.0 / 86400;

// Now to the whole second, as a local OLE date.
double NowSeconds() { return std::round(LocalNow().value * 86400) / 86400; }

struct Entry {
  std::int32_t event_id;
  std::string report_time;  // a fixture value
  std::int32_t detection_id;
  std::int32_t malware_id;
  bool with_detection_id = true;
};

std::string ReportsJson(const std::vector<Entry>& entries) {
  std::string json = "[";
  for (const Entry& e : entries) {
    if (json.size() > 1) json += ",";
    json += "{\"EventId\":" + std::to_string(e.event_id) + ",\"ReportDateTime\":" + e.report_time;
    if (e.with_detection_id) json += ",\"DetectionID\":" + std::to_string(e.detection_id);
    json += ",\"MalwareID\":" + std::to_string(e.malware_id) + "}";
  }
  return json + "]";
}

std::string At(double date) { return Quoted(testing::DateText(date)); }

// Installed three days ago (local time).
std::string InstalledThreeDaysAgo() {
  return testing::InstallTimeItems(testing::LocalFileTimeNow() - 3 * testing::kFileTimeDay);
}

const std::vector<DetectionRecord> kAll = {{-1, -1, {}}};

std::vector<std::pair<std::int32_t, std::int32_t>> Ids(const std::vector<DetectionRecord>& list) {
  std::vector<std::pair<std::int32_t, std::int32_t>> ids;
  for (const auto& r : list) ids.emplace_back(r.malware_id, r.detection_id);
  return ids;
}

using IdList = std::vector<std::pair<std::int32_t, std::int32_t>>;

class DetectionQueryRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    now_ = NowSeconds();
    const std::vector<Entry> reports = {
        {0x100003, At(now_ - 1.0), 10, 1},        {0x100004, At(now_ - 1.5), 20, 2},
        {0x100003, At(now_ - 0.5), 10, 1},         // later report of (1, 10)
        {0x100006, At(now_ - 0.2), 30, 3},         // not a detection event
        {0x200005, At(now_ - 1.5), 20, 2},         // same time as the first (2, 20)
        {0x100005, At(now_ - 5.0), 40, 4},         // before the installation
        {0x10001B, At(now_ - 2.5), 50, 5},         // after the installation, older than two days
        {0x100007, At(now_ - 0.1), 60, 6, false},  // no DetectionID
    };
    suite_ = std::make_unique<SdkSuite>(
        "DetectionQueryRules",
        "{\"config\":{" + InstalledThreeDaysAgo() + "},\"reports\":" + ReportsJson(reports) + "}");
    session_ = std::make_unique<HostSdkSession>(CreateHostEntry());
  }
  static void TearDownTestSuite() {
    session_.reset();
    suite_.reset();
  }
  static inline double now_ = 0;
  static inline std::unique_ptr<SdkSuite> suite_;
  static inline std::unique_ptr<HostSdkSession> session_;
};

double FilterValue(const std::vector<boost::property_tree::ptree>& lines, const char* call) {
  const auto found = Calls(lines, call);
  EXPECT_EQ(found.size(), 1U) << call;
  const std::string value = found.empty() ? "" : testing::JournalValue(found[0], "value");
  return value.empty() ? 0.0 : std::stod(value);
}

TEST_F(DetectionQueryRules, StartZeroQueriesFromTheInstallationWithinTheMaximumAge) {
  (void)NewJournalLines();
  std::vector<DetectionRecord> result{DetectionRecord{}};  // cleared first
  ASSERT_TRUE(session_->DetectionQuery(OleDate{}, 7, kAll, result));
  EXPECT_EQ(Ids(result), (IdList{{2, 20}, {1, 10}, {5, 50}}));
  EXPECT_NEAR(result[1].report_time.value, now_ - 0.5, kSecond);
  const auto lines = NewJournalLines();
  EXPECT_NEAR(FilterValue(lines, "DateTimeFilterObject.20"), now_ - 3.0, 2 * kSecond);
  EXPECT_NEAR(FilterValue(lines, "DateTimeFilterObject.21"), now_, 60 * kSecond);
  const auto settings = Calls(lines, "ExtendedAction.7");
  ASSERT_EQ(settings.size(), 2U);
  EXPECT_EQ(settings[0].get<std::string>("name"), "Action");
  EXPECT_EQ(settings[1].get<std::string>("name"), "DateFilter");
  const auto pages = Calls(lines, "Reports.4");
  ASSERT_EQ(pages.size(), 1U);
  EXPECT_EQ(testing::JournalValue(pages[0], "first"), "0");
  EXPECT_EQ(testing::JournalValue(pages[0], "count"), "50");

  (void)NewJournalLines();
  ASSERT_TRUE(session_->DetectionQuery(OleDate{}, 2, kAll, result));
  EXPECT_EQ(Ids(result), (IdList{{2, 20}, {1, 10}}));
  EXPECT_NEAR(FilterValue(NewJournalLines(), "DateTimeFilterObject.20"), now_ - 2.0, 60 * kSecond);
}

TEST_F(DetectionQueryRules, AReportExactlyAtTheStartDateEnters) {
  std::vector<DetectionRecord> result;
  ASSERT_TRUE(session_->DetectionQuery(OleDate{}, 7, {{5, 50, {}}}, result));
  ASSERT_EQ(result.size(), 1U);
  const OleDate reported = result[0].report_time;
  ASSERT_TRUE(session_->DetectionQuery(reported, 3650, {{5, 50, {}}}, result));
  EXPECT_EQ(Ids(result), (IdList{{5, 50}}));
  EXPECT_FALSE(session_->DetectionQuery(OleDate::FromDouble(reported.value + kSecond), 3650,
                                        {{5, 50, {}}}, result));
  EXPECT_TRUE(result.empty());
}

TEST_F(DetectionQueryRules, TheSelectionListDecidesWhichDetectionsCount) {
  const struct {
    std::vector<DetectionRecord> selection;
    IdList expected;
  } cases[] = {
      {{}, {}},
      {{{1, -1, {}}}, {{1, 10}}},
      {{{-1, 20, {}}}, {{2, 20}}},
      {{{5, 50, {}}, {9, 9, {}}}, {{5, 50}}},
      {{{3, 30, {}}, {6, -1, {}}}, {}},  // skipped event, entry without DetectionID
  };
  for (const auto& c : cases) {
    std::vector<DetectionRecord> result;
    EXPECT_EQ(session_->DetectionQuery(OleDate{}, 7, c.selection, result), !c.expected.empty());
    EXPECT_EQ(Ids(result), c.expected);
  }
}

// Pages: a full page of 50 asks for the next; 49 do not.
std::string DistinctReports(int count) {
  std::vector<Entry> reports;
  const double now = NowSeconds();
  for (int i = 0; i < count; ++i) reports.push_back({0x100003, At(now - 0.5), i, 1000 + i});
  return "{\"reports\":" + ReportsJson(reports) + "}";
}

std::vector<int> PageRequests(const std::vector<boost::property_tree::ptree>& lines) {
  std::vector<int> firsts;
  for (const auto& page : Calls(lines, "Reports.4")) {
    firsts.push_back(std::stoi(testing::JournalValue(page, "first")));
  }
  return firsts;
}

TEST(DetectionQueryFullPage, FiftyEntriesAskForASecondPage) {
  const SdkSuite suite("DetectionQueryFullPage", DistinctReports(50));
  const HostSdkSession session(CreateHostEntry());
  (void)NewJournalLines();
  std::vector<DetectionRecord> result;
  ASSERT_TRUE(session.DetectionQuery(OleDate{}, 7, kAll, result));
  EXPECT_EQ(result.size(), 50U);
  EXPECT_EQ(PageRequests(NewJournalLines()), (std::vector<int>{0, 50}));
}

TEST(DetectionQueryShortPage, FortyNineEntriesAreTheLastPage) {
  const SdkSuite suite("DetectionQueryShortPage", DistinctReports(49));
  const HostSdkSession session(CreateHostEntry());
  (void)NewJournalLines();
  std::vector<DetectionRecord> result;
  ASSERT_TRUE(session.DetectionQuery(OleDate{}, 7, kAll, result));
  EXPECT_EQ(result.size(), 49U);
  EXPECT_EQ(PageRequests(NewJournalLines()), (std::vector<int>{0}));
}

TEST(DetectionQueryBadDate, AReportTimeWithoutDateObjectEndsTheQueryKeepingEarlierRecords) {
  const double now = NowSeconds();
  const std::vector<Entry> reports = {
      {0x100003, At(now - 0.5), 10, 1},
      {0x100006, "5", 20, 2},  // not selected, but its time is read first
      {0x100003, At(now - 0.4), 30, 3},
  };
  const SdkSuite suite("DetectionQueryBadDate", "{\"reports\":" + ReportsJson(reports) + "}");
  const HostSdkSession session(CreateHostEntry());
  std::vector<DetectionRecord> result;
  EXPECT_FALSE(session.DetectionQuery(OleDate{}, 7, kAll, result));
  EXPECT_EQ(Ids(result), (IdList{{1, 10}}));
}

TEST(DetectionQueryRefused, RefusedQueriesAndFailedPageRequestsEndWithFalse) {
  const double now = NowSeconds();
  const SdkSuite suite("DetectionQueryRefused",
                       "{\"reports\":" + ReportsJson({{0x100003, At(now - 0.5), 10, 1}}) +
                           ",\"missing_progids\":[\"Tessel.DateTimeFilterObject\"],\"faults\":["
                           "{\"call\":\"Reports.1\",\"hresult\":\"0x1\",\"count\":1},"
                           "{\"call\":\"Reports.4\",\"hresult\":\"0x80004005\"}]}");
  const HostSdkSession session(CreateHostEntry());
  (void)NewJournalLines();
  std::vector<DetectionRecord> result;
  EXPECT_FALSE(session.DetectionQuery(OleDate{}, 7, kAll, result));
  auto lines = NewJournalLines();
  EXPECT_EQ(Calls(lines, "Reports.1").size(), 1U);
  EXPECT_TRUE(Calls(lines, "Reports.4").empty()) << "S_FALSE stops before the pages";
  const auto settings = Calls(lines, "ExtendedAction.7");
  ASSERT_EQ(settings.size(), 1U) << "no date object: no DateFilter";
  EXPECT_EQ(settings[0].get<std::string>("name"), "Action");

  // The page request fails without a List: the query ends, once.
  EXPECT_FALSE(session.DetectionQuery(OleDate{}, 7, kAll, result));
  EXPECT_TRUE(result.empty());
  EXPECT_EQ(Calls(NewJournalLines(), "Reports.4").size(), 1U);
}

}  // namespace
}  // namespace zentrak::hostsdk
