// A calendar time with the fields of a Windows SYSTEMTIME (day of week left out). It
// carries no zone: the variable or alias holding one says whether it is UTC or local
// time. Portable.
#pragma once

namespace zentrak {

struct CivilTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const CivilTime& a, const CivilTime& b) noexcept {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.millisecond == b.millisecond;
  }
};

}  // namespace zentrak
