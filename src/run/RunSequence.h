// The program's entry point and the whole of its control flow.
#pragma once

namespace zentrak::run {

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitStopped = -1;

// One run: 0 for a completed run (also when nothing was sent or an error ended it),
// -1 for the early stops.
[[nodiscard]] int Run(int argc, wchar_t** argv) noexcept;

}  // namespace zentrak::run
