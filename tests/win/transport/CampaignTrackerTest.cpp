// The campaign tracker against the stand-in CommsWrapper.dll beside this program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestBed.h"
#include "transport/CampaignTracker.h"
#include "transport/Endpoints.h"

namespace zentrak::transport {
namespace {

using testing::ScratchFolder;
using testing::StandinSettings;
using testing::Tree;
using testing::Utf8;
using Names = std::vector<std::string>;

class Tracker : public ::testing::Test {
 protected:
  Tracker() : folder_(L"tracker"), standin_(folder_) {}
  void SetUp() override { ASSERT_TRUE(tracker_.Load()); }
  void SetFields() {
    tracker_.SetProductCode(-7);
    tracker_.SetSuiteVersion(L"21.1.0.4");
    tracker_.SetProductType(3);
    tracker_.SetMachineId(L"MUID-\u00e9");
    tracker_.SetCustomId(2147483647);
    tracker_.SetEventType(L"install");
  }

  ScratchFolder folder_;
  StandinSettings standin_;
  CampaignTracker tracker_;
};

TEST_F(Tracker, SendsTheSixFieldsAndTheParametersInOrder) {
  EXPECT_EQ(tracker_.target_url(),
            L"http://" + std::wstring(build::kTrackingHost) + L"/track/campaign/details.html");
  SetFields();
  tracker_.AddParameter(L"InstUID", L"{1234}");
  tracker_.AddParameter(L"ProductID", -5);
  tracker_.AddParameter(L"Empty", L"");
  EXPECT_TRUE(tracker_.Send());
  EXPECT_TRUE(tracker_.parameters().empty());

  EXPECT_EQ(standin_.CallNames(),
            (Names{"GetUtil", "CreateTrackRequest", "SetTrackFields", "BeginParameters",
                   "AddTrackParameter", "AddTrackParameter", "AddTrackParameter", "SendTrack",
                   "ReleaseTrackRequest"}));
  EXPECT_EQ(standin_.Call("CreateTrackRequest").get<std::string>("url"),
            "http://" + Utf8(build::kTrackingHost) + "/track/campaign/details.html");
  const Tree fields = standin_.Call("SetTrackFields");
  EXPECT_EQ(fields.get<std::string>("product_code"), "-7");
  EXPECT_EQ(fields.get<std::string>("suite_version"), "21.1.0.4");
  EXPECT_EQ(fields.get<std::string>("product_type"), "3");
  EXPECT_EQ(fields.get<std::string>("machine_id"), "MUID-\xc3\xa9");
  EXPECT_EQ(fields.get<std::string>("custom_id"), "2147483647");
  EXPECT_EQ(fields.get<std::string>("event_type"), "install");
  std::vector<std::pair<std::string, std::string>> parameters;
  for (const Tree& call : standin_.Calls()) {
    if (call.get<std::string>("call") == "AddTrackParameter") {
      parameters.emplace_back(call.get<std::string>("name"), call.get<std::string>("value"));
    }
  }
  EXPECT_EQ(parameters, (std::vector<std::pair<std::string, std::string>>{
                            {"InstUID", "{1234}"}, {"ProductID", "-5"}, {"Empty", ""}}));
  const Tree send = standin_.Call("SendTrack");
  EXPECT_EQ(send.get<int>("mode"), 7);
  EXPECT_EQ(send.get<std::string>("proxy"), "null");
  EXPECT_TRUE(send.get_child("errors").empty());
}

TEST_F(Tracker, WithoutParametersTheSendFailsAfterTheFieldsAndReleasesTheRequest) {
  SetFields();
  EXPECT_FALSE(tracker_.Send());
  EXPECT_EQ(standin_.CallNames(),
            (Names{"GetUtil", "CreateTrackRequest", "SetTrackFields", "ReleaseTrackRequest"}));
}

TEST_F(Tracker, ALibraryFailureFailsTheSendAndEmptiesTheList) {
  struct Case {
    const wchar_t* fail;
    Names calls;  // after GetUtil and CreateTrackRequest
  };
  const Case cases[] = {
      {L"SetTrackFields", {"SetTrackFields", "ReleaseTrackRequest"}},
      {L"BeginParameters", {"SetTrackFields", "BeginParameters", "ReleaseTrackRequest"}},
      {L"AddTrackParameter:2",
       {"SetTrackFields", "BeginParameters", "AddTrackParameter", "AddTrackParameter",
        "ReleaseTrackRequest"}},
      {L"SendTrack",
       {"SetTrackFields", "BeginParameters", "AddTrackParameter", "AddTrackParameter",
        "AddTrackParameter", "SendTrack", "ReleaseTrackRequest"}},
      // No request at all: nothing to fill or release.
      {L"CreateTrackRequest", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.fail));
    StandinSettings standin(folder_);
    standin.Fail(c.fail);
    for (const wchar_t* name : {L"a", L"b", L"c"}) tracker_.AddParameter(name, L"v");
    EXPECT_FALSE(tracker_.Send());
    EXPECT_TRUE(tracker_.parameters().empty());
    Names expected{"CreateTrackRequest"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(standin.CallNames(), expected);
  }
}

TEST_F(Tracker, ProxyRecordCarriesTheGivenTextsUntilAnEmptyServerRemovesIt) {
  std::wstring server = L"127.0.0.9:3128";
  tracker_.SetProxy(server, L"user", L"");
  server.clear();  // the tracker keeps its own copies
  tracker_.AddParameter(L"p", L"1");
  EXPECT_TRUE(tracker_.Send());
  const Tree proxy = standin_.Call("SendTrack").get_child("proxy");
#ifdef _WIN64
  EXPECT_EQ(proxy.get<int>("size"), 32);  // the x86-64 test build's natural layout
#else
  EXPECT_EQ(proxy.get<int>("size"), 16);
#endif
  EXPECT_EQ(proxy.get<std::string>("server"), "127.0.0.9:3128");
  EXPECT_EQ(proxy.get<std::string>("user"), "user");
  EXPECT_EQ(proxy.get<std::string>("password"), "");  // empty, not absent

  StandinSettings second(folder_);
  tracker_.SetProxy(L"", L"user", L"password");
  tracker_.AddParameter(L"p", L"1");
  EXPECT_TRUE(tracker_.Send());
  EXPECT_EQ(second.Call("SendTrack").get<std::string>("proxy"), "null");
}

TEST_F(Tracker, InDeliveryModeTracksReachTheCollectorDirectlyAndThroughTinyproxy) {
  ASSERT_FALSE(testing::ServersFolder().empty()) << "servers.sh did not run";
  standin_.Deliver(L"");
  struct Case {
    const wchar_t* proxy;
    const wchar_t* path;
  };
  const Case cases[] = {{L"", kCampaignTrackPath}, {testing::kTinyproxy, kDetectionTrackPath}};
  int sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.path));
    tracker_.SetTargetUrl(std::wstring(L"http://") + testing::kOrigin + c.path);
    tracker_.SetProxy(c.proxy, L"tinyuser", L"tinypass");
    SetFields();
    tracker_.AddParameter(L"Sequence", ++sent);
    tracker_.AddParameter(L"DateTime", L"2024-02-29T23:59:59");
    ASSERT_TRUE(tracker_.Send());
    const auto tracks = testing::Recorded(L"origin", Utf8(c.path));
    ASSERT_FALSE(tracks.empty());
    std::vector<std::pair<std::string, std::string>> query;
    for (const auto& [key, pair] : tracks.back().get_child("query")) {
      (void)key;
      std::vector<std::string> both;
      for (const auto& [unused, item] : pair) {
        (void)unused;
        both.push_back(item.get_value<std::string>());
      }
      query.emplace_back(both.at(0), both.at(1));
    }
    EXPECT_EQ(query, (std::vector<std::pair<std::string, std::string>>{
                         {"product_code", "-7"},
                         {"suite_version", "21.1.0.4"},
                         {"product_type", "3"},
                         {"machine_id", "MUID-\xc3\xa9"},
                         {"custom_id", "2147483647"},
                         {"event_type", "install"},
                         {"Sequence", std::to_string(sent)},
                         {"DateTime", "2024-02-29T23:59:59"}}));
    const bool via_tinyproxy =
        tracks.back().get<std::string>("headers.Via", "").find("tinyproxy") != std::string::npos;
    EXPECT_EQ(via_tinyproxy, *c.proxy != L'\0');
  }
}

}  // namespace
}  // namespace zentrak::transport
