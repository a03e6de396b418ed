// The ETW trace provider: registration, the control callback and the emission of trace
// messages. Its platform calls go through one table so tests can stand in for ETW,
// which never enables a provider under Wine.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <evntrace.h>

#include "support/Trace.h"

namespace zentrak::trace {

struct Platform {
  decltype(&::RegisterTraceGuidsW) register_trace_guids;
  decltype(&::UnregisterTraceGuids) unregister_trace_guids;
  decltype(&::GetTraceLoggerHandle) get_trace_logger_handle;
  decltype(&::GetTraceEnableLevel) get_trace_enable_level;
  decltype(&::GetTraceEnableFlags) get_trace_enable_flags;
  decltype(&::TraceMessage) trace_message;  // null: TraceEvent carries the messages
  decltype(&::TraceEvent) trace_event;
};

// Provider identity.
inline constexpr GUID kControlGuid = {
    0xc40c265c, 0x4082, 0x49a2, {0x9d, 0x33, 0x4a, 0xed, 0x27, 0x85, 0x3d, 0xba}};

// Message flags of every message: sequence number, message GUID, system information
// and time stamp.
inline constexpr ULONG kMessageFlags = TRACE_MESSAGE_SEQUENCE | TRACE_MESSAGE_GUID |
                                       TRACE_MESSAGE_SYSTEMINFO | TRACE_MESSAGE_TIMESTAMP;

// Event type of the TraceEvent fallback and its limit on argument bytes.
inline constexpr UCHAR kFallbackEventType = 255;
inline constexpr std::size_t kFallbackMaxArgBytes = 8192;

// The environment of the trace-file transport (for platforms where no ETW session can
// enable the provider).
inline constexpr wchar_t kTraceFileVariable[] = L"ZENTRAK_TRACE_FILE";
inline constexpr wchar_t kTraceLevelVariable[] = L"ZENTRAK_TRACE_LEVEL";
inline constexpr wchar_t kTraceFlagsVariable[] = L"ZENTRAK_TRACE_FLAGS";
inline constexpr std::uint8_t kTraceFileDefaultLevel = 5;
inline constexpr std::uint32_t kTraceFileDefaultFlags = 7;

[[nodiscard]] const GUID& UnitGuid(Unit unit) noexcept;

// Loads advapi32 and looks up TraceMessage; without it the TraceEvent fallback is used.
void LoadEntryPoints() noexcept;
// Registers the provider (the application name plays no part) and opens the trace file
// when the environment names one.
void Register(const wchar_t* application_name) noexcept;
void Unregister() noexcept;

// The control callback the platform calls on its own thread.
ULONG WINAPI ControlCallback(WMIDPREQUESTCODE request, PVOID context, ULONG* buffer_size,
                             PVOID buffer);

Control& ProcessControl() noexcept;

// Replaces the platform table; returns the previous one. For tests.
Platform SetPlatform(const Platform& platform) noexcept;

}  // namespace zentrak::trace
