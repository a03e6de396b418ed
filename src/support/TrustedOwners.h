// Whom the program trusts with what it writes and with its lock, and the security
// descriptors it creates its own folders and lock file with. SIDs in their text form
// ("S-1-5-18"). Portable.
#pragma once

#include <optional>
#include <string_view>

namespace zentrak::trust {

inline constexpr wchar_t kSystemSid[] = L"S-1-5-18";
inline constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
inline constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Full control for SYSTEM and Administrators, read and list for Users, inherited by what
// is created inside, nothing inherited from above: no ordinary user can create, replace
// or link anything in the folders the program creates.
inline constexpr wchar_t kProtectedFolderSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// The lock file: SYSTEM and Administrators only, so no ordinary user can open (and hold)
// it.
inline constexpr wchar_t kLockFileSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// A folder the program writes in must be owned by SYSTEM, Administrators,
// TrustedInstaller or the user the program runs as (SYSTEM in the field).
[[nodiscard]] bool IsTrustedFolderOwner(std::wstring_view owner, std::wstring_view own_user);

// The named lock belongs to another copy when SYSTEM, Administrators or the program's own
// user owns it, or when it has no owner at all (objects under Wine carry none); any
// other owner is an ordinary user who made it first.
[[nodiscard]] bool IsTrustedLockOwner(std::optional<std::wstring_view> owner,
                                      std::wstring_view own_user);

// Backup and dump folders are absolute local paths: a drive letter, ":" and "\", never a
// UNC, device ("\\?\", "\\.\") or drive-relative path.
[[nodiscard]] bool IsAbsoluteLocalPath(std::wstring_view path) noexcept;

}  // namespace zentrak::trust
