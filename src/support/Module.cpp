#include "support/Module.h"

namespace zentrak {

bool NarrowDllSearch() noexcept {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  // Looked up: Windows 7 has it only with a later update.
  const auto set_default = ProcAddress<SetDefaultDllDirectoriesFunction>(
      ::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (set_default != nullptr &&
      set_default(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return true;
  }
  (void)::SetDllDirectoryW(L"");
  return false;
}

}  // namespace zentrak
