// Owner of a VARIANT: initialised empty, cleared when it goes.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oleauto.h>

#include <utility>

#include "support/ComError.h"

namespace zentrak {

class ScopedVariant {
 public:
  ScopedVariant() noexcept { ::VariantInit(&value_); }
  // Takes over a VARIANT the caller owns (its content moves, the source becomes empty).
  explicit ScopedVariant(VARIANT& owned) noexcept : value_(owned) { ::VariantInit(&owned); }
  ~ScopedVariant() { ::VariantClear(&value_); }

  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ScopedVariant(ScopedVariant&& other) noexcept : value_(other.value_) {
    ::VariantInit(&other.value_);
  }
  ScopedVariant& operator=(ScopedVariant&& other) noexcept {
    if (this != &other) {
      ::VariantClear(&value_);
      value_ = other.value_;
      ::VariantInit(&other.value_);
    }
    return *this;
  }

  [[nodiscard]] const VARIANT& get() const noexcept { return value_; }
  [[nodiscard]] VARTYPE type() const noexcept { return V_VT(&value_); }

  // Empties the VARIANT; a failure raises the COM error.
  void Clear() { ThrowIfFailed(::VariantClear(&value_)); }
  // For out parameters: emptied first.
  VARIANT* Receive() {
    Clear();
    return &value_;
  }
  // For filling in place; the caller sets a consistent type and value.
  VARIANT* Mutable() noexcept { return &value_; }

  // The source's value changed to another type (VariantChangeType, flags 0), held here;
  // returns the change's HRESULT, and this owner is empty when it failed.
  [[nodiscard]] HRESULT AssignChanged(const VARIANT& source, VARTYPE type) noexcept {
    ::VariantClear(&value_);
    const HRESULT hr = ::VariantChangeType(&value_, const_cast<VARIANT*>(&source), 0, type);
    if (FAILED(hr)) ::VariantClear(&value_);
    return hr;
  }

 private:
  VARIANT value_;
};

}  // namespace zentrak
