// The VARIANT, text, number, interface and date conversions against the real oleaut32.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "TestComObject.h"
#include "TestZone.h"
#include "hostsdk/Variant.h"
#include "support/ScopedSafeArray.h"

namespace zentrak::hostsdk {
namespace {

using testing::TestDateValue;

ScopedVariant Int32Variant(std::int32_t value, VARTYPE type = VT_I4) {
  ScopedVariant v;
  V_VT(v.Mutable()) = type;
  V_I4(v.Mutable()) = value;
  return v;
}

ScopedVariant BoolVariant(VARIANT_BOOL value) {
  ScopedVariant v;
  V_VT(v.Mutable()) = VT_BOOL;
  V_BOOL(v.Mutable()) = value;
  return v;
}

ScopedVariant UnknownVariant(IUnknown* object, VARTYPE type) {
  ScopedVariant v;
  if (object != nullptr) object->AddRef();
  V_VT(v.Mutable()) = type;
  V_UNKNOWN(v.Mutable()) = object;
  return v;
}

ScopedVariant TypedVariant(VARTYPE type) {
  ScopedVariant v;
  V_VT(v.Mutable()) = type;
  return v;
}

// The HRESULT a conversion raises, or S_OK when it raises none.
template <typename F>
HRESULT Raised(F&& conversion) {
  try {
    conversion();
  } catch (const ComError& error) {
    return error.result();
  }
  return S_OK;
}

TEST(VariantToInterface, ObjectsAreAskedForTheWantedInterface) {
  TestDateValue object(42.5);
  for (const VARTYPE type : {VT_DISPATCH, VT_UNKNOWN}) {
    const ScopedVariant held = UnknownVariant(static_cast<IDateValue*>(&object), type);
    const auto date = VariantToInterface<IDateValue>(held.get());
    ASSERT_FALSE(date.empty()) << type;
    EXPECT_EQ(date.get(), static_cast<IDateValue*>(&object));
    EXPECT_TRUE(VariantToInterface<IEntryMap>(held.get()).empty()) << "not offered: no error";
  }
  EXPECT_EQ(object.references(), 0U) << "every reference taken was released";
}

TEST(VariantToInterface, MissingPointersGiveNoObjectWithoutError) {
  for (const VARTYPE type : {VT_DISPATCH, VT_UNKNOWN}) {
    const ScopedVariant held = UnknownVariant(nullptr, type);
    EXPECT_TRUE(VariantToInterface<IDateValue>(held.get()).empty()) << type;
  }
  // The SDK answers "no object" with an empty VARIANT, which oleaut32 cannot change to
  // VT_DISPATCH: it counts as a missing pointer.
  for (const VARTYPE type : {VT_EMPTY, VT_NULL}) {
    const ScopedVariant nothing = TypedVariant(type);
    EXPECT_EQ(Raised([&] { EXPECT_TRUE(VariantToInterface<IDateValue>(nothing.get()).empty()); }),
              S_OK)
        << type;
  }
}

TEST(VariantToInterface, ValuesThatAreNoObjectRaiseTheirChangeError) {
  const ScopedVariant number = Int32Variant(7);
  EXPECT_EQ(Raised([&] { (void)VariantToInterface<IDateValue>(number.get()); }),
            DISP_E_TYPEMISMATCH);
  const ScopedVariant text = TextToVariant(L"object");
  EXPECT_EQ(Raised([&] { (void)VariantToInterface<IDateValue>(text.get()); }), DISP_E_TYPEMISMATCH);
}

TEST(VariantToInterface, AFailedQueryOtherThanNoInterfaceIsRaised) {
  TestDateValue object(0.0, E_ACCESSDENIED);
  const ScopedVariant held = UnknownVariant(static_cast<IDateValue*>(&object), VT_DISPATCH);
  EXPECT_EQ(Raised([&] { (void)VariantToInterface<IEntryMap>(held.get()); }), E_ACCESSDENIED);
}

TEST(VariantToText, BstrsAreCopiedWholeAndOtherTypesChanged) {
  const std::wstring with_zero(L"ab\0cd", 5);
  EXPECT_EQ(VariantToText(TextToVariant(with_zero).get()), with_zero);
  EXPECT_EQ(VariantToText(Int32Variant(-42).get()), L"-42");
  EXPECT_EQ(VariantToText(ScopedVariant().get()), L"");
  ScopedVariant null_bstr;
  V_VT(null_bstr.Mutable()) = VT_BSTR;
  V_BSTR(null_bstr.Mutable()) = nullptr;
  EXPECT_EQ(VariantToText(null_bstr.get()), L"");
  EXPECT_EQ(Raised([] { (void)VariantToText(TypedVariant(VT_NULL).get()); }), DISP_E_TYPEMISMATCH);
  EXPECT_NE(Raised([] { (void)VariantToText(UnknownVariant(nullptr, VT_DISPATCH).get()); }), S_OK);
}

TEST(VariantToNumber, UnsignedValuesAndTheirChangeErrors) {
  ScopedVariant ui4;
  V_VT(ui4.Mutable()) = VT_UI4;
  V_UI4(ui4.Mutable()) = 0xFFFFFFFFu;
  EXPECT_EQ(VariantToUInt32(ui4.get()), 0xFFFFFFFFu);
  EXPECT_EQ(VariantToUInt32(Int32Variant(5).get()), 5U);
  EXPECT_EQ(VariantToUInt32(TextToVariant(L"12").get()), 12U);
  ScopedVariant huge;
  V_VT(huge.Mutable()) = VT_R8;
  V_R8(huge.Mutable()) = 1e20;
  EXPECT_EQ(Raised([&] { (void)VariantToUInt32(huge.get()); }), DISP_E_OVERFLOW);
  EXPECT_EQ(Raised([] { (void)VariantToUInt32(TextToVariant(L"twelve").get()); }),
            DISP_E_TYPEMISMATCH);
}

TEST(VariantToBoolean, NonZeroBoolsAreTrueAndChangedValuesMustBeVariantTrue) {
  EXPECT_TRUE(VariantToBool(BoolVariant(VARIANT_TRUE).get()));
  EXPECT_TRUE(VariantToBool(BoolVariant(1).get()));
  EXPECT_FALSE(VariantToBool(BoolVariant(VARIANT_FALSE).get()));
  EXPECT_TRUE(VariantToBool(Int32Variant(2).get()));
  EXPECT_FALSE(VariantToBool(Int32Variant(0).get()));
  EXPECT_EQ(Raised([] { (void)VariantToBool(TextToVariant(L"maybe").get()); }),
            DISP_E_TYPEMISMATCH);
}

TEST(VariantToDateValue, DatesDoublesAndValuesThatAreNoDate) {
  ScopedVariant date;
  V_VT(date.Mutable()) = VT_DATE;
  V_DATE(date.Mutable()) = 43185.5;
  EXPECT_DOUBLE_EQ(VariantToDate(date.get()).value, 43185.5);
  EXPECT_TRUE(VariantToDate(date.get()).valid());
  const OleDate from_double = VariantToDate(DateToVariant(OleDate::FromDouble(-1.25), VT_R8).get());
  EXPECT_TRUE(from_double.valid());
  EXPECT_DOUBLE_EQ(from_double.value, -1.25);
  for (const auto* text : {L"no date", L""}) {
    const OleDate invalid = VariantToDate(TextToVariant(text).get());
    EXPECT_EQ(invalid.status, DateStatus::kInvalid) << text;
    EXPECT_EQ(invalid.value, 0.0);
  }
  EXPECT_FALSE(VariantToDate(UnknownVariant(nullptr, VT_DISPATCH).get()).valid());
}

TEST(DateToVariantValue, OnlyDoubleAndDateTypesCanBeAsked) {
  const OleDate date = OleDate::FromDouble(45000.75);
  const ScopedVariant r8 = DateToVariant(date, VT_R8);
  EXPECT_EQ(r8.type(), VT_R8);
  EXPECT_EQ(V_R8(&r8.get()), 45000.75);
  EXPECT_EQ(DateToVariant(date, VT_DATE).type(), VT_DATE);
  EXPECT_EQ(Raised([&] { (void)DateToVariant(date, VT_I4); }), E_INVALIDARG);
}

// A VARIANT of the type whose value field holds the bits given, from the lowest byte.
ScopedVariant RawVariant(VARTYPE type, LONGLONG bits) {
  ScopedVariant v;
  V_VT(v.Mutable()) = type;
  V_I8(v.Mutable()) = bits;
  return v;
}

TEST(IntegerAndTextFields, IntegersOfEveryWidthAndOnlyThemHoldANumber) {
  struct Case {
    VARTYPE type;
    LONGLONG bits;  // the value's bytes, from the lowest
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {VT_I1, -5, -5},
      {VT_UI1, 200, 200},
      {VT_I2, -300, -300},
      {VT_UI2, 65535, 65535},
      {VT_I4, -7, -7},
      {VT_INT, 9, 9},
      {VT_UI4, 0xFFFFFFFF, -1},
      {VT_UINT, 12, 12},
      {VT_I8, 0x100000005LL, 5},  // the low 32 bits
      {VT_I8, -2, -2},
      {VT_UI8, 0x7FFFFFFF80000000LL, INT32_MIN},
      {VT_R8, 0, std::nullopt},
      {VT_DATE, 0, std::nullopt},
      {VT_BOOL, -1, std::nullopt},
      {VT_EMPTY, 0, std::nullopt},
      {VT_NULL, 0, std::nullopt},
      {VT_ERROR, 5, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Int32Value(RawVariant(c.type, c.bits).get()), c.expected) << "type " << c.type;
  }
  EXPECT_FALSE(Int32Value(TextToVariant(L"7").get()));

  // 64 bits: the whole value of a 64-bit integer, the others widened; nothing else.
  const struct {
    VARTYPE type;
    LONGLONG bits;
    std::optional<std::int64_t> expected;
  } wide[] = {
      {VT_I8, 0x100000005LL, 0x100000005LL},
      {VT_UI8, -1, -1},
      {VT_I4, -7, -7},
      {VT_UI4, 0xFFFFFFFF, 0xFFFFFFFFLL},
      {VT_I2, -3, -3},
      {VT_UI1, 255, 255},
      {VT_EMPTY, 0, std::nullopt},
      {VT_BOOL, -1, std::nullopt},
      {VT_R8, 0, std::nullopt},
  };
  for (const auto& c : wide) {
    EXPECT_EQ(Int64Value(RawVariant(c.type, c.bits).get()), c.expected) << "type " << c.type;
  }
  EXPECT_FALSE(Int64Value(TextToVariant(L"7").get()));
  EXPECT_EQ(BstrField(TextToVariant(L"x").get()), L"x");
  EXPECT_FALSE(BstrField(Int32Variant(1).get()));
  EXPECT_EQ(ConfigurationOutStart().type(), VT_INT);
  EXPECT_EQ(V_INT(&ConfigurationOutStart().get()), 0);
}

TEST(ByteArrayToVariant, TheArrayIsCopiedUnderItsElementType) {
  EXPECT_EQ(Raised([] { (void)ArrayToVariant(nullptr); }), E_INVALIDARG);
  const ScopedSafeArray array(::SafeArrayCreateVector(VT_UI1, 0, 3));
  ASSERT_TRUE(array);
  unsigned char* bytes = nullptr;
  ASSERT_EQ(::SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&bytes)), S_OK);
  bytes[0] = 't';
  bytes[1] = 0;
  bytes[2] = 0xFF;
  ASSERT_EQ(::SafeArrayUnaccessData(array.get()), S_OK);

