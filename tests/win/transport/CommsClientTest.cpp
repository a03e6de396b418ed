// The comms client against the stand-in CommsWrapper.dll installed beside this program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestBed.h"
#include "TraceCapture.h"
#include "hostsdk/HostSdk.h"
#include "support/BuildSettings.h"
#include "sysinfo/VersionInfo.h"
#include "transport/CampaignTracker.h"
#include "transport/CommsClient.h"
#include "transport/CommsLoader.h"
#include "transport/TransportTracePoints.h"

namespace zentrak::transport {
namespace {

using testing::AgentRegistry;
using testing::ScratchFolder;
using testing::StandinSettings;
using testing::TraceCapture;
using testing::Tree;
using testing::Utf8;
using trace::Unit;
using Numbers = std::vector<std::uint16_t>;
using Names = std::vector<std::string>;

constexpr char kDocument[] = "{\"DeviceEvents\":[{\"EventType\":1}]}";

class CommsClientTransfer : public ::testing::Test {
 protected:
  CommsClientTransfer() : folder_(L"comms-client"), standin_(folder_) {
    document_ = folder_.File(L"events.json");
    testing::WriteFileBytes(document_, kDocument);
  }
  ScratchFolder folder_;
  StandinSettings standin_;
  AgentRegistry agent_;  // absent unless a test writes it
  std::wstring document_;
};

TEST_F(CommsClientTransfer, WithoutSessionOpensTheChannelWithZeroAndEmptyTextsAndNoProxy) {
  TraceCapture capture;
  CommsClient client(nullptr);
  ASSERT_TRUE(client.library_loaded());
  EXPECT_TRUE(client.TransferEvents(document_));

  EXPECT_EQ(standin_.CallNames(),
            (Names{"GetUtil", "OpenChannel", "TransferFile", "CloseChannel"}));
  const Tree open = standin_.Call("OpenChannel");
  EXPECT_EQ(open.get<std::string>("channel"), "gccppostevents");
  EXPECT_EQ(open.get<int>("suite_id"), 0);
  EXPECT_EQ(open.get<std::string>("suite_version"), "");
  EXPECT_EQ(open.get<std::string>("muid"), "");
  EXPECT_EQ(open.get<std::string>("host_name"), "");
  // This test program carries no version resource: the four numbers are 0.
  EXPECT_EQ(open.get<std::string>("product_version"), "Zentrak_0_0_0_0");
  EXPECT_EQ(open.get<int>("mode"), 1);
  EXPECT_EQ(open.get<std::string>("options.application_key"), build::kApplicationKey);
  EXPECT_EQ(open.get<std::string>("options.application_id"), Utf8(build::kApplicationId));
  EXPECT_TRUE(open.get_child("errors").empty()) << "the stand-in refused the channel options";
  const Tree transfer = standin_.Call("TransferFile");
  EXPECT_EQ(transfer.get<std::string>("channel"), "gccpeventsci");
  EXPECT_EQ(transfer.get<std::string>("path"), Utf8(document_));
  EXPECT_EQ(transfer.get<std::string>("content"), kDocument);
  EXPECT_TRUE(standin_.Call("CloseChannel").get<bool>("channel"));

  EXPECT_EQ(capture.Numbers(Unit::kTransport), (Numbers{10, 19, 23}));
  EXPECT_EQ(capture.Find(tp::kTransferBegins)->texts, std::vector<std::wstring>{document_});
  EXPECT_EQ(capture.Find(tp::kTransferResult)->numbers, std::vector<std::int32_t>{1});
}

TEST_F(CommsClientTransfer, ASessionWhoseReadsFailGivesTheSameDefaults) {
  const hostsdk::HostSdkSession session;
  CommsClient client(&session);
  EXPECT_TRUE(client.TransferEvents(document_));
  const Tree open = standin_.Call("OpenChannel");
  EXPECT_EQ(open.get<int>("suite_id"), 0);
  EXPECT_EQ(open.get<std::string>("suite_version"), "");
  EXPECT_EQ(open.get<std::string>("muid"), "");
  EXPECT_EQ(standin_.CallNames(),
            (Names{"GetUtil", "OpenChannel", "TransferFile", "CloseChannel"}));
}

TEST_F(CommsClientTransfer, FailuresOfTheLibraryFailTheTransfer) {
  struct Case {
    const wchar_t* fail;
    bool empty_path;
    Names calls;
    Numbers points;
  };
  const Case cases[] = {
      {L"OpenChannel", false, {"GetUtil", "OpenChannel", "CloseChannel"}, {19, 22, 23}},
      {L"TransferFile",
       false,
       {"GetUtil", "OpenChannel", "TransferFile", "CloseChannel"},
       {19, 23}},
      // The file went, but a channel that does not close is a failed transfer.
      {L"CloseChannel",
       false,
       {"GetUtil", "OpenChannel", "TransferFile", "CloseChannel"},
       {19, 23}},
      // A library that gives no CommsUtil is treated like one without GetUtil.
      {L"GetUtil", false, {"GetUtil"}, {19, 21}},
      {L"", true, {}, {19, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.empty_path ? "empty path" : Utf8(c.fail));
    StandinSettings standin(folder_);
    standin.Fail(c.fail);
    CommsClient client(nullptr);
    TraceCapture capture;
    EXPECT_FALSE(client.TransferEvents(c.empty_path ? std::wstring() : document_));
    EXPECT_EQ(standin.CallNames(), c.calls);
    EXPECT_EQ(capture.Numbers(Unit::kTransport), c.points);
    if (const auto* result = capture.Find(tp::kTransferResult)) {
      EXPECT_EQ(result->numbers, std::vector<std::int32_t>{0});
    }
  }
}

TEST_F(CommsClientTransfer, UnreadableAgentValuesLeaveTheHostNameEmpty) {
  struct Case {
    const char* name;
    DWORD type;
    std::string bytes;  // the value's raw bytes; "none" cases below write no value
    bool write_value;
    Numbers points;
  };
  auto wide = [](const std::wstring& text, bool terminated) {
    std::string bytes(reinterpret_cast<const char*>(text.c_str()),
                      (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    return bytes;
  };
  const Case cases[] = {
      {"no value", REG_SZ, "", false, {11}},
      {"zero bytes", REG_SZ, "", true, {12}},
      {"shorter than the prefix", REG_SZ, wide(L"12345678", true), true, {12}},
      {"exactly the prefix", REG_SZ, wide(L"123456789", true), true, {15}},
      {"a number", REG_DWORD, std::string("\x01\x02\x03\x04", 4), true, {12}},
      {"259 bytes", REG_BINARY, std::string(259, 'A'), true, {15}},
      {"260 bytes without terminator", REG_SZ, wide(std::wstring(130, L'A'), false), true, {11}},
      {"not terminated", REG_SZ, wide(L"123456789QUJD", false), true, {16}},
      {"not Base64", REG_SZ, wide(L"123456789QU*D", true), true, {15}},
      {"Base64 of garbage", REG_SZ, wide(L"123456789ZGVhZGJlZWZjYWZlYmFiZQ==", true), true, {16}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentRegistry agent;
    agent.CreateKey();
    if (c.write_value) {
      ASSERT_TRUE(agent.Set(c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
    }
    TraceCapture capture;
    const CommsClient client(nullptr);
    EXPECT_EQ(client.agent_host_name(), L"");
    EXPECT_EQ(capture.Numbers(Unit::kTransport), c.points);
  }
}

TEST_F(CommsClientTransfer, AMissingAgentKeyIsReportedWithItsPath) {
  TraceCapture capture;
  const CommsClient client(nullptr);
  const auto* point = capture.Find(tp::kAgentKeyNotOpened);
  ASSERT_NE(point, nullptr);
  EXPECT_EQ(point->texts, std::vector<std::wstring>{kAgentKeyPath});
}

TEST_F(CommsClientTransfer, BothWaysOfLoadingFindTheLibraryBesideTheProgram) {
  CommsClient client(nullptr);
  ASSERT_TRUE(client.TransferEvents(document_));
  CampaignTracker tracker;
  ASSERT_TRUE(tracker.Load());
  const auto expected = ProgramFolderPath(L"CommsWrapper.dll");
  ASSERT_TRUE(expected);
  std::vector<std::string> modules;
  for (const Tree& call : standin_.Calls()) {
    if (call.get<std::string>("call") == "GetUtil")
      modules.push_back(call.get<std::string>("module"));
  }
  ASSERT_EQ(modules.size(), 2U);
  for (const std::string& module : modules) {
    EXPECT_EQ(text::EqualsIgnoreCase(text::FromSingleByte(module), *expected), true) << module;
  }
}

TEST_F(CommsClientTransfer, InDeliveryModeTheDocumentReachesTheCollector) {
  ASSERT_FALSE(testing::ServersFolder().empty()) << "servers.sh did not run";
  standin_.Deliver(std::wstring(L"http://") + testing::kOrigin + L"/upload/comms-client");
  CommsClient client(nullptr);
  EXPECT_TRUE(client.TransferEvents(document_));
  const auto uploads = testing::Recorded(L"origin", "/upload/comms-client");
  ASSERT_EQ(uploads.size(), 1U);
  EXPECT_EQ(uploads[0].get<std::string>("method"), "POST");
  EXPECT_EQ(uploads[0].get<std::string>("body"), kDocument);
  EXPECT_EQ(uploads[0].get<std::string>("target"),
            "/upload/comms-client?channel=gccpeventsci&file=events.json");
}

}  // namespace
}  // namespace zentrak::transport
