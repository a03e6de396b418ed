// What any program with Zentrak's platform needs pays to start under the same platform:
// the same system DLLs, a COM apartment, a WinHTTP session and a CryptoAPI context.
// The yardstick of the run-cost measurement (bench/run_cost.py).
#include <windows.h>
// The headers below need the types of <windows.h>.
#include <objbase.h>
#include <shlwapi.h>
#include <wincrypt.h>
#include <winhttp.h>

#include "support/Scoped.h"

int wmain() {
  const zentrak::ScopedComApartment com(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  {
    const zentrak::ScopedWinHttpHandle session(
        ::WinHttpOpen(L"baseline", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                      WINHTTP_NO_PROXY_BYPASS, 0));
    zentrak::ScopedCryptProv provider;
    ::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL,
                           CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET);
    // Touch the shell and version libraries the program imports.
    (void)::PathIsURLW(L"http://x/");
    DWORD ignored = 0;
    (void)::GetFileVersionInfoSizeW(L"kernel32.dll", &ignored);
  }
  return 0;
}
