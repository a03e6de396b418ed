// The single-instance lock. The named mutex "Kelvo Security Events" is the lock the suite
// knows; but any user can create a mutex of that name first, and every run would then
// stop. A mutex that an ordinary user owns is therefore not taken for another copy: the
// run takes a lock file in the protected repository folder instead, which no ordinary user
// can create or open. Every copy makes the same choice, so copies still keep out each
// other.
#pragma once

#include "support/Scoped.h"

namespace zentrak::run {

// How long a start that waits (an uninstallation) waits for another copy: the longest
// run, that is the host service wait (300 s) and as long again for the run's own work.
inline constexpr unsigned kLockWaitSeconds = 600;

struct RunLock {
  bool held = false;  // false: another copy holds it (after the wait, when waiting)
  ScopedHandle mutex;
  ScopedHandle file;

  // Frees the lock before the run ends (the run releases what it holds in order).
  void Release() noexcept {
    mutex.reset();
    file.reset();
  }
};

// Takes the lock; `wait` waits for another copy to end, up to kLockWaitSeconds. Without
// any handle at all (the mutex cannot be created) the run goes on without a lock.
[[nodiscard]] RunLock TakeRunLock(bool wait);

}  // namespace zentrak::run
