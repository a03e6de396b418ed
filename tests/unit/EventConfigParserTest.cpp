#include <gtest/gtest.h>

#include <boost/property_tree/exceptions.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run/EventConfigParser.h"

namespace zentrak::run {
namespace {

using Ids = std::vector<std::pair<std::int32_t, std::int32_t>>;  // (malware, detection)

Ids IdsOf(const std::vector<hostsdk::DetectionRecord>& list) {
  Ids ids;
  for (const auto& r : list) ids.emplace_back(r.malware_id, r.detection_id);
  return ids;
}

bool Parse(const std::string& json, EventConfig& config) {
  std::istringstream in(json);
  return ParseEventConfig(in, config);
}

TEST(EventConfigFile, CompleteFileFillsEveryField) {
  EventConfig c;
  ASSERT_TRUE(Parse(
      R"({"DetectionsToEvent":[{"DetectionID":"any","MalwareID":123}],)"
      R"("DetectionsToTrack":[{"DetectionID":5,"MalwareID":"any"},{"DetectionID":"7","MalwareID":"-1","x":1}],)"
      R"("SendDetectionEvent":"true","SendDetectionTrack":false,"VPNEvent80":"true",)"
      R"("VPNEvent100":true,"ExpirationDays":30})",
      c));
  EXPECT_EQ(IdsOf(c.event_filters), (Ids{{123, -1}}));
  EXPECT_EQ(IdsOf(c.track_filters), (Ids{{-1, 5}, {-1, 7}}));
  EXPECT_TRUE(c.send_detection_event);
  EXPECT_FALSE(c.send_detection_track);
  EXPECT_TRUE(c.vpn_event_80);
  EXPECT_TRUE(c.vpn_event_100);
  EXPECT_EQ(c.expiration_days, 30U);
}

TEST(EventConfigFile, EmptyObjectKeepsTheDefaults) {
  EventConfig c;
  ASSERT_TRUE(Parse("{}", c));
  EXPECT_TRUE(c.send_detection_event);
  EXPECT_TRUE(c.send_detection_track);
  EXPECT_EQ(c.expiration_days, 0U);
  EXPECT_FALSE(c.vpn_event_80);
  EXPECT_FALSE(c.vpn_event_100);
  EXPECT_TRUE(c.event_filters.empty() && c.track_filters.empty());
}

TEST(EventConfigFile, FlagIsTrueOnlyForTheExactTextTrue) {
  const std::pair<std::string, bool> cases[] = {
      {"true", true},      {"\"true\"", true}, {"\"True\"", false}, {"1", false},
      {"\"TRUE\"", false}, {"false", false},   {"\"yes\"", false},  {"null", false}};
  for (const auto& [value, expected] : cases) {
    EventConfig c;
    ASSERT_TRUE(Parse("{\"SendDetectionEvent\":" + value + ",\"VPNEvent80\":" + value + "}", c));
    EXPECT_EQ(c.send_detection_event, expected) << value;
    EXPECT_EQ(c.vpn_event_80, expected) << value;
  }
}

TEST(EventConfigFile, UnknownMemberFailsTheLoadAfterEveryOtherMemberWasRead) {
  EventConfig c;
  EXPECT_FALSE(Parse(
      R"({"sendDetectionEvent":true,"ExpirationDays":"12","Other":{},"VPNEvent100":true})", c));
  EXPECT_EQ(c.expiration_days, 12U);
  EXPECT_TRUE(c.vpn_event_100);
}

TEST(EventConfigFile, IdentifiersAnyAndMinusOneMatchEverythingAndOrderAndDuplicatesStay) {
  EventConfig c;
  ASSERT_TRUE(Parse(R"({"DetectionsToEvent":[{"DetectionID":"any","MalwareID":"any"},)"
                    R"({"DetectionID":4294967295,"MalwareID":-1},{"DetectionID":2,"MalwareID":1},)"
                    R"({"DetectionID":2,"MalwareID":1}]})",
                    c));
  EXPECT_EQ(IdsOf(c.event_filters), (Ids{{-1, -1}, {-1, -1}, {1, 2}, {1, 2}}));
}

TEST(EventConfigFile, RepeatedListMemberAddsItsOwnEntries) {
  EventConfig c;
  ASSERT_TRUE(Parse(R"({"DetectionsToTrack":[{"DetectionID":1,"MalwareID":1}],)"
                    R"("DetectionsToTrack":[{"DetectionID":2,"MalwareID":2}]})",
                    c));
  EXPECT_EQ(IdsOf(c.track_filters), (Ids{{1, 1}, {2, 2}}));
}

TEST(EventConfigFile, InputTheReaderCannotAcceptRaisesItsError) {
  const std::string cases[] = {
      "",
      "{",
      "not json",
      std::string("\x00\x01\xff\xfe", 4),
      R"({"DetectionsToEvent":[{"MalwareID":1}]})",
      R"({"DetectionsToEvent":[{"DetectionID":1}]})",
      R"({"DetectionsToEvent":[{"DetectionID":"ANY","MalwareID":1}]})",
      R"({"DetectionsToEvent":[{"DetectionID":4294967296,"MalwareID":1}]})",
      R"({"DetectionsToEvent":[{"DetectionID":1.5,"MalwareID":1}]})",
      R"({"ExpirationDays":"thirty"})",
      R"({"ExpirationDays":99999999999})",
  };
  for (const std::string& json : cases) {
    EventConfig c;
    EXPECT_THROW((void)Parse(json, c), boost::property_tree::ptree_error)
        << ::testing::PrintToString(json);
  }
}

TEST(EventConfigFile, NestingAndSizeBeyondTheBoundsAreNotRead) {
  EventConfig c;
  const std::string deep =
      "{\"x\":" + std::string(kMaxConfigDepth, '[') + std::string(kMaxConfigDepth, ']') + "}";
  EXPECT_THROW((void)Parse(deep, c), EventConfigError);
  const std::string fits = "{\"x\":" + std::string(kMaxConfigDepth - 1, '[') +
                           std::string(kMaxConfigDepth - 1, ']') + "}";
  EXPECT_FALSE(Parse(fits, c));  // read, but "x" is not a member of the configuration
  const std::string brackets_in_text = "{\"x\":\"" + std::string(1000, '[') + "\"}";
  EXPECT_FALSE(Parse(brackets_in_text, c));
  const std::string huge = "{\"x\":\"" + std::string(kMaxConfigBytes, 'a') + "\"}";
  EXPECT_THROW((void)Parse(huge, c), EventConfigError);
}

TEST(EventConfigFile, ExpectedDigestReadsAsZeroOnlyWhenItIsAHexadecimalZero) {
  const std::pair<std::wstring, bool> cases[] = {
      {L"0", true},
      {L"00000000", true},
      {L"0000000000000000000000000000000", true},
      {L"d41d8cd98f00b204e9800998ecf8427e", false},  // does not fit 32 bits
      {L"D41D8CD9", false},
      {L"", false},
      {L"xyz", false},
      {L"1", false},
  };
  for (const auto& [digest, zero] : cases) {
    EXPECT_EQ(DigestReadsAsZero(digest), zero) << ::testing::PrintToString(digest);
  }
}

TEST(EventConfigFile, LocalCopyIsKeptOnlyWhenItsDigestMatchesInAnyCase) {
  const std::wstring digest = L"d41d8cd98f00b204e9800998ecf8427e";
  const struct {
    std::optional<std::wstring> local;
    bool is_url;
    ConfigFetch expected;
  } cases[] = {
      {digest, true, ConfigFetch::kKeep},
      {L"D41D8CD98F00B204E9800998ECF8427E", false, ConfigFetch::kKeep},
      {L"00000000000000000000000000000000", true, ConfigFetch::kDownload},
      {L"00000000000000000000000000000000", false, ConfigFetch::kCopy},
      {L"", true, ConfigFetch::kDownload},  // a local copy that could not be hashed
      {std::nullopt, true, ConfigFetch::kDownload},
      {std::nullopt, false, ConfigFetch::kCopy},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideConfigFetch(c.local, digest, c.is_url), c.expected)
        << ::testing::PrintToString(c.local.value_or(L"(none)")) << " url " << c.is_url;
  }
}

TEST(EventConfigFile, AFetchedFileIsUsedOnlyWhenItIsTheOneTheDigestNames) {
  const std::wstring expected = L"d41d8cd98f00b204e9800998ecf8427e";
  EXPECT_TRUE(DigestMatches(L"D41D8CD98F00B204E9800998ECF8427E", expected));
  EXPECT_FALSE(DigestMatches(L"d41d8cd98f00b204e9800998ecf8427f", expected));
  EXPECT_FALSE(DigestMatches(L"", expected));  // could not be read
  EXPECT_FALSE(DigestMatches(L"", L""));       // an empty "filemd5" names no file
}

}  // namespace
}  // namespace zentrak::run