  const ScopedVariant copy = ArrayToVariant(array.get());
  EXPECT_EQ(copy.type(), VT_ARRAY | VT_UI1);
  SAFEARRAY* held = V_ARRAY(&copy.get());
  EXPECT_NE(held, array.get());
  LONG lower = -1, upper = -1;
  ASSERT_EQ(::SafeArrayGetLBound(held, 1, &lower), S_OK);
  ASSERT_EQ(::SafeArrayGetUBound(held, 1, &upper), S_OK);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 2);
  const auto* copied = static_cast<const unsigned char*>(held->pvData);
  EXPECT_EQ(copied[0], 't');
  EXPECT_EQ(copied[1], 0);
  EXPECT_EQ(copied[2], 0xFF);
}

// The portable split of a date against the platform's own.
TEST(DateParts, SplitAgreesWithVarUdateFromDate) {
  const double second = 1.0 / 86400;
  for (const double date :
       {0.0, 1.0, 2.0, -1.0, -1.25, -0.25, 43185.5, 36585.0, 60.0, 61.0, -657434.0, 2958465.5,
        45000.0 + 59.6 * second, 45000.0 + 59.4 * second, 45000.0 + (86400 - 0.3) * second,
        -2.0 - (86400 - 0.3) * second, 12345.678901, -12345.678901, 2958465.0 + 86399 * second}) {
    UDATE udate{};
    const HRESULT hr = ::VarUdateFromDate(date, 0, &udate);
    const auto parts = SplitDate(date);
    ASSERT_EQ(SUCCEEDED(hr), parts.has_value()) << date;
    if (!parts) continue;
    EXPECT_EQ(parts->year, udate.st.wYear) << date;
    EXPECT_EQ(parts->month, udate.st.wMonth) << date;
    EXPECT_EQ(parts->day, udate.st.wDay) << date;
    EXPECT_EQ(parts->hour, udate.st.wHour) << date;
    EXPECT_EQ(parts->minute, udate.st.wMinute) << date;
    EXPECT_EQ(parts->second, udate.st.wSecond) << date;
    // Wine takes the weekday and day of the year from the day before a rounding carry
    // into midnight; elsewhere they agree.
    const double fraction = std::fabs(date - std::trunc(date));
    if (fraction * 86400 < 86399.5) {
      EXPECT_EQ(parts->day_of_week, udate.st.wDayOfWeek) << date;
      EXPECT_EQ(parts->day_of_year, udate.wDayOfYear) << date;
    }
  }
}

