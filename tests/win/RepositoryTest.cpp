// The repository folder below the prefix's common application data folder, and the
// copies made after a transfer.
#include <windows.h>

#include "run/Repository.h"
// The headers below need the types of <windows.h>.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TestRegistry.h"
#include "support/Scoped.h"

namespace zentrak::run {
namespace {

std::wstring CommonAppData() {
  wchar_t path[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

bool IsFolder(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::wstring& path) {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path), ignored);
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RepositoryFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    suite_ = CommonAppData() + L"\\Kelvo Security";
    agent_ = CommonAppData() + kAgentFolder;
    RemoveTree(suite_);
    testing::DeleteSuiteTree(L"Software\\Kelvo Security");
  }
  void TearDown() override {
    RemoveTree(suite_);
    testing::DeleteSuiteTree(L"Software\\Kelvo Security");
  }

  std::wstring suite_;
  std::wstring agent_;
};

TEST_F(RepositoryFolder, MissingAgentFolderIsNeverCreated) {
  RunContext context;
  EXPECT_FALSE(LocateOrCreateRepository(context));
  EXPECT_TRUE(context.repository_folder.empty());
  EXPECT_FALSE(IsFolder(agent_));
}

TEST_F(RepositoryFolder, AgentFolderWithoutContextsGetsBothFoldersBelowIt) {
  ASSERT_TRUE(::SHCreateDirectoryExW(nullptr, agent_.c_str(), nullptr) == ERROR_SUCCESS);
  RunContext context;
  ASSERT_TRUE(LocateOrCreateRepository(context));
  EXPECT_EQ(context.repository_folder, agent_ + L"Contexts\\EvtRepo");
  EXPECT_TRUE(IsFolder(context.repository_folder));
  RunContext again;  // an existing folder is found as it is
  ASSERT_TRUE(LocateOrCreateRepository(again));
  EXPECT_EQ(again.repository_folder, context.repository_folder);
}

TEST_F(RepositoryFolder, FileInPlaceOfTheRepositoryFolderIsNotTakenForIt) {
  ASSERT_TRUE(::SHCreateDirectoryExW(nullptr, (agent_ + L"Contexts").c_str(), nullptr) ==
              ERROR_SUCCESS);
  std::ofstream((agent_ + L"Contexts\\EvtRepo").c_str()) << "x";
  RunContext context;
  EXPECT_FALSE(LocateOrCreateRepository(context));
}

TEST_F(RepositoryFolder, AfterTheTransferTheBackupAndDumpCopiesAreMadeAndTheDocumentDeleted) {
  const std::wstring work = suite_ + L"\\work";
  const std::wstring backup = suite_ + L"\\backup";
  const std::wstring dump = suite_ + L"\\dump";
  for (const auto& folder : {work, backup, dump}) {
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
  }
  const ScopedRegKey key = testing::CreateSuiteKey(kServiceHostKey);
  ASSERT_TRUE(key);
  ::RegSetValueExW(key.get(), kBackupValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(backup.c_str()),
                   static_cast<DWORD>((backup.size() + 1) * 2));
  const std::wstring document = work + L"\\M_20180326_073620045";
  std::ofstream(document.c_str(), std::ios::binary) << "{\"DeviceEvents\":[]}";
  std::ofstream((dump + L"\\ZentrakDump.json").c_str()) << "previous run";

  RunContext context;
  context.dump_enabled = true;
  context.dump_folder = dump;
  AfterTransferCopies(context, document, L"M_20180326_073620045");

  EXPECT_EQ(ReadAll(backup + L"\\M_20180326_073620045"), "{\"DeviceEvents\":[]}");
  EXPECT_EQ(ReadAll(dump + L"\\ZentrakDump.json"), "{\"DeviceEvents\":[]}");
  EXPECT_EQ(::GetFileAttributesW(document.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RepositoryFolder, EmptyOrMissingBackupValueMeansNoBackup) {
  EXPECT_FALSE(BackupFolder());  // no key
  const ScopedRegKey key = testing::CreateSuiteKey(kServiceHostKey);
  ASSERT_TRUE(key);
  EXPECT_FALSE(BackupFolder());  // no value
  ::RegSetValueExW(key.get(), kBackupValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2);
  EXPECT_FALSE(BackupFolder());
  const std::wstring too_long(513, L'b');
  ::RegSetValueExW(key.get(), kBackupValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(too_long.c_str()), 513 * 2 + 2);
  EXPECT_FALSE(BackupFolder());
  const auto set = [&key](const std::wstring& folder) {
    ::RegSetValueExW(key.get(), kBackupValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(folder.c_str()),
                     static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  };
  // Only an existing local folder that is no link: not a share, not a relative path.
  const std::wstring backup = suite_ + L"\\backup";
  ASSERT_EQ(::SHCreateDirectoryExW(nullptr, backup.c_str(), nullptr), ERROR_SUCCESS);
  set(backup);
  EXPECT_EQ(BackupFolder(), backup);
  for (const std::wstring& refused :
       {suite_ + L"\\no such folder", std::wstring(L"\\\\server\\share\\backup"),
        std::wstring(L"backup"), L"\\\\?\\" + backup}) {
    set(refused);
    EXPECT_FALSE(BackupFolder()) << std::string(refused.begin(), refused.end());
  }
}

TEST_F(RepositoryFolder, DocumentNameWithoutASessionIsTheStampAlone) {
  const std::wstring name = DocumentFileName(nullptr);
  ASSERT_EQ(name.size(), 18U);
  EXPECT_EQ(name[8], L'_');
}

}  // namespace
}  // namespace zentrak::run
