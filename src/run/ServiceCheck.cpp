#include "run/ServiceCheck.h"

#include <windows.h>

#include <optional>

#include "run/RunTracePoints.h"
#include "support/Scoped.h"

namespace zentrak::run {
namespace {

// The current state, or none when the status cannot be read.
std::optional<DWORD> QueryState(SC_HANDLE service, DWORD& error) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof(status), &needed)) {
    error = ::GetLastError();
    return std::nullopt;
  }
  return status.dwCurrentState;
}

}  // namespace

ServiceCheck CheckHostService() {
  ZTRACE(tp::kServiceCheckBegins);
  ServiceCheck result;
  DWORD error = 0;
  ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ScopedServiceHandle service;
  if (!manager) {
    error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED) ZTRACE(tp::kScmAccessDenied);
  } else {
    service.reset(::OpenServiceW(manager.get(), kHostServiceName, SERVICE_QUERY_STATUS));
    if (!service) {
      error = ::GetLastError();
      ZTRACE(tp::kServiceOpenFailed, error);
    } else if (const auto state = QueryState(service.get(), error)) {
      ZTRACE(tp::kServiceStatusRead, *state);
      result.running = *state == SERVICE_RUNNING;
    } else {
      ZTRACE(tp::kServiceQueryFailed, error);
    }
  }
  result.error = error;

  if (result.running) {
    ZTRACE(tp::kServiceRunning);
  } else {
    DWORD ignored = 0;
    const auto state = service ? QueryState(service.get(), ignored) : std::nullopt;
    ZTRACE(NotRunningTracePoint(state.value_or(0)));
  }
  return result;
}

void SleepMilliseconds(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace zentrak::run
