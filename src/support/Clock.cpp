#include "support/Clock.h"

#include <windows.h>

namespace zentrak {

CivilTime UtcNow() noexcept {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  return CivilTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace zentrak
