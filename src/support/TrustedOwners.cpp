#include "support/TrustedOwners.h"

#include "support/Text.h"

namespace zentrak::trust {
namespace {

bool SameSid(std::wstring_view a, std::wstring_view b) {
  return !a.empty() && text::ToUpperAscii(a) == text::ToUpperAscii(b);
}

bool IsSystemAdministratorsOrSelf(std::wstring_view owner, std::wstring_view own_user) {
  return SameSid(owner, kSystemSid) || SameSid(owner, kAdministratorsSid) ||
         SameSid(owner, own_user);
}

}  // namespace

bool IsTrustedFolderOwner(std::wstring_view owner, std::wstring_view own_user) {
  return IsSystemAdministratorsOrSelf(owner, own_user) || SameSid(owner, kTrustedInstallerSid);
}

bool IsTrustedLockOwner(std::optional<std::wstring_view> owner, std::wstring_view own_user) {
  return !owner || IsSystemAdministratorsOrSelf(*owner, own_user);
}

bool IsAbsoluteLocalPath(std::wstring_view path) noexcept {
  if (path.size() < 3) return false;
  const wchar_t drive = path[0];
  const bool letter = (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
  return letter && path[1] == L':' && path[2] == L'\\';
}

}  // namespace zentrak::trust
