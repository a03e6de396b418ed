// Conversions between VARIANTs, texts, numbers, interface pointers and OLE dates, as the
// host SDK calls use them. A failed conversion raises the COM error or gives an invalid
// value, as each says.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oleauto.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hostsdk/OleDate.h"
#include "support/CivilTime.h"
#include "support/ComPtr.h"
#include "support/ScopedBstr.h"
#include "support/ScopedVariant.h"

namespace zentrak::hostsdk {

// The interface pointer held by a VARIANT, asked by QueryInterface: VT_DISPATCH and
// VT_UNKNOWN directly, any other type after a change to VT_DISPATCH and, when that gives
// E_NOINTERFACE, to VT_UNKNOWN. A missing pointer (VT_EMPTY and VT_NULL included, the
// SDK's "no object") counts as E_NOINTERFACE; a final E_NOINTERFACE gives no pointer, any
// other failure raises the COM error. Returns an owned reference.
[[nodiscard]] void* QueryVariant(const VARIANT& value, REFIID iid);

template <typename I>
[[nodiscard]] ComPtr<I> VariantToInterface(const VARIANT& value) {
  return ComPtr<I>::Attach(static_cast<I*>(QueryVariant(value, __uuidof(I))));
}

// The value changed to the type (VariantChangeType, flags 0); a failure raises the COM
// error.
[[nodiscard]] ScopedVariant ChangedVariant(const VARIANT& value, VARTYPE type);
// VT_BSTR copied, any other type changed to VT_BSTR (a failure raises the COM error).
[[nodiscard]] std::wstring VariantToText(const VARIANT& value);
// VT_UI4 as is, any other type changed to VT_UI4 (a failure raises the COM error).
[[nodiscard]] std::uint32_t VariantToUInt32(const VARIANT& value);
// VT_BOOL true when non-zero; any other type changed to VT_BOOL and true only when the
// result is VARIANT_TRUE (a failure raises the COM error).
[[nodiscard]] bool VariantToBool(const VARIANT& value);
// VT_DATE as is, any other type changed to VT_DATE; invalid (value 0) when that fails.
[[nodiscard]] OleDate VariantToDate(const VARIANT& value);

// The value of a VARIANT that holds an integer of any width (VT_I1 to VT_UI8, VT_INT,
// VT_UINT) as a 32-bit integer: the low 32 bits of a 64-bit one. None for any other type
// (texts, dates, booleans, objects, empty): they hold no integer.
[[nodiscard]] std::optional<std::int32_t> Int32Value(const VARIANT& value) noexcept;
// The same for a 64-bit integer: any integer width, an unsigned 64-bit value taken as its
// bits. None for any other type.
[[nodiscard]] std::optional<std::int64_t> Int64Value(const VARIANT& value) noexcept;
// The text of a VT_BSTR VARIANT, none for any other type.
[[nodiscard]] std::optional<std::wstring> BstrField(const VARIANT& value);

[[nodiscard]] ScopedVariant TextToVariant(std::wstring_view text);
[[nodiscard]] ScopedVariant UInt32ToVariant(std::uint32_t value) noexcept;
// VT_INT 0: the starting value of a Configuration read's out VARIANT.
[[nodiscard]] ScopedVariant ConfigurationOutStart() noexcept;
// The date's double as VT_R8 or VT_DATE; any other type raises E_INVALIDARG.
[[nodiscard]] ScopedVariant DateToVariant(const OleDate& date, VARTYPE type);
// A reference of its own to the object, as VT_DISPATCH.
[[nodiscard]] ScopedVariant DispatchToVariant(IDispatch* object) noexcept;
// A copy of the array under its element type combined with VT_ARRAY; a missing array
// raises E_INVALIDARG, a failed copy the COM error.
[[nodiscard]] ScopedVariant ArrayToVariant(SAFEARRAY* array);

// FILETIME (UTC) to a local-time date, shifted by the offset in force now (as
// FileTimeToLocalFileTime does): valid only when every step succeeds and the date gives
// back the same year, month, day, hour, minute and second.
[[nodiscard]] OleDate FileTimeToDate(const FILETIME& utc) noexcept;
// The current time as a local-time date.
[[nodiscard]] OleDate LocalNow() noexcept;
// A UTC calendar time as a local-time date, shifted by the offset in force at that time
// (not today's); invalid when the time cannot be converted.
[[nodiscard]] OleDate UtcToLocalDate(const SYSTEMTIME& utc) noexcept;
[[nodiscard]] OleDate UtcToLocalDate(const CivilTime& utc) noexcept;
// A local FILETIME (as the SDK keeps the installation time) as a UTC date, shifted by the
// offset in force at that local time; invalid when it cannot be converted.
[[nodiscard]] OleDate LocalFileTimeToUtcDate(const FILETIME& local) noexcept;

}  // namespace zentrak::hostsdk
