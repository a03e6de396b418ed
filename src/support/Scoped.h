// Owners for Win32 resources: one template for "a value plus how to close it" and one
// alias per resource kind. Logic code never calls a close function by hand.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <objbase.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <winsvc.h>

#include <cstdio>
#include <utility>

namespace zentrak {

template <typename Traits>
class ScopedAny {
 public:
  using Value = typename Traits::Value;

  ScopedAny() noexcept : value_(Traits::Invalid()) {}
  explicit ScopedAny(Value value) noexcept : value_(value) {}
  ~ScopedAny() { reset(); }

  ScopedAny(const ScopedAny&) = delete;
  ScopedAny& operator=(const ScopedAny&) = delete;
  ScopedAny(ScopedAny&& other) noexcept : value_(other.release()) {}
  ScopedAny& operator=(ScopedAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  [[nodiscard]] Value get() const noexcept { return value_; }
  [[nodiscard]] bool valid() const noexcept { return Traits::IsValid(value_); }
  explicit operator bool() const noexcept { return valid(); }

  Value release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  void reset(Value value = Traits::Invalid()) noexcept {
    Value old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Close(old);
  }

  // For APIs that return the resource through an out parameter.
  Value* put() noexcept {
    reset();
    return &value_;
  }

 private:
  Value value_;
};

namespace traits {

struct Handle {
  using Value = HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
  static void Close(Value v) noexcept { ::CloseHandle(v); }
};

struct RegKey {
  using Value = HKEY;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::RegCloseKey(v); }
};

struct ServiceHandle {
  using Value = SC_HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::CloseServiceHandle(v); }
};

struct WinHttpHandle {
  using Value = HINTERNET;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::WinHttpCloseHandle(v); }
};

struct Module {
  using Value = HMODULE;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::FreeLibrary(v); }
};

struct CryptProv {
  using Value = HCRYPTPROV;
  static Value Invalid() noexcept { return 0; }
  static bool IsValid(Value v) noexcept { return v != 0; }
  static void Close(Value v) noexcept { ::CryptReleaseContext(v, 0); }
};

struct CryptHash {
  using Value = HCRYPTHASH;
  static Value Invalid() noexcept { return 0; }
  static bool IsValid(Value v) noexcept { return v != 0; }
  static void Close(Value v) noexcept { ::CryptDestroyHash(v); }
};

struct CryptKey {
  using Value = HCRYPTKEY;
  static Value Invalid() noexcept { return 0; }
  static bool IsValid(Value v) noexcept { return v != 0; }
  static void Close(Value v) noexcept { ::CryptDestroyKey(v); }
};

struct ActCtxCookie {
  using Value = ULONG_PTR;
  static Value Invalid() noexcept { return 0; }
  static bool IsValid(Value v) noexcept { return v != 0; }
  static void Close(Value v) noexcept { ::DeactivateActCtx(0, v); }
};

// The thread's COM apartment, held as the HRESULT that entering it gave: left only when
// entering succeeded.
struct ComApartment {
  using Value = HRESULT;
  static Value Invalid() noexcept { return E_FAIL; }
  static bool IsValid(Value v) noexcept { return SUCCEEDED(v); }
  static void Close(Value) noexcept { ::CoUninitialize(); }
};

struct File {
  using Value = std::FILE*;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { std::fclose(v); }
};

struct ActCtx {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
  static void Close(Value v) noexcept { ::ReleaseActCtx(v); }
};

struct LocalMemory {
  using Value = HLOCAL;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::LocalFree(v); }
};

}  // namespace traits

using ScopedHandle = ScopedAny<traits::Handle>;  // processes, mutexes, files, events
using ScopedRegKey = ScopedAny<traits::RegKey>;
using ScopedServiceHandle = ScopedAny<traits::ServiceHandle>;
using ScopedWinHttpHandle = ScopedAny<traits::WinHttpHandle>;
using ScopedModule = ScopedAny<traits::Module>;
using ScopedCryptProv = ScopedAny<traits::CryptProv>;
using ScopedCryptHash = ScopedAny<traits::CryptHash>;
using ScopedCryptKey = ScopedAny<traits::CryptKey>;
using ScopedActCtx = ScopedAny<traits::ActCtx>;
using ScopedFile = ScopedAny<traits::File>;                  // C streams
using ScopedActCtxCookie = ScopedAny<traits::ActCtxCookie>;  // an activation, deactivated
using ScopedComApartment = ScopedAny<traits::ComApartment>;
using ScopedLocal = ScopedAny<traits::LocalMemory>;  // what the system hands out for LocalFree

}  // namespace zentrak
