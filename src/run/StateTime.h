// The run-state file's time texts and the day arithmetic on them. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/CivilTime.h"

namespace zentrak::run {

using zentrak::CivilTime;

// 100-ns ticks since 1 January 1601, as a Windows FILETIME counts them.
using FileTimeTicks = std::uint64_t;
inline constexpr FileTimeTicks kTicksPerDay = 864000000000ULL;

// The SYSTEMTIME-to-FILETIME conversion: none for a time that is not a valid calendar
// time between the years 1601 and 30827.
[[nodiscard]] std::optional<FileTimeTicks> ToFileTime(const CivilTime& time) noexcept;

// "%4d-%02d-%02dT%02d:%02d:%02d".
[[nodiscard]] std::wstring FormatStateTime(const CivilTime& time);

// A plain field split of a state time text: year before the first "-", month before the
// next "-", day before "T", hour and minute before the next two ":", seconds the rest;
// each field is its leading decimal digits. A missing separator or a combination that
// is not a valid calendar time fails.
[[nodiscard]] std::optional<FileTimeTicks> ParseStateTime(std::wstring_view text) noexcept;

// The absolute difference in whole days, rounded down.
[[nodiscard]] std::uint64_t WholeDaysBetween(FileTimeTicks a, FileTimeTicks b) noexcept;

}  // namespace zentrak::run
