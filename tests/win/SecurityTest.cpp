// What the program creates its folders and lock file with (checked in memory: Wine keeps
// no descriptor a program sets on disk), the folder trust checks, and where libraries
// are looked for.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/Files.h"
#include "support/Module.h"
#include "support/Security.h"
#include "support/TrustedOwners.h"

namespace zentrak {
namespace {

TEST(Descriptors, TheProtectedFolderAndTheLockFileGrantWhatTheySay) {
  const struct {
    const wchar_t* sddl;
    const wchar_t* expected;
  } cases[] = {
      // Protected (P): nothing inherited from above; SYSTEM and Administrators full
      // control, Users read and list, all inherited by what is created inside.
      {trust::kProtectedFolderSddl, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"},
      {trust::kLockFileSddl, L"D:P(A;;FA;;;SY)(A;;FA;;;BA)"},
  };
  for (const auto& c : cases) {
    const ScopedLocal descriptor = security::DescriptorFromSddl(c.sddl);
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(security::DescriptorToSddl(descriptor.get()), c.expected);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
  }
  EXPECT_FALSE(security::DescriptorFromSddl(L"D:(not sddl"));
}

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name;
}

TEST(FolderTrust, AFolderTheProgramMadeIsTrustedAMissingOneOrAFileIsNot) {
  const std::wstring folder = TempFolder(L"zentrak-trusted");
  ::RemoveDirectoryW(folder.c_str());
  EXPECT_FALSE(files::IsTrustedFolder(folder));  // missing
  ASSERT_TRUE(files::CreateProtectedFolder(folder));
  EXPECT_TRUE(files::IsTrustedFolder(folder));         // owned by this program's user
  EXPECT_FALSE(files::CreateProtectedFolder(folder));  // exists already
  const std::wstring file = folder + L"\\file";
  ASSERT_TRUE(files::WriteBytes(file, "x", files::WriteMode::kTruncate));
  EXPECT_FALSE(files::IsTrustedFolder(file));
  EXPECT_TRUE(files::ClearReparsePoint(file));  // no link: nothing removed
  EXPECT_TRUE(files::IsExistingFile(file));
  ::DeleteFileW(file.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

TEST(FolderTrust, TheOwnerOfWhatThisProgramMakesIsItsOwnUser) {
  const std::wstring own = security::OwnUserSid();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own.rfind(L"S-1-", 0), 0U);
  const std::wstring folder = TempFolder(L"zentrak-owner");
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const security::Owner owner = security::FileOwner(folder);
  ASSERT_TRUE(owner.read && owner.sid);
  EXPECT_TRUE(trust::IsTrustedFolderOwner(*owner.sid, own))
      << std::string(owner.sid->begin(), owner.sid->end());
  ::RemoveDirectoryW(folder.c_str());
}

// A library found only in the current folder: loaded before the search is narrowed, not
// after (the program narrows it first thing).
TEST(DllSearch, TheCurrentFolderIsNoPlaceToLoadLibrariesFrom) {
  std::string built = ZENTRAK_TEST_DLL;
  std::wstring source = L"Z:";
  for (char c : built) source += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  const std::wstring folder = TempFolder(L"zentrak-dllsearch");
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring planted = folder + L"\\ZentrakPlanted.dll";
  ASSERT_TRUE(::CopyFileW(source.c_str(), planted.c_str(), FALSE));
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));

  HMODULE before = ::LoadLibraryW(L"ZentrakPlanted.dll");
  EXPECT_NE(before, nullptr);  // the current folder counts by default
  if (before != nullptr) ::FreeLibrary(before);
  EXPECT_TRUE(NarrowDllSearch());
  HMODULE after = ::LoadLibraryW(L"ZentrakPlanted.dll");
  EXPECT_EQ(after, nullptr);
  if (after != nullptr) ::FreeLibrary(after);

  ::SetCurrentDirectoryW(previous);
  ::DeleteFileW(planted.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace zentrak
