// Owner of a BSTR. Its text keeps the BSTR's full length, embedded null characters
// included.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oleauto.h>

#include <string>
#include <string_view>

#include "support/ComError.h"
#include "support/Scoped.h"

namespace zentrak {

namespace traits {
struct Bstr {
  using Value = BSTR;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::SysFreeString(v); }
};
}  // namespace traits

class ScopedBstr : public ScopedAny<traits::Bstr> {
 public:
  ScopedBstr() noexcept = default;
  explicit ScopedBstr(BSTR owned) noexcept : ScopedAny(owned) {}
  // A copy of the text; raises E_OUTOFMEMORY when it cannot be allocated.
  explicit ScopedBstr(std::wstring_view text) : ScopedAny(Allocate(text)) {}

  [[nodiscard]] static BSTR Allocate(std::wstring_view text) {
    BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (copy == nullptr) throw ComError(E_OUTOFMEMORY);
    return copy;
  }
};

// The text of a BSTR (empty for a null BSTR).
[[nodiscard]] inline std::wstring BstrText(BSTR value) {
  if (value == nullptr) return {};
  return std::wstring(value, ::SysStringLen(value));
}

}  // namespace zentrak
