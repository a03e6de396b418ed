// The run-state file through the real private-profile functions, in a scratch folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "run/RunState.h"
#include "support/Files.h"

namespace zentrak::run {
namespace {

class RunStateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"zentrak-runstate";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    ::DeleteFileW(StateFilePath(folder_).c_str());
  }
  void TearDown() override {
    ::DeleteFileW(StateFilePath(folder_).c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }
  void WriteFile(const std::string& text) {
    std::ofstream(StateFilePath(folder_).c_str(), std::ios::binary) << text;
  }
  std::wstring LastExec(const EventConfig& c) { return c.last_exec.data(); }

  std::wstring folder_;
};

TEST_F(RunStateFile, FirstRunWithoutTheFileLeavesBothTextsEmptyAndCreatesNothing) {
  EventConfig config;
  config.installation_date = L"stale";
  LoadRunState(folder_, config);
  EXPECT_EQ(LastExec(config), L"");
  EXPECT_EQ(config.installation_date, L"");
  EXPECT_EQ(config.repository_directory, folder_ + L"\\");
  EXPECT_FALSE(files::IsExistingFile(StateFilePath(folder_)));
}

TEST_F(RunStateFile, WrittenKeysAreReadBackByTheNextRun) {
  const std::wstring path = StateFilePath(folder_);
  WriteStateKey(path, kGlobalSection, kLastExecKey, L"2018-03-26T07:36:20");
  WriteStateKey(path, kEvt1Section, kInstDateTimeKey, L"2018-03-25T10:00:00");
  WriteStateKey(path, kEvt1Section, kSendKey, L"1");
  EventConfig config;
  LoadRunState(folder_, config);
  EXPECT_EQ(LastExec(config), L"2018-03-26T07:36:20");
  EXPECT_EQ(config.installation_date, L"2018-03-25T10:00:00");
  wchar_t send[8] = {};
  ::GetPrivateProfileStringW(kEvt1Section, kSendKey, L"", send, 8, path.c_str());
  EXPECT_STREQ(send, L"1");
}

TEST_F(RunStateFile, EmptyInstallationDateCountsAsMissingAndLongLastExecIsCut) {
  WriteFile("[GLOBAL]\r\nlastExec=" + std::string(80, '7') + "\r\n[EVT1]\r\ninstDateTime=\r\n");
  EventConfig config;
  LoadRunState(folder_, config);
  EXPECT_EQ(LastExec(config), std::wstring(55, L'7'));
  EXPECT_EQ(config.installation_date, L"");
}

TEST_F(RunStateFile, GarbageOrMissingSectionsReadAsEmpty) {
  WriteFile(std::string("\x00\xff[GLOBAL\r\n==\r\nlastExec\r\n", 24));
  EventConfig config;
  LoadRunState(folder_, config);
  EXPECT_EQ(LastExec(config), L"");
  EXPECT_EQ(config.installation_date, L"");
}

TEST_F(RunStateFile, TheTracksMarkIsToldApartWhenMissingEmptyOrSet) {
  const struct {
    const char* global;
    bool has_last_track;
    const wchar_t* last_track;
  } cases[] = {
      {"lastExec=2026-12-11T10:00:00\r\n", false, L""},  // written before the key existed
      {"lastExec=2026-12-11T10:00:00\r\nlastTrack=\r\n", true, L""},  // since the installation
      {"lastTrack=2026-12-11T09:00:00\r\n", true, L"2026-12-11T09:00:00"},
  };
  for (const auto& c : cases) {
    WriteFile(std::string("[GLOBAL]\r\n") + c.global);
    EventConfig config;
    LoadRunState(folder_, config);
    EXPECT_EQ(config.has_last_track, c.has_last_track) << c.global;
    EXPECT_EQ(std::wstring(config.last_track.data()), c.last_track) << c.global;
  }
}

}  // namespace
}  // namespace zentrak::run
