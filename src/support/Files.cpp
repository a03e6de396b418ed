#include "support/Files.h"

#include <windows.h>

#include <cstdio>

#include "support/Scoped.h"

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

bool WriteBytes(const std::wstring& path, std::string_view bytes, WriteMode mode) {
  ScopedFile file(::_wfopen(path.c_str(), mode == WriteMode::kAppend ? L"ab" : L"wb"));
  if (!file) return false;
  // The stream buffers what it is given: a full disk shows only when the buffer is
  // flushed, so the flush and the close count as much as the write.
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                       std::fflush(file.get()) == 0;
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace zentrak::files
