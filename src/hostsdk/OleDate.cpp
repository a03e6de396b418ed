#include "hostsdk/OleDate.h"

#include <cmath>
#include <cstdint>
#include <ctime>
#include <cwchar>
#include <limits>

namespace zentrak::hostsdk {
namespace {

// Days from 1970-01-01 to 1899-12-30, the OLE epoch.
constexpr std::int64_t kOleEpochFromUnix = -25569;
// The years an OLE date can be split into.
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil algorithms).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) noexcept {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
  month = static_cast<int>(m);
  day = static_cast<int>(d);
}

bool IsLeapYear(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) noexcept {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

double LinearValue(double date) noexcept {
  if (date > -kHalfSecondInDays) return date;
  const double day = std::ceil(date);
  return day - (date - day);
}

double FromLinearValue(double linear) noexcept {
  if (linear > -kHalfSecondInDays) return linear;
  const double day = std::floor(linear);
  return day + (day - linear);
}

DateSpan MakeSpan(double days) noexcept {
  const bool in_range = days >= -kMaxSpanDays && days <= kMaxSpanDays;
  return {days, in_range ? DateStatus::kValid : DateStatus::kInvalid};
}

DateSpan SpanFromParts(double days, double hours, double minutes, double seconds) noexcept {
  return MakeSpan(days + hours / 24.0 + minutes / 1440.0 + seconds / 86400.0);
}

DateSpan Subtract(const OleDate& later, const OleDate& earlier) noexcept {
  return MakeSpan(LinearValue(later.value) - LinearValue(earlier.value));
}

OleDate Subtract(const OleDate& date, const DateSpan& span) noexcept {
  return OleDate::FromDouble(FromLinearValue(LinearValue(date.value) - span.days));
}

std::int32_t WholeDays(const DateSpan& span) noexcept {
  const double rounded =
      span.days < 0 ? span.days - kHalfSecondInDays : span.days + kHalfSecondInDays;
  if (std::isnan(rounded)) return 0;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  if (rounded <= kLowest) return std::numeric_limits<std::int32_t>::min();
  if (rounded >= kHighest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(rounded);  // truncates toward zero
}

bool IsLater(const OleDate& left, const OleDate& right) noexcept {
  if (!left.valid() || left.status != right.status) return false;
  return LinearValue(left.value) > LinearValue(right.value);
}

std::optional<DateParts> SplitDate(double date) noexcept {
  // A generous first bound keeps the integer conversions below in range.
  if (!std::isfinite(date) || date <= -700000.0 || date >= 3000000.0) return std::nullopt;
  const double whole = std::trunc(date);
  const double fraction = std::fabs(date - whole);
  auto day_number = static_cast<std::int64_t>(whole);
  auto seconds = static_cast<std::int64_t>(std::floor(fraction * 86400.0 + 0.5));
  if (seconds >= 86400) {  // rounds up into the next calendar day
    seconds -= 86400;
    ++day_number;
  }
  DateParts parts;
  CivilFromDays(day_number + kOleEpochFromUnix, parts.year, parts.month, parts.day);
  if (parts.year < kMinYear || parts.year > kMaxYear) return std::nullopt;
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  const std::int64_t unix_day = day_number + kOleEpochFromUnix;
  parts.day_of_week = static_cast<int>(((unix_day + 4) % 7 + 7) % 7);  // 1970-01-01: Thursday
  parts.day_of_year = static_cast<int>(unix_day - DaysFromCivil(parts.year, 1, 1)) + 1;
  return parts;
}

std::optional<double> JoinDate(int year, int month, int day, int hour, int minute,
                               int second) noexcept {
  if (year < kMinYear || year > kMaxYear || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return std::nullopt;
  }
  const auto day_number = static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      kOleEpochFromUnix);
  const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return day_number < 0 ? day_number - time : day_number + time;
}

int DayOf(const OleDate& date) noexcept {
  if (!date.valid()) return -1;
  const auto parts = SplitDate(date.value);
  return parts ? parts->day : -1;
}

int MonthOf(const OleDate& date) noexcept {
  if (!date.valid()) return -1;
  const auto parts = SplitDate(date.value);
  return parts ? parts->month : -1;
}

int YearOf(const OleDate& date) noexcept {
  if (!date.valid()) return -1;
  const auto parts = SplitDate(date.value);
  return parts ? parts->year : -1;
}

std::wstring FormatDate(const OleDate& date, const wchar_t* format) {
  if (date.status == DateStatus::kNull) return {};
  const auto parts = date.valid() ? SplitDate(date.value) : std::nullopt;
  if (!parts) return kInvalidDateText;
  std::tm tm{};
  tm.tm_sec = parts->second;
  tm.tm_min = parts->minute;
  tm.tm_hour = parts->hour;
  tm.tm_mday = parts->day;
  tm.tm_mon = parts->month - 1;
  tm.tm_year = parts->year - 1900;
  tm.tm_wday = parts->day_of_week;
  tm.tm_yday = parts->day_of_year - 1;
  tm.tm_isdst = 0;
  wchar_t buffer[256] = {};
  const std::size_t length = std::wcsftime(buffer, 256, format, &tm);
  return std::wstring(buffer, length);
}

}  // namespace zentrak::hostsdk
