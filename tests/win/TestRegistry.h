// The suite's registry keys as a test writes them: under HKEY_LOCAL_MACHINE in the 32-bit
// view, where the suite's 32-bit installer writes and where the program reads, in the
// 32-bit build and in the x86-64 test build alike.
#pragma once

#include <windows.h>

#include "support/Scoped.h"

namespace zentrak::testing {

inline constexpr REGSAM kSuiteView = KEY_WOW64_32KEY;

// Creates the key (and its parents), or opens it; an empty owner when that fails.
inline ScopedRegKey CreateSuiteKey(const wchar_t* path, REGSAM view = kSuiteView) {
  ScopedRegKey key;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

// Removes the key with its subkeys and values; nothing when it does not exist.
inline void DeleteSuiteTree(const wchar_t* path, REGSAM view = kSuiteView) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | view, key.put()) !=
      ERROR_SUCCESS) {
    return;
  }
  ::RegDeleteTreeW(key.get(), nullptr);  // what is below the key
  key.reset();
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, view, 0);
}

}  // namespace zentrak::testing
