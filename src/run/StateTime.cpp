#include "run/StateTime.h"

#include <cwchar>

namespace zentrak::run {
namespace {

constexpr bool IsLeap(int year) noexcept {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month) noexcept {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1 January 1601 (proleptic Gregorian).
constexpr std::int64_t DaysSince1601(int year, int month, int day) noexcept {
  const std::int64_t y = year - 1601;
  std::int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + (day - 1);
}

// The leading decimal digits of a field, as the C library's wide-to-integer conversion
// reads them (white space and a sign first); none when the value would not fit the
// 16-bit field it is stored in.
std::optional<int> LeadingNumber(std::wstring_view field) noexcept {
  std::size_t i = 0;
  while (i < field.size() && (field[i] == L' ' || (field[i] >= L'\t' && field[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == L'+' || field[i] == L'-')) negative = field[i++] == L'-';
  long value = 0;
  for (; i < field.size() && field[i] >= L'0' && field[i] <= L'9'; ++i) {
    value = value * 10 + (field[i] - L'0');
    if (value > 0xFFFF) return std::nullopt;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::optional<FileTimeTicks> ToFileTime(const CivilTime& t) noexcept {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999) {
    return std::nullopt;
  }
  const std::int64_t days = DaysSince1601(t.year, t.month, t.day);
  const std::int64_t ms =
      ((days * 24 + t.hour) * 60 + t.minute) * 60000LL + t.second * 1000LL + t.millisecond;
  return static_cast<FileTimeTicks>(ms) * 10000ULL;
}

std::wstring FormatStateTime(const CivilTime& t) {
  wchar_t buffer[64] = {};
  const int n = std::swprintf(buffer, 64, L"%4d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                              t.hour, t.minute, t.second);
  return n > 0 ? std::wstring(buffer, static_cast<std::size_t>(n)) : std::wstring();
}

std::optional<FileTimeTicks> ParseStateTime(std::wstring_view text) noexcept {
  constexpr wchar_t kSeparators[] = {L'-', L'-', L'T', L':', L':'};
  int fields[6] = {};
  std::size_t start = 0;
  for (int i = 0; i < 5; ++i) {
    const std::size_t end = text.find(kSeparators[i], start);
    if (end == std::wstring_view::npos) return std::nullopt;
    const auto value = LeadingNumber(text.substr(start, end - start));
    if (!value) return std::nullopt;
    fields[i] = *value;
    start = end + 1;
  }
  const auto seconds = LeadingNumber(text.substr(start));
  if (!seconds) return std::nullopt;
  fields[5] = *seconds;
  return ToFileTime(CivilTime{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], 0});
}

std::uint64_t WholeDaysBetween(FileTimeTicks a, FileTimeTicks b) noexcept {
  return (a > b ? a - b : b - a) / kTicksPerDay;
}

}  // namespace zentrak::run
