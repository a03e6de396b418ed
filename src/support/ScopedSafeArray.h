// Owner of a SAFEARRAY.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oleauto.h>

#include "support/Scoped.h"

namespace zentrak {

namespace traits {
struct SafeArray {
  using Value = SAFEARRAY*;
  static Value Invalid() noexcept { return nullptr; }
  static bool IsValid(Value v) noexcept { return v != nullptr; }
  static void Close(Value v) noexcept { ::SafeArrayDestroy(v); }
};
}  // namespace traits

using ScopedSafeArray = ScopedAny<traits::SafeArray>;

}  // namespace zentrak
