// The zone a Windows-side test program runs in: Wine takes it from the TZ variable, which
// CTest sets for each entry. Tests of local time keep one row of literal expected values
// per zone and fail in a zone they have no row for.
#pragma once

#include <windows.h>

#include <string>

namespace zentrak::testing {

inline std::string TestZone() {
  char zone[128] = {};
  const DWORD n = ::GetEnvironmentVariableA("TZ", zone, sizeof(zone));
  return n > 0 && n < sizeof(zone) ? std::string(zone, n) : std::string();
}

// The row of the table whose zone member is the test's zone, or none.
template <typename Row, std::size_t N>
const Row* RowForZone(const Row (&rows)[N]) {
  const std::string zone = TestZone();
  for (const Row& row : rows) {
    if (zone == row.zone) return &row;
  }
  return nullptr;
}

}  // namespace zentrak::testing
