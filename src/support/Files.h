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

enum class WriteMode { kTruncate, kAppend };

// The bytes written as they are (binary) to the file, created when absent; false when it
// cannot be opened, not all bytes were written, or flushing or closing it failed.
bool WriteBytes(const std::wstring& path, std::string_view bytes, WriteMode mode);

}  // namespace zentrak::files
