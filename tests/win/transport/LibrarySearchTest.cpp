// Where the comms client and the tracker look for CommsWrapper.dll: a copy of this program runs
// from a folder of its own, with the library missing, planted only in its current folder and on
// PATH, without GetUtil, or (as a control) beside it.
#include <gtest/gtest.h>

#include <string>

#include "TestBed.h"
#include "TraceCapture.h"
#include "transport/CampaignTracker.h"
#include "transport/CommsClient.h"
#include "transport/CommsLoader.h"

namespace zentrak::transport {
namespace {

using testing::ScratchFolder;
using testing::TraceCapture;

constexpr wchar_t kResultVariable[] = L"ZENTRAK_LIBRARY_SEARCH_RESULT";

// The part that runs inside the copy: what the client found, written for the parent.
TEST(LibrarySearchChild, ReportsWhatTheClientFound) {
  const std::wstring result_path = testing::Environment(kResultVariable);
  // The CTest entry leaves this test out; run anywhere else, it has nothing to report to.
  ASSERT_FALSE(result_path.empty()) << "runs only inside a copy started by LibrarySearch";
  TraceCapture capture;
  CommsClient client(nullptr);
  const bool transferred = client.TransferEvents(L"C:\\no-such-document.json");
  std::string report = client.library_loaded() ? "loaded" : "not-loaded";
  for (const auto number : capture.Numbers(trace::Unit::kTransport)) {
    report += " " + std::to_string(number);
  }
  report += transferred ? " transferred" : " failed";
  CampaignTracker tracker;
  report += tracker.Load() ? " tracker-loaded" : " tracker-not-loaded";
  testing::WriteFileBytes(result_path, report);
}

std::string RunCopy(const std::wstring& folder, const std::wstring& current_folder) {
  const std::wstring program = folder + L"\\transport_tests.exe";
  const std::wstring result = folder + L"\\result.txt";
  ::DeleteFileW(result.c_str());
  ::SetEnvironmentVariableW(kResultVariable, result.c_str());
  const std::wstring old_path = testing::Environment(L"PATH");
  ::SetEnvironmentVariableW(L"PATH", (current_folder + L";" + old_path).c_str());
  std::wstring command = L"\"" + program + L"\" --gtest_filter=LibrarySearchChild.*";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, current_folder.c_str(), &startup, &process);
  ::SetEnvironmentVariableW(kResultVariable, nullptr);
  ::SetEnvironmentVariableW(L"PATH", old_path.c_str());
  if (!started) return "not started";
  const ScopedHandle process_handle(process.hProcess);
  const ScopedHandle thread_handle(process.hThread);
  if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) return "still running";
  return testing::ReadFileBytes(result);
}

TEST(LibrarySearch, FindsOnlyAUsableLibraryBesideTheProgram) {
  const auto self = ProgramFolderPath(L"transport_tests.exe");
  const auto standin = ProgramFolderPath(L"CommsWrapper.dll");
  const auto no_getutil = ProgramFolderPath(L"NoGetUtil.dll");
  ASSERT_TRUE(self && standin && no_getutil);

  struct Case {
    const wchar_t* name;
    const std::wstring* beside;  // copied beside the program as CommsWrapper.dll
    const char* expected;
  };
  const Case cases[] = {
      {L"search-missing", nullptr, "not-loaded 10 19 21 failed tracker-not-loaded"},
      {L"search-no-getutil", &*no_getutil, "not-loaded 10 19 21 failed tracker-not-loaded"},
      {L"search-beside", &*standin, "loaded 10 19 23 failed tracker-loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Utf8(c.name));
    ScratchFolder folder(c.name);
    ScratchFolder current(c.name + std::wstring(L"-cwd"));
    ASSERT_TRUE(::CopyFileW(self->c_str(), folder.File(L"transport_tests.exe").c_str(), FALSE));
    // The stand-in is planted in the current folder (also on PATH): never to be used.
    ASSERT_TRUE(::CopyFileW(standin->c_str(), current.File(L"CommsWrapper.dll").c_str(), FALSE));
    if (c.beside != nullptr) {
      ASSERT_TRUE(::CopyFileW(c.beside->c_str(), folder.File(L"CommsWrapper.dll").c_str(), FALSE));
    }
    EXPECT_EQ(RunCopy(folder.path(), current.path()), c.expected);
  }
}

}  // namespace
}  // namespace zentrak::transport
