// The HTTP download against the collector of servers.sh (port 80 of 127.0.0.121), the
// collector as a proxy demanding Basic credentials, and tinyproxy as an open proxy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestBed.h"
#include "TraceCapture.h"
#include "transport/CommsClient.h"
#include "transport/HttpDownload.h"
#include "transport/TransportTracePoints.h"

namespace zentrak::transport {
namespace {

using hostsdk::ProxySettings;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::Recorded;
using testing::ScratchFolder;
using testing::TraceCapture;
using testing::Utf8;
using testing::WriteFileBytes;

constexpr wchar_t kUserAgent[] = L"KelvoSecurity (PID=7;V=21.1;CID=0;MUID=m)";
constexpr char kServedFile[] = "{\"events\":\"configuration\"}";

std::wstring Origin(const wchar_t* path_and_query) {
  return std::wstring(L"http://") + testing::kOrigin + path_and_query;
}

class Download : public ::testing::Test {
 protected:
  Download() : folder_(L"download") { destination_ = folder_.File(L"config.json"); }
  void SetUp() override {
    ASSERT_FALSE(testing::ServersFolder().empty()) << "servers.sh did not run";
  }
  bool Get(const std::wstring& url, const ProxySettings& proxy = {}) {
    return DownloadFile(url, destination_, proxy, kUserAgent);
  }

  ScratchFolder folder_;
  std::wstring destination_;
};

TEST_F(Download, RequestsPathAndQueryAsPlainHttpOnPort80WhateverTheUrlSays) {
  struct Case {
    const wchar_t* url;
    const char* tag;
  };
  const Case cases[] = {
      {L"http://127.0.0.121/cfg/events.json?x=1&y=2&tag=plain", "plain"},
      {L"https://127.0.0.121/cfg/events.json?x=1&y=2&tag=secure", "secure"},
      {L"http://127.0.0.121:8081/cfg/events.json?x=1&y=2&tag=port", "port"},
      {L"https://user:pw@127.0.0.121:8443/cfg/events.json?x=1&y=2&tag=all#frag", "all"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    ::DeleteFileW(destination_.c_str());
    ASSERT_TRUE(Get(c.url));
    EXPECT_EQ(ReadFileBytes(destination_), kServedFile);
    const std::string target = std::string("/cfg/events.json?x=1&y=2&tag=") + c.tag;
    const auto requests = Recorded(L"origin", target);
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].get<std::string>("server"), "127.0.0.121:80");
    EXPECT_EQ(requests[0].get<std::string>("method"), "GET");
    EXPECT_EQ(requests[0].get<std::string>("headers.User-Agent"), Utf8(kUserAgent));
  }
}

TEST_F(Download, AnnouncesItselfWithTheUrlAndTheDestination) {
  TraceCapture capture;
  const std::wstring url = Origin(L"/cfg/events.json?trace");
  EXPECT_TRUE(Get(url));
  const auto* point = capture.Find(tp::kDownloadBegins);
  ASSERT_NE(point, nullptr);
  EXPECT_EQ(point->texts, (std::vector<std::wstring>{url, destination_}));
}

TEST_F(Download, AnEmptyBodyReplacesTheOldFileWithAnEmptyOne) {
  WriteFileBytes(destination_, "old contents");
  EXPECT_TRUE(Get(Origin(L"/dl/empty")));
  ASSERT_TRUE(FileExists(destination_));
  EXPECT_EQ(ReadFileBytes(destination_), "");
}

TEST_F(Download, AnswersOtherThan200LeaveTheOldFileUntouched) {
  for (const wchar_t* path : {L"/dl/missing", L"/dl/error", L"/dl/denied", L"/no/such/file"}) {
    SCOPED_TRACE(Utf8(path));
    WriteFileBytes(destination_, "old contents");
    EXPECT_FALSE(Get(Origin(path)));
    EXPECT_EQ(ReadFileBytes(destination_), "old contents");
  }
}

TEST_F(Download, ABodyThatIsCutShortOrNeverEndsFails) {
  // Declared 100 bytes then closed; declared a terabyte; closed without an answer; and
  // a body without length that never ends (stopped by the size bound).
  for (const wchar_t* path : {L"/dl/cut", L"/dl/huge", L"/dl/closed", L"/dl/endless"}) {
    SCOPED_TRACE(Utf8(path));
    EXPECT_FALSE(Get(Origin(path)));
    if (FileExists(destination_)) {
      EXPECT_LE(ReadFileBytes(destination_).size(), kMaxDownloadBytes);
    }
  }
}

TEST_F(Download, WithoutAProxyServerA401FailsAtOnceEvenWithCredentials) {
  const ProxySettings proxy{L"", L"zuser", L"zpass"};
  const auto before = Recorded(L"origin", "/dl/denied").size();
  EXPECT_FALSE(Get(Origin(L"/dl/denied"), proxy));
  EXPECT_EQ(Recorded(L"origin", "/dl/denied").size(), before + 1);
}

TEST_F(Download, AProxyThatOffersOnlyBasicNeverGetsTheCredentials) {
  // The requests are plain HTTP: Basic would put the password on the wire as it is. The
  // proxy's 407 offers Basic only, so the download fails after one request.
  const std::wstring url = Origin(L"/cfg/events.json?proxy=basic-only");
  const ProxySettings proxy{testing::kCredentialProxy, L"zuser", L"zpass"};
  TraceCapture traces;
  EXPECT_FALSE(Get(url, proxy));
  EXPECT_FALSE(FileExists(destination_));
  const auto requests = Recorded(L"proxy", Utf8(url));
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests.front().get<int>("status"), 407);
  EXPECT_EQ(requests.front().get<std::string>("headers.Proxy-Authorization", ""), "");
  EXPECT_TRUE(
      Recorded(L"origin", Utf8(url.substr(std::wstring(L"http://127.0.0.121").size()))).empty());
  EXPECT_NE(traces.Find(tp::kProxySchemeRefused), nullptr);
}