SYSTEMTIME SystemTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME parts{};
  parts.wYear = year;
  parts.wMonth = month;
  parts.wDay = day;
  parts.wHour = hour;
  parts.wMinute = minute;
  return parts;
}

FILETIME FileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME parts = SystemTimeOf(year, month, day, hour, minute);
  parts.wSecond = second;
  FILETIME time{};
  EXPECT_TRUE(::SystemTimeToFileTime(&parts, &time));
  return time;
}

TEST(FileTimeConversion, UtcTimesBecomeLocalDates) {
  const FILETIME utc = FileTimeOf(2018, 3, 26, 12, 5, 7);
  FILETIME local{};
  ASSERT_TRUE(::FileTimeToLocalFileTime(&utc, &local));
  SYSTEMTIME local_parts{};
  ASSERT_TRUE(::FileTimeToSystemTime(&local, &local_parts));
  double expected = 0;
  ASSERT_TRUE(::SystemTimeToVariantTime(&local_parts, &expected));

  const OleDate date = FileTimeToDate(utc);
  EXPECT_TRUE(date.valid());
  EXPECT_DOUBLE_EQ(date.value, expected);
  EXPECT_TRUE(LocalNow().valid());
}

TEST(FileTimeConversion, TimesBeyondTheDateRangeAreInvalid) {
  const OleDate beyond = FileTimeToDate(FILETIME{0xFFFFFFFF, 0x7FFFFFFF});  // year 30828
  EXPECT_EQ(beyond.status, DateStatus::kInvalid);
}


