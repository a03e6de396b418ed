#include "hostsdk/Variant.h"

namespace zentrak::hostsdk {
namespace {

// The pointer a VT_DISPATCH or VT_UNKNOWN VARIANT holds, or none.
IUnknown* HeldPointer(const VARIANT& value) noexcept {
  return V_VT(&value) == VT_DISPATCH ? V_DISPATCH(&value) : V_UNKNOWN(&value);
}

// QueryInterface on a held pointer; a missing pointer counts as E_NOINTERFACE.
HRESULT QueryHeld(const VARIANT& value, REFIID iid, void** result) noexcept {
  IUnknown* held = HeldPointer(value);
  if (held == nullptr) return E_NOINTERFACE;
  return held->QueryInterface(iid, result);
}

// QueryInterface after changing the VARIANT's type.
HRESULT QueryChanged(const VARIANT& value, VARTYPE type, REFIID iid, void** result) noexcept {
  VARIANT changed;
  ::VariantInit(&changed);
  HRESULT hr = ::VariantChangeType(&changed, const_cast<VARIANT*>(&value), 0, type);
  if (SUCCEEDED(hr)) hr = V_VT(&changed) == type ? QueryHeld(changed, iid, result) : E_NOINTERFACE;
  ::VariantClear(&changed);
  return hr;
}

ScopedVariant Changed(const VARIANT& value, VARTYPE type) {
  ScopedVariant changed;
  ThrowIfFailed(::VariantChangeType(changed.Mutable(), const_cast<VARIANT*>(&value), 0, type));
  return changed;
}

}  // namespace

void* QueryVariant(const VARIANT& value, REFIID iid) {
  void* result = nullptr;
  HRESULT hr;
  if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) {
    // No value at all: a missing pointer, not a type that fails to change.
    hr = E_NOINTERFACE;
  } else if (V_VT(&value) == VT_DISPATCH || V_VT(&value) == VT_UNKNOWN) {
    hr = QueryHeld(value, iid, &result);
  } else {
    hr = QueryChanged(value, VT_DISPATCH, iid, &result);
    if (hr == E_NOINTERFACE) hr = QueryChanged(value, VT_UNKNOWN, iid, &result);
  }
  if (hr == E_NOINTERFACE) return nullptr;
  ThrowIfFailed(hr);
  return result;
}

std::wstring VariantToText(const VARIANT& value) {
  if (V_VT(&value) == VT_BSTR) return BstrText(V_BSTR(&value));
  VARIANT changed;
  ::VariantInit(&changed);
  const HRESULT hr = ::VariantChangeType(&changed, const_cast<VARIANT*>(&value), 0, VT_BSTR);
  const ScopedVariant owner(changed);
  ThrowIfFailed(hr);
  return BstrText(V_BSTR(&owner.get()));
}

std::uint32_t VariantToUInt32(const VARIANT& value) {
  if (V_VT(&value) == VT_UI4) return V_UI4(&value);
  return V_UI4(&Changed(value, VT_UI4).get());
}

bool VariantToBool(const VARIANT& value) {
  if (V_VT(&value) == VT_BOOL) return V_BOOL(&value) != VARIANT_FALSE;
  return V_BOOL(&Changed(value, VT_BOOL).get()) == VARIANT_TRUE;
}

OleDate VariantToDate(const VARIANT& value) {
  if (V_VT(&value) == VT_DATE) return OleDate::FromDouble(V_DATE(&value));
  VARIANT changed;
  ::VariantInit(&changed);
  const HRESULT hr = ::VariantChangeType(&changed, const_cast<VARIANT*>(&value), 0, VT_DATE);
  const double date = V_DATE(&changed);
  ::VariantClear(&changed);
  return FAILED(hr) ? OleDate::Invalid() : OleDate::FromDouble(date);
}

std::optional<std::int32_t> Int32Field(const VARIANT& value) noexcept {
  switch (V_VT(&value)) {
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
      return V_I4(&value);
    default:
      return std::nullopt;
  }
}

std::optional<std::wstring> BstrField(const VARIANT& value) {
  if (V_VT(&value) != VT_BSTR) return std::nullopt;
  return BstrText(V_BSTR(&value));
}

ScopedVariant TextToVariant(std::wstring_view text) {
  ScopedVariant result;
  V_BSTR(result.Mutable()) = ScopedBstr::Allocate(text);
  V_VT(result.Mutable()) = VT_BSTR;
  return result;
}

ScopedVariant UInt32ToVariant(std::uint32_t value) noexcept {
  ScopedVariant result;
  V_VT(result.Mutable()) = VT_UI4;
  V_UI4(result.Mutable()) = value;
  return result;
}

ScopedVariant ConfigurationOutStart() noexcept {
  ScopedVariant result;
  V_VT(result.Mutable()) = VT_INT;
  V_INT(result.Mutable()) = 0;
  return result;
}

ScopedVariant DateToVariant(const OleDate& date, VARTYPE type) {
  if (type != VT_R8 && type != VT_DATE) throw ComError(E_INVALIDARG);
  ScopedVariant result;
  V_VT(result.Mutable()) = type;
  if (type == VT_R8) {
    V_R8(result.Mutable()) = date.value;
  } else {
    V_DATE(result.Mutable()) = date.value;
  }
  return result;
}

ScopedVariant DispatchToVariant(IDispatch* object) noexcept {
  ScopedVariant result;
  if (object != nullptr) object->AddRef();
  V_VT(result.Mutable()) = VT_DISPATCH;
  V_DISPATCH(result.Mutable()) = object;
  return result;
}

ScopedVariant ArrayToVariant(SAFEARRAY* array) {
  if (array == nullptr) throw ComError(E_INVALIDARG);
  VARTYPE element = VT_EMPTY;
  ThrowIfFailed(::SafeArrayGetVartype(array, &element));
  SAFEARRAY* copy = nullptr;
  ThrowIfFailed(::SafeArrayCopy(array, &copy));
  ScopedVariant result;
  V_VT(result.Mutable()) = static_cast<VARTYPE>(element | VT_ARRAY);
  V_ARRAY(result.Mutable()) = copy;
  return result;
}

OleDate FileTimeToDate(const FILETIME& time) noexcept {
  FILETIME local{};
  SYSTEMTIME parts{};
  double date = 0.0;
  SYSTEMTIME back{};
  if (!::FileTimeToLocalFileTime(&time, &local) || !::FileTimeToSystemTime(&local, &parts) ||
      !::SystemTimeToVariantTime(&parts, &date) || !::VariantTimeToSystemTime(date, &back) ||
      back.wYear != parts.wYear || back.wMonth != parts.wMonth || back.wDay != parts.wDay ||
      back.wHour != parts.wHour || back.wMinute != parts.wMinute || back.wSecond != parts.wSecond) {
    return OleDate::Invalid();
  }
  return OleDate::FromDouble(date);
}

OleDate Now() noexcept {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeToDate(now);
}

}  // namespace zentrak::hostsdk
