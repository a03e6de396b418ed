// A function of a loaded module, typed (the one place the untyped address GetProcAddress
// gives is cast to the function type the caller names), and where modules come from.
#pragma once

#include <windows.h>

namespace zentrak {

// Null when the module has no such export.
template <typename F>
[[nodiscard]] F ProcAddress(HMODULE module, const char* name) noexcept {
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Narrows where libraries are looked for in this process to the program's folder and
// System32, so that no library the program or the closed components load by name comes
// from the current folder or PATH. Where the system lacks SetDefaultDllDirectories, at
// least the current folder is left out; the result then is false.
bool NarrowDllSearch() noexcept;

}  // namespace zentrak