// The same two instants in every zone: 1 July 2026 and 15 January 2026, 12:00 UTC. Each
// zone's wall times and offsets are written out by hand.
struct ZoneRow {
  const char* zone;
  const wchar_t* july_local;     // 2026-07-01T12:00:00Z on the zone's clock
  const wchar_t* january_local;  // 2026-01-15T12:00:00Z on the zone's clock
  int standard_minutes;          // east of UTC
  int daylight_minutes;
};
constexpr ZoneRow kZoneRows[] = {
    {"UTC", L"2026-07-01T12:00:00", L"2026-01-15T12:00:00", 0, 0},
    {"America/Los_Angeles", L"2026-07-01T05:00:00", L"2026-01-15T04:00:00", -480, -420},
    {"Europe/Madrid", L"2026-07-01T14:00:00", L"2026-01-15T13:00:00", 60, 120},
    {"Pacific/Auckland", L"2026-07-02T00:00:00", L"2026-01-16T01:00:00", 720, 780},
};

TEST(ZoneConversion, UtcTimesTakeTheOffsetInForceAtTheirDate) {
  const ZoneRow* row = testing::RowForZone(kZoneRows);
  ASSERT_NE(row, nullptr) << "no expected values for zone " << testing::TestZone();
  EXPECT_EQ(FormatDate(UtcToLocalDate(SystemTimeOf(2026, 7, 1, 12, 0))), row->july_local);
  EXPECT_EQ(FormatDate(UtcToLocalDate(SystemTimeOf(2026, 1, 15, 12, 0))), row->january_local);
  EXPECT_EQ(UtcToLocalDate(SystemTimeOf(2026, 13, 1, 12, 0)).status, DateStatus::kInvalid);
}

