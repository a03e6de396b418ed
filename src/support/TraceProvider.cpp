#include "support/TraceProvider.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include "support/Clock.h"
#include "support/Module.h"
#include "support/Scoped.h"

namespace zentrak::trace {
namespace {

Platform DefaultPlatform() noexcept {
  // The addresses are those of system functions: they live as long as the process.
  // cppcheck-suppress returnDanglingLifetime
  return Platform{&::RegisterTraceGuidsW, &::UnregisterTraceGuids, &::GetTraceLoggerHandle,
                  &::GetTraceEnableLevel, &::GetTraceEnableFlags,  nullptr,
                  &::TraceEvent};
}

Platform& CurrentPlatform() noexcept {
  static Platform platform = DefaultPlatform();
  return platform;
}

bool& EntryPointsLoaded() noexcept {
  static bool loaded = false;
  return loaded;
}

GUID ToGuid(const MessageGuid& m) noexcept {
  GUID guid{m.data1, m.data2, m.data3, {}};
  for (std::size_t i = 0; i < sizeof guid.Data4; ++i) guid.Data4[i] = m.data4[i];
  return guid;
}

ScopedFile& TraceFile() noexcept {
  static ScopedFile file;
  return file;
}

void EmitToEtw(const Control& control, const Point& point, const Arg* args, std::size_t count) {
  const Platform& platform = CurrentPlatform();
  const TRACEHANDLE logger = control.logger.load(std::memory_order_relaxed);
  const GUID& guid = UnitGuid(point.unit);
  if (count > kMaxArgs) count = kMaxArgs;

  if (platform.trace_message != nullptr) {
    // The argument list ends at the first (null, 0) pair; unused pairs are terminators.
    const void* data[kMaxArgs] = {};
    std::size_t size[kMaxArgs] = {};
    for (std::size_t i = 0; i < count; ++i) {
      data[i] = args[i].data();
      size[i] = args[i].size();
    }
    platform.trace_message(logger, kMessageFlags, &guid, point.number, data[0], size[0], data[1],
                           size[1], data[2], size[2], data[3], size[3], data[4], size[4], data[5],
                           size[5], nullptr, static_cast<std::size_t>(0));
    return;
  }

  if (platform.trace_event == nullptr) return;
  struct {
    EVENT_TRACE_HEADER header;
    MOF_FIELD fields[1 + kMaxArgs];
  } event{};
  USHORT number = point.number;
  std::size_t total = 0;
  event.fields[0].DataPtr = reinterpret_cast<ULONG64>(&number);
  event.fields[0].Length = sizeof(number);
  for (std::size_t i = 0; i < count; ++i) {
    total += args[i].size();
    event.fields[1 + i].DataPtr = reinterpret_cast<ULONG64>(args[i].data());
    event.fields[1 + i].Length = args[i].size();
  }
  if (total > kFallbackMaxArgBytes) return;
  event.header.Size =
      static_cast<USHORT>(sizeof(EVENT_TRACE_HEADER) + (1 + count) * sizeof(MOF_FIELD));
  event.header.Flags = WNODE_FLAG_TRACED_GUID | WNODE_FLAG_USE_GUID_PTR | WNODE_FLAG_USE_MOF_PTR;
  event.header.GuidPtr = reinterpret_cast<ULONGLONG>(&guid);
  event.header.Class.Type = kFallbackEventType;
  platform.trace_event(logger, &event.header);
}

void EmitToFile(const Control&, const Point& point, const Arg* args, std::size_t count) {
  std::FILE* file = TraceFile().get();
  if (file == nullptr) return;
  try {
    const std::string line = FormatLine(point, args, count, UtcNow()) + "\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  } catch (...) {
    // A trace line that cannot be built is dropped; tracing never fails the run.
  }
}

// Reads a decimal environment value; the default when unset or not a number.
std::uint32_t DecimalVariable(const wchar_t* name, std::uint32_t fallback) {
  wchar_t buffer[32] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32);
  if (n == 0 || n >= 32) return fallback;
  wchar_t* end = nullptr;
  const unsigned long value = std::wcstoul(buffer, &end, 10);
  return (end == buffer || *end != L'\0') ? fallback : static_cast<std::uint32_t>(value);
}

void OpenTraceFileFromEnvironment() {
  const DWORD needed = ::GetEnvironmentVariableW(kTraceFileVariable, nullptr, 0);
  if (needed == 0) return;
  std::wstring path(needed, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(kTraceFileVariable, path.data(), needed);
  if (n == 0 || n >= needed) return;
  path.resize(n);
  ScopedFile file(::_wfopen(path.c_str(), L"ab"));
  if (!file) return;
  TraceFile() = std::move(file);
  State& s = GlobalState();
  s.file_level = static_cast<std::uint8_t>(
      DecimalVariable(kTraceLevelVariable, kTraceFileDefaultLevel) & 0xFF);
  s.file_flags = DecimalVariable(kTraceFlagsVariable, kTraceFileDefaultFlags);
  s.file_sink = &EmitToFile;
}

void CloseTraceFile() noexcept {
  State& s = GlobalState();
  s.file_sink = nullptr;
  TraceFile().reset();
}

}  // namespace

const GUID& UnitGuid(Unit unit) noexcept {
  static const GUID guids[] = {
      ToGuid(UnitMessageGuid(Unit::kRun)), ToGuid(UnitMessageGuid(Unit::kService)),
      ToGuid(UnitMessageGuid(Unit::kTracking)), ToGuid(UnitMessageGuid(Unit::kHostSdk)),
      ToGuid(UnitMessageGuid(Unit::kTransport))};
  const auto index = static_cast<std::size_t>(unit);
  return index < sizeof guids / sizeof guids[0] ? guids[index] : guids[0];
}

Control& ProcessControl() noexcept {
  static Control control;
  return control;
}

Platform SetPlatform(const Platform& platform) noexcept {
  Platform old = CurrentPlatform();
  CurrentPlatform() = platform;
  EntryPointsLoaded() = true;
  return old;
}

void LoadEntryPoints() noexcept {
  EntryPointsLoaded() = true;
  // advapi32 stays loaded for the whole process: the program imports it anyway.
  HMODULE advapi = ::LoadLibraryW(L"advapi32");
  if (advapi == nullptr) return;
  CurrentPlatform().trace_message = ProcAddress<decltype(&::TraceMessage)>(advapi, "TraceMessage");
}

void Register(const wchar_t* /*application_name*/) noexcept {
  if (!EntryPointsLoaded()) LoadEntryPoints();
  Control& control = ProcessControl();
  State& state = GlobalState();
  state.etw_sink = &EmitToEtw;

  GUID control_guid = kControlGuid;
  TRACE_GUID_REGISTRATION registration{&kControlGuid, nullptr};
  TRACEHANDLE handle = 0;
  const Platform& platform = CurrentPlatform();
  if (platform.register_trace_guids != nullptr &&
      platform.register_trace_guids(&ControlCallback, &control, &control_guid, 1, &registration,
                                    nullptr, nullptr, &handle) == ERROR_SUCCESS) {
    control.registration.store(handle, std::memory_order_relaxed);
  }
  try {
    OpenTraceFileFromEnvironment();
  } catch (...) {
  }
  state.active.store(&control, std::memory_order_release);
}

void Unregister() noexcept {
  Control& control = ProcessControl();
  State& state = GlobalState();
  const TRACEHANDLE handle = control.registration.load(std::memory_order_relaxed);
  const Platform& platform = CurrentPlatform();
  if (handle != 0 && platform.unregister_trace_guids != nullptr) {
    platform.unregister_trace_guids(handle);
  }
  control.registration.store(0, std::memory_order_relaxed);
  state.active.store(nullptr, std::memory_order_release);
  CloseTraceFile();
}

ULONG WINAPI ControlCallback(WMIDPREQUESTCODE request, PVOID context, ULONG* /*buffer_size*/,
                             PVOID buffer) {
  auto* control = static_cast<Control*>(context);
  if (control == nullptr) return ERROR_INVALID_PARAMETER;
  TRACEHANDLE logger = 0;
  UCHAR level = 0;
  ULONG flags = 0;
  const Platform& platform = CurrentPlatform();
  switch (request) {
    case WMI_ENABLE_EVENTS:
      logger = platform.get_trace_logger_handle(buffer);
      level = platform.get_trace_enable_level(logger);
      flags = platform.get_trace_enable_flags(logger);
      break;
    case WMI_DISABLE_EVENTS:
      break;
    default:
      return ERROR_INVALID_PARAMETER;
  }
  control->logger.store(logger, std::memory_order_relaxed);
  control->level.store(level, std::memory_order_relaxed);
  control->flags.store(flags, std::memory_order_relaxed);
  return ERROR_SUCCESS;
}

}  // namespace zentrak::trace
