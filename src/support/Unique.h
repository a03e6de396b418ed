// Owners for Win32 resources: one template for "a value plus how to close it" and one
// alias per resource kind. Logic code never calls a close function by hand.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <winsvc.h>

#include <utility>

namespace zentrak {

template <typename Traits>
class UniqueAny {
 public:
  using Value = typename Traits::Value;

  UniqueAny() noexcept : value_(Traits::Invalid()) {}
  explicit UniqueAny(Value value) noexcept : value_(value) {}
  ~UniqueAny() { reset(); }

  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
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

struct ActCtx {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
  static void Close(Value v) noexcept { ::ReleaseActCtx(v); }
};

}  // namespace traits

using UniqueHandle = UniqueAny<traits::Handle>;  // processes, mutexes, files, events
using UniqueRegKey = UniqueAny<traits::RegKey>;
using UniqueServiceHandle = UniqueAny<traits::ServiceHandle>;
using UniqueWinHttpHandle = UniqueAny<traits::WinHttpHandle>;
using UniqueModule = UniqueAny<traits::Module>;
using UniqueCryptProv = UniqueAny<traits::CryptProv>;
using UniqueCryptHash = UniqueAny<traits::CryptHash>;
using UniqueCryptKey = UniqueAny<traits::CryptKey>;
using UniqueActCtx = UniqueAny<traits::ActCtx>;

}  // namespace zentrak
