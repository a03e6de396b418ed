#include "run/RunLock.h"

#include <windows.h>

#include <string>

#include "run/FileNames.h"
#include "run/Repository.h"
#include "run/RunContext.h"
#include "run/RunTracePoints.h"
#include "support/Files.h"
#include "support/Security.h"
#include "support/TrustedOwners.h"

namespace zentrak::run {
namespace {

constexpr wchar_t kMutexName[] = L"Kelvo Security Events";
// How often a waiting start tries the lock file again.
constexpr DWORD kLockFilePollMs = 1000;

// Waits for the copy that holds the mutex to end; true once this run owns it (also when
// that copy ended without releasing it).
bool WaitForMutex(const ScopedHandle& mutex) {
  const DWORD waited = ::WaitForSingleObject(mutex.get(), kLockWaitSeconds * 1000);
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

// The lock file, opened for this run alone; empty while another copy has it open.
ScopedHandle OpenLockFile(const std::wstring& path) {
  const ScopedLocal descriptor = security::DescriptorFromSddl(trust::kLockFileSddl);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  if (!descriptor || !files::ClearReparsePoint(path)) return ScopedHandle();
  return ScopedHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &attributes,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The lock file in the repository folder, waited for when asked.
bool TakeLockFile(RunLock& lock, bool wait) {
  RunContext where;
  if (!LocateOrCreateRepository(where)) return false;
  const std::wstring path = where.repository_folder + L"\\" + kLockFileName;
  const ULONGLONG deadline = ::GetTickCount64() + kLockWaitSeconds * 1000ULL;
  for (;;) {
    lock.file = OpenLockFile(path);
    if (lock.file) return true;
    if (!wait || ::GetTickCount64() >= deadline) return false;
    ::Sleep(kLockFilePollMs);
  }
}

}  // namespace

RunLock TakeRunLock(bool wait) {
  RunLock lock;
  lock.mutex.reset(::CreateMutexW(nullptr, TRUE, kMutexName));
  const DWORD create_error = ::GetLastError();
  // Owned from creation and never released explicitly: closing the handle frees it.
  // Without a handle the run goes on without the lock.
  if (!lock.mutex || create_error != ERROR_ALREADY_EXISTS) {
    lock.held = true;
    return lock;
  }
  static const std::wstring own_user = security::OwnUserSid();
  const security::Owner owner = security::ObjectOwner(lock.mutex.get());
  const bool trusted =
      owner.read &&
      trust::IsTrustedLockOwner(
          owner.sid ? std::optional<std::wstring_view>(*owner.sid) : std::nullopt, own_user);
  if (trusted) {
    if (wait) {
      ZTRACE(tp::kLockWaitForUninstall, static_cast<std::int32_t>(kLockWaitSeconds));
      const ULONGLONG began = ::GetTickCount64();
      lock.held = WaitForMutex(lock.mutex);
      if (lock.held) {
        ZTRACE(tp::kLockTakenAfterWait, static_cast<std::int32_t>(::GetTickCount64() - began));
      }
    }
    return lock;
  }
  ZTRACE(tp::kLockSquatted, owner.sid.value_or(std::wstring(L"(unreadable)")));
  lock.mutex.reset();
  if (wait) ZTRACE(tp::kLockWaitForUninstall, static_cast<std::int32_t>(kLockWaitSeconds));
  lock.held = TakeLockFile(lock, wait);
  return lock;
}

}  // namespace zentrak::run