TEST_F(Download, AnOriginsChallengeGetsNoProxyCredentials) {
  // Through an open proxy, with proxy credentials set: the origin's 401 ends the download
  // at once, and neither the proxy nor the origin ever sees a credential.
  const ProxySettings proxy{testing::kTinyproxy, L"tinyuser", L"tinypass"};
  const auto before = Recorded(L"origin", "/dl/denied").size();
  EXPECT_FALSE(Get(Origin(L"/dl/denied"), proxy));
  const auto requests = Recorded(L"origin", "/dl/denied");
  ASSERT_EQ(requests.size(), before + 1);
  EXPECT_EQ(requests.back().get<std::string>("headers.Authorization", ""), "");
  EXPECT_EQ(requests.back().get<std::string>("headers.Proxy-Authorization", ""), "");
}

TEST_F(Download, ThroughAnOpenProxy) {
  const ProxySettings proxy{testing::kTinyproxy, L"", L""};
  EXPECT_TRUE(Get(Origin(L"/cfg/events.json?via=tinyproxy"), proxy));
  EXPECT_EQ(ReadFileBytes(destination_), kServedFile);
  const auto requests = Recorded(L"origin", "/cfg/events.json?via=tinyproxy");
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_NE(requests[0].get<std::string>("headers.Via", "").find("tinyproxy"), std::string::npos);
}

// Its own CTest entry: it takes a minute.
TEST_F(Download, AServerThatAnswersAByteAtATimeIsLeftAtTheRequestLimit) {
  TraceCapture traces;
  const ULONGLONG began = ::GetTickCount64();
  EXPECT_FALSE(Get(Origin(L"/dl/drip")));
  const ULONGLONG took = ::GetTickCount64() - began;
  // The whole-request limit, checked between reads; a read waits at most for one byte
  // (two seconds here).
  EXPECT_GE(took, kRequestLimitMs);
  EXPECT_LT(took, kRequestLimitMs + 10'000);
  EXPECT_NE(traces.Find(tp::kRequestTimeLimit), nullptr);
}

TEST_F(Download, UrlsThatCannotBeRequestedFailWithoutTouchingTheFile) {
  const std::wstring cases[] = {L"",
                                L"not a url",
                                L"http://",
                                L"ftp://127.0.0.121/cfg/events.json",
                                L"http://127.0.0.121" /* no path: asks for "/" */,
                                Origin((L"/dl/long?" + std::wstring(8000, L'a')).c_str())};
  for (const std::wstring& url : cases) {
    SCOPED_TRACE(Utf8(url.substr(0, 40)));
    WriteFileBytes(destination_, "old contents");
    EXPECT_FALSE(Get(url));
    EXPECT_EQ(ReadFileBytes(destination_), "old contents");
  }
  EXPECT_FALSE(Recorded(L"origin", "/dl/long?aaaa").empty());
}

TEST_F(Download, ADestinationThatCannotBeReplacedFailsWithoutWritingAnything) {
  const std::wstring url = Origin(L"/cfg/events.json?destination");
  EXPECT_FALSE(DownloadFile(url, folder_.File(L"missing-folder\\config.json"), {}, kUserAgent));

  WriteFileBytes(destination_, "old contents");
  ::SetFileAttributesW(destination_.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Get(url));
  EXPECT_EQ(ReadFileBytes(destination_), "old contents");
  ::SetFileAttributesW(destination_.c_str(), FILE_ATTRIBUTE_NORMAL);

  const std::wstring folder = folder_.File(L"a-folder");
  ::CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_FALSE(DownloadFile(url, folder, {}, kUserAgent));
  EXPECT_NE(::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0U);
}

TEST_F(Download, TheCommsClientDownloadsWithItsProxySettings) {
  // Without a session the client has no proxy: a direct request.
  const CommsClient client(nullptr);
  EXPECT_TRUE(client.DownloadFile(Origin(L"/cfg/events.json?client"), destination_, kUserAgent));
  EXPECT_EQ(ReadFileBytes(destination_), kServedFile);
}

}  // namespace
}  // namespace zentrak::transport
