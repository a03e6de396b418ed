#include <gtest/gtest.h>

#include <optional>

#include "support/TrustedOwners.h"

namespace zentrak::trust {
namespace {

constexpr wchar_t kSelf[] = L"S-1-5-21-0-0-0-1000";  // the user the program runs as
constexpr wchar_t kOrdinaryUser[] = L"S-1-5-21-1111-2222-3333-1001";
constexpr wchar_t kUsers[] = L"S-1-5-32-545";

TEST(TrustedOwners, FoldersOfSystemAdministratorsTrustedInstallerOrTheProgramsOwnUser) {
  const struct {
    const wchar_t* owner;
    bool trusted;
  } cases[] = {
      {L"S-1-5-18", true},
      {L"S-1-5-32-544", true},
      {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
      {kSelf, true},
      {L"s-1-5-18", true},  // the text form's letter in either case
      {kOrdinaryUser, false},
      {kUsers, false},
      {L"S-1-1-0", false},  // Everyone
      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTrustedFolderOwner(c.owner, kSelf), c.trusted) << c.owner;
  }
  EXPECT_FALSE(IsTrustedFolderOwner(L"", L""));  // an unknown own user trusts no empty owner
}

TEST(TrustedOwners, TheLockIsAnotherCopysUnlessAnOrdinaryUserOwnsIt) {
  EXPECT_TRUE(IsTrustedLockOwner(L"S-1-5-18", kSelf));
  EXPECT_TRUE(IsTrustedLockOwner(L"S-1-5-32-544", kSelf));
  EXPECT_TRUE(IsTrustedLockOwner(kSelf, kSelf));
  EXPECT_TRUE(IsTrustedLockOwner(std::nullopt, kSelf));  // no owner recorded
  EXPECT_FALSE(IsTrustedLockOwner(kUsers, kSelf));
  EXPECT_FALSE(IsTrustedLockOwner(kOrdinaryUser, kSelf));
  // TrustedInstaller owns no copy of the program.
  EXPECT_FALSE(
      IsTrustedLockOwner(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", kSelf));
}

TEST(TrustedOwners, BackupAndDumpFoldersAreAbsoluteLocalPaths) {
  const struct {
    const wchar_t* path;
    bool local;
  } cases[] = {
      {L"C:\\Dumps", true},          {L"d:\\", true},
      {L"C:Dumps", false},           {L"\\Dumps", false},
      {L"\\\\server\\share", false}, {L"\\\\?\\C:\\Dumps", false},
      {L"\\\\.\\C:\\Dumps", false},  {L"1:\\Dumps", false},
      {L"C:/Dumps", false},          {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsAbsoluteLocalPath(c.path), c.local) << c.path;
  }
}

}  // namespace
}  // namespace zentrak::trust
