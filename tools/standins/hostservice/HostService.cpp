// Stand-in for the suite's host service: a real Windows service that does nothing but
// report its state, so the program's wait for it can be driven by the test bed
// (installed, started, paused, stopped or removed through the service manager).
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kServiceName[] = L"VelkorServiceMain";

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop_event = nullptr;
SERVICE_STATUS g_status{};

void Report(DWORD state) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted =
      state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  g_status.dwWin32ExitCode = NO_ERROR;
  ::SetServiceStatus(g_status_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      Report(SERVICE_STOP_PENDING);
      ::SetEvent(g_stop_event);
      return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
      Report(SERVICE_PAUSED);
      return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
      Report(SERVICE_RUNNING);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      Report(g_status.dwCurrentState);
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_status_handle = ::RegisterServiceCtrlHandlerExW(kServiceName, &Handler, nullptr);
  if (g_status_handle == nullptr) return;
  g_stop_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_START_PENDING);
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(g_stop_event, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain() {
  std::wstring name = kServiceName;  // the table takes a writable text
  const SERVICE_TABLE_ENTRYW table[] = {{name.data(), &ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
