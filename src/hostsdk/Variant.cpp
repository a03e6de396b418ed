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
  ScopedVariant changed;
  HRESULT hr = changed.AssignChanged(value, type);
  if (SUCCEEDED(hr)) {
    hr = changed.type() == type ? QueryHeld(changed.get(), iid, result) : E_NOINTERFACE;
  }
  return hr;
}

}  // namespace

ScopedVariant ChangedVariant(const VARIANT& value, VARTYPE type) {
  ScopedVariant changed;
  ThrowIfFailed(changed.AssignChanged(value, type));
  return changed;
}

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
  return BstrText(V_BSTR(&ChangedVariant(value, VT_BSTR).get()));
}

std::uint32_t VariantToUInt32(const VARIANT& value) {
  if (V_VT(&value) == VT_UI4) return V_UI4(&value);
  return V_UI4(&ChangedVariant(value, VT_UI4).get());
}

bool VariantToBool(const VARIANT& value) {
  if (V_VT(&value) == VT_BOOL) return V_BOOL(&value) != VARIANT_FALSE;
  return V_BOOL(&ChangedVariant(value, VT_BOOL).get()) == VARIANT_TRUE;
}

OleDate VariantToDate(const VARIANT& value) {
  if (V_VT(&value) == VT_DATE) return OleDate::FromDouble(V_DATE(&value));
  ScopedVariant changed;
  if (FAILED(changed.AssignChanged(value, VT_DATE))) return OleDate::Invalid();
  return OleDate::FromDouble(V_DATE(&changed.get()));
}

std::optional<std::int32_t> Int32Value(const VARIANT& value) noexcept {
  switch (V_VT(&value)) {
    case VT_I1:
      return V_I1(&value);
    case VT_UI1:
      return V_UI1(&value);
    case VT_I2:
      return V_I2(&value);
    case VT_UI2:
      return V_UI2(&value);
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
      return V_I4(&value);
    case VT_I8:
    case VT_UI8:
      // The low 32 bits, as a 32-bit integer.
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(V_UI8(&value)));
    default:
      return std::nullopt;
  }
}

std::optional<std::int64_t> Int64Value(const VARIANT& value) noexcept {
  switch (V_VT(&value)) {
    case VT_I8:
      return V_I8(&value);
    case VT_UI8:
      return static_cast<std::int64_t>(V_UI8(&value));
    case VT_UI4:
    case VT_UINT:
      return static_cast<std::int64_t>(V_UI4(&value));
    default:
      return Int32Value(value);
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

namespace {

// A calendar time as an OLE date of the same wall time: valid only when the date gives
// back the same year, month, day, hour, minute and second.
OleDate SystemTimeToDate(const SYSTEMTIME& parts) noexcept {
  double date = 0.0;
  SYSTEMTIME back{};
  if (!::SystemTimeToVariantTime(const_cast<SYSTEMTIME*>(&parts), &date) ||
      !::VariantTimeToSystemTime(date, &back) || back.wYear != parts.wYear ||
      back.wMonth != parts.wMonth || back.wDay != parts.wDay || back.wHour != parts.wHour ||
      back.wMinute != parts.wMinute || back.wSecond != parts.wSecond) {
    return OleDate::Invalid();
  }
  return OleDate::FromDouble(date);
}

}  // namespace

OleDate FileTimeToDate(const FILETIME& utc) noexcept {
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &parts)) {
    return OleDate::Invalid();
  }
  return SystemTimeToDate(parts);
}

OleDate LocalNow() noexcept {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeToDate(now);
}

OleDate UtcToLocalDate(const SYSTEMTIME& utc) noexcept {
  SYSTEMTIME local{};
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return OleDate::Invalid();
  return SystemTimeToDate(local);
}

OleDate UtcToLocalDate(const CivilTime& utc) noexcept {
  SYSTEMTIME parts{};
  parts.wYear = static_cast<WORD>(utc.year);
  parts.wMonth = static_cast<WORD>(utc.month);
  parts.wDay = static_cast<WORD>(utc.day);
  parts.wHour = static_cast<WORD>(utc.hour);
  parts.wMinute = static_cast<WORD>(utc.minute);
  parts.wSecond = static_cast<WORD>(utc.second);
  parts.wMilliseconds = static_cast<WORD>(utc.millisecond);
  return UtcToLocalDate(parts);
}

OleDate LocalFileTimeToUtcDate(const FILETIME& local) noexcept {
  SYSTEMTIME local_parts{};
  SYSTEMTIME utc{};
  if (!::FileTimeToSystemTime(&local, &local_parts) ||
      !::TzSpecificLocalTimeToSystemTime(nullptr, &local_parts, &utc)) {
    return OleDate::Invalid();
  }
  return SystemTimeToDate(utc);
}

}  // namespace zentrak::hostsdk
