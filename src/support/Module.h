// A function of a loaded module, typed. The one place the untyped address GetProcAddress
// gives is cast to the function type the caller names.
#pragma once

#include <windows.h>

namespace zentrak {

// Null when the module has no such export.
template <typename F>
[[nodiscard]] F ProcAddress(HMODULE module, const char* name) noexcept {
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace zentrak
