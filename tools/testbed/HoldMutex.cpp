// Plays an ordinary user who creates the program's named mutex first: creates the mutex
// with the given security descriptor (its owner chosen by the SDDL), writes the ready file
// and holds the mutex until it is ended (or for the given seconds).
//
// Usage: HoldMutex.exe NAME SDDL READY_FILE SECONDS
#include <windows.h>
// The headers below need the types of <windows.h>.
#include <sddl.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 2;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[2], SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    return 3;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  const HANDLE mutex = ::CreateMutexW(&attributes, TRUE, argv[1]);
  ::LocalFree(descriptor);
  if (mutex == nullptr) return 4;
  std::FILE* ready = ::_wfopen(argv[3], L"wb");
  if (ready == nullptr) return 5;
  std::fclose(ready);
  ::Sleep(static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) * 1000);
  ::CloseHandle(mutex);
  return 0;
}
