#include "support/Files.h"

#include <windows.h>

#include <cstdio>

#include "support/Scoped.h"
#include "support/Security.h"
#include "support/TrustedOwners.h"

namespace zentrak::files {
namespace {

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

}  // namespace

bool Exists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingFolder(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReparsePoint(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsTrustedFolder(const std::wstring& path) {
  if (!IsExistingFolder(path) || IsReparsePoint(path)) return false;
  static const std::wstring own_user = security::OwnUserSid();
  const security::Owner owner = security::FileOwner(path);
  return owner.read && owner.sid && trust::IsTrustedFolderOwner(*owner.sid, own_user);
}

bool CreateProtectedFolder(const std::wstring& path) {
  const ScopedLocal descriptor = security::DescriptorFromSddl(trust::kProtectedFolderSddl);
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

bool ClearReparsePoint(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return true;
  }
  // Both remove the link itself, never its target.
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ::RemoveDirectoryW(path.c_str()) != FALSE
                                                      : ::DeleteFileW(path.c_str()) != FALSE;
}

bool WriteBytes(const std::wstring& path, std::string_view bytes, WriteMode mode) {
  if (!ClearReparsePoint(path)) return false;
  ScopedFile file(::_wfopen(path.c_str(), mode == WriteMode::kAppend ? L"ab" : L"wb"));
  if (!file) return false;
  // The stream buffers what it is given: a full disk shows only when the buffer is
  // flushed, so the flush and the close count as much as the write.
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                       std::fflush(file.get()) == 0;
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace zentrak::files
