// OLE automation dates and date spans with their status, as the host SDK and the event
// documents exchange them. Portable: no Windows headers.
//
// A date is a double counting days from 30 December 1899 00:00. Below zero the integer
// part is the day and the fraction still counts forward in time, so arithmetic and
// comparison go through the "linear value", which runs straight across zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zentrak::hostsdk {

enum class DateStatus : std::uint8_t { kValid = 0, kInvalid = 1, kNull = 2 };

inline constexpr double kHalfSecondInDays = 0.5 / 86400.0;
// Spans beyond this many days either way are invalid.
inline constexpr double kMaxSpanDays = 3615897.0;

// The format of the documents and of the SDK's dates.
inline constexpr wchar_t kDateFormat[] = L"%Y-%m-%dT%H:%M:%S";
// What an invalid date is formatted as.
inline constexpr wchar_t kInvalidDateText[] = L"Invalid DateTime";

struct OleDate {
  double value = 0.0;
  DateStatus status = DateStatus::kValid;

  [[nodiscard]] static OleDate FromDouble(double days) noexcept {
    return {days, DateStatus::kValid};
  }
  [[nodiscard]] static OleDate Invalid() noexcept { return {0.0, DateStatus::kInvalid}; }
  [[nodiscard]] static OleDate Null() noexcept { return {0.0, DateStatus::kNull}; }
  [[nodiscard]] bool valid() const noexcept { return status == DateStatus::kValid; }
};

struct DateSpan {
  double days = 0.0;
  DateStatus status = DateStatus::kValid;  // kValid or kInvalid

  [[nodiscard]] bool valid() const noexcept { return status == DateStatus::kValid; }
};

[[nodiscard]] double LinearValue(double date) noexcept;
[[nodiscard]] double FromLinearValue(double linear) noexcept;

// A span of that many days, invalid beyond the limits.
[[nodiscard]] DateSpan MakeSpan(double days) noexcept;
[[nodiscard]] DateSpan SpanFromParts(double days, double hours, double minutes,
                                     double seconds) noexcept;

// Linear difference of the two dates.
[[nodiscard]] DateSpan Subtract(const OleDate& later, const OleDate& earlier) noexcept;
// The date that lies the span before the date; always valid.
[[nodiscard]] OleDate Subtract(const OleDate& date, const DateSpan& span) noexcept;

// Whole days of a span: half a second away from zero, then truncated toward zero.
// Spans beyond the 32-bit range count as its ends (not a number counts 0).
[[nodiscard]] std::int32_t WholeDays(const DateSpan& span) noexcept;

// False when the left date is not valid or the statuses differ; otherwise whether the
// left date's linear value is greater.
[[nodiscard]] bool IsLater(const OleDate& left, const OleDate& right) noexcept;

// The calendar parts of a date, to the nearest second.
struct DateParts {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int day_of_week = 0;  // 0 Sunday to 6 Saturday
  int day_of_year = 0;  // 1 to 366
};

// None for dates outside the years 100 to 9999 (and for values that are not numbers).
[[nodiscard]] std::optional<DateParts> SplitDate(double date) noexcept;
// The date of those parts; none outside the years 100 to 9999 or for parts out of range.
[[nodiscard]] std::optional<double> JoinDate(int year, int month, int day, int hour, int minute,
                                             int second) noexcept;

// -1 when the date is not valid or cannot be split.
[[nodiscard]] int DayOf(const OleDate& date) noexcept;
[[nodiscard]] int MonthOf(const OleDate& date) noexcept;
[[nodiscard]] int YearOf(const OleDate& date) noexcept;

// A null date gives an empty text, an invalid one (or one that cannot be split)
// "Invalid DateTime"; otherwise the parts go through wcsftime with the format.
[[nodiscard]] std::wstring FormatDate(const OleDate& date, const wchar_t* format = kDateFormat);

}  // namespace zentrak::hostsdk