TEST(ZoneConversion, LocalFileTimesBecomeUtcWithTheOffsetInForceAtTheirDate) {
  const ZoneRow* row = testing::RowForZone(kZoneRows);
  ASSERT_NE(row, nullptr) << "no expected values for zone " << testing::TestZone();
  // The zone's wall times of the two instants, given as the SDK gives a local FILETIME.
  const auto local_filetime = [](const wchar_t* text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_EQ(std::swscanf(text, L"%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s), 6);
    return FileTimeOf(static_cast<WORD>(y), static_cast<WORD>(mo), static_cast<WORD>(d),
                      static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s));
  };
  EXPECT_EQ(FormatDate(LocalFileTimeToUtcDate(local_filetime(row->july_local))),
            L"2026-07-01T12:00:00");
  EXPECT_EQ(FormatDate(LocalFileTimeToUtcDate(local_filetime(row->january_local))),
            L"2026-01-15T12:00:00");
  EXPECT_EQ(LocalFileTimeToUtcDate(FILETIME{0xFFFFFFFF, 0x7FFFFFFF}).status,
            DateStatus::kInvalid);  // year 30828
}

TEST(ZoneConversion, FileTimesTakeTheOffsetInForceNow) {
  const ZoneRow* row = testing::RowForZone(kZoneRows);
  ASSERT_NE(row, nullptr) << "no expected values for zone " << testing::TestZone();
  // FileTimeToLocalFileTime shifts every time by today's offset (it serves "now").
  TIME_ZONE_INFORMATION zone{};
  const bool daylight_now = ::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT;
  const int minutes = daylight_now ? row->daylight_minutes : row->standard_minutes;
  for (const FILETIME utc : {FileTimeOf(2026, 7, 1, 12, 0, 0), FileTimeOf(2026, 1, 15, 12, 0, 0)}) {
    const std::uint64_t ticks = (std::uint64_t{utc.dwHighDateTime} << 32) | utc.dwLowDateTime;
    const std::uint64_t shifted = ticks + static_cast<std::int64_t>(minutes) * 600000000LL;
    const FILETIME expected_time{static_cast<DWORD>(shifted), static_cast<DWORD>(shifted >> 32)};
    SYSTEMTIME e{};
    ASSERT_TRUE(::FileTimeToSystemTime(&expected_time, &e));
    wchar_t expected[32];
    std::swprintf(expected, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", e.wYear, e.wMonth, e.wDay,
                  e.wHour, e.wMinute, e.wSecond);
    EXPECT_EQ(FormatDate(FileTimeToDate(utc)), expected);
  }
}

}  // namespace
}  // namespace zentrak::hostsdk
