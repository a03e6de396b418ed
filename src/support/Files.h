// The file system questions and writes the program asks in several places, answered once.
#pragma once

#include <string>
#include <string_view>

namespace zentrak::files {

// Something (a file or a folder) is at the path.
[[nodiscard]] bool Exists(const std::wstring& path);
// A file that exists and is not a folder.
[[nodiscard]] bool IsExistingFile(const std::wstring& path);
[[nodiscard]] bool IsExistingFolder(const std::wstring& path);
// A link of any kind (a symbolic link, a junction, a mount point) is at the path.
[[nodiscard]] bool IsReparsePoint(const std::wstring& path);

// A folder the program may write in: it exists, is no link, and SYSTEM, Administrators,
// TrustedInstaller or the program's own user owns it (an ordinary user who made it first
// could swap its contents for links).
[[nodiscard]] bool IsTrustedFolder(const std::wstring& path);
// Creates the folder with the protected descriptor (support/TrustedOwners.h); false when
// it cannot be created.
[[nodiscard]] bool CreateProtectedFolder(const std::wstring& path);

// Removes a link found at the path itself (not what it points to), so that nothing is
// written through it; false when a link is there and cannot be removed.
[[nodiscard]] bool ClearReparsePoint(const std::wstring& path);

enum class WriteMode { kTruncate, kAppend };

// The bytes written as they are (binary) to the file, created when absent, never through
// a link at the path (it is removed first); false when it cannot be opened, not all bytes
// were written, or flushing or closing it failed.
bool WriteBytes(const std::wstring& path, std::string_view bytes, WriteMode mode);

}  // namespace zentrak::files
