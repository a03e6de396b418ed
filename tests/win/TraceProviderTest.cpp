// The trace provider against a stand-in for ETW: under Wine no trace session ever
// enables a provider, so the platform table is replaced to drive the control callback.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/TraceProvider.h"

namespace zentrak::trace {
namespace {

constexpr Point kTransferInfo{Unit::kTransport, 19, 4, kLevelInfo};
constexpr Point kTransferError{Unit::kTransport, 21, 4, kLevelError};
constexpr Point kRunInfo{Unit::kRun, 14, 1, kLevelInfo, "folder %1", 1, {ArgType::kWide}};

constexpr TRACEHANDLE kRegistration = 42;
constexpr TRACEHANDLE kLogger = 0x1234;

struct Message {
  TRACEHANDLE logger;
  ULONG flags;
  GUID guid;
  USHORT number;
  std::vector<std::string> args;  // raw bytes of each argument
};

struct Fake {
  WMIDPREQUEST callback = nullptr;
  PVOID context = nullptr;
  GUID control{};
  ULONG guid_count = 0;
  std::vector<TRACEHANDLE> unregistered;
  UCHAR level = 0;
  ULONG flags = 0;
  std::vector<Message> messages;
  std::vector<std::vector<std::string>> events;  // MOF fields of TraceEvent calls
  std::vector<UCHAR> event_types;
};

Fake* g_fake = nullptr;

ULONG WINAPI FakeRegister(WMIDPREQUEST callback, PVOID context, LPCGUID control, ULONG count,
                          PTRACE_GUID_REGISTRATION, LPCWSTR, LPCWSTR, PTRACEHANDLE handle) {
  g_fake->callback = callback;
  g_fake->context = context;
  g_fake->control = *control;
  g_fake->guid_count = count;
  *handle = kRegistration;
  return ERROR_SUCCESS;
}
ULONG WINAPI FakeUnregister(TRACEHANDLE handle) {
  g_fake->unregistered.push_back(handle);
  return ERROR_SUCCESS;
}
TRACEHANDLE WINAPI FakeLoggerHandle(PVOID buffer) { return buffer == nullptr ? 0 : kLogger; }
UCHAR WINAPI FakeLevel(TRACEHANDLE) { return g_fake->level; }
ULONG WINAPI FakeFlags(TRACEHANDLE) { return g_fake->flags; }

ULONG __cdecl FakeTraceMessage(TRACEHANDLE logger, ULONG flags, LPCGUID guid, USHORT number, ...) {
  Message m{logger, flags, *guid, number, {}};
  va_list ap;
  va_start(ap, number);
  for (;;) {
    const void* data = va_arg(ap, const void*);
    const std::size_t size = va_arg(ap, std::size_t);
    if (data == nullptr) break;
    m.args.emplace_back(static_cast<const char*>(data), size);
  }
  va_end(ap);
  g_fake->messages.push_back(m);
  return ERROR_SUCCESS;
}

ULONG WINAPI FakeTraceEvent(TRACEHANDLE, PEVENT_TRACE_HEADER header) {
  const auto* fields = reinterpret_cast<const MOF_FIELD*>(header + 1);
  const std::size_t count = (header->Size - sizeof(EVENT_TRACE_HEADER)) / sizeof(MOF_FIELD);
  std::vector<std::string> data;
  for (std::size_t i = 0; i < count; ++i) {
    data.emplace_back(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(fields[i].DataPtr)),
                      fields[i].Length);
  }
  g_fake->events.push_back(data);
  g_fake->event_types.push_back(header->Class.Type);
  return ERROR_SUCCESS;
}

std::string WideBytes(const wchar_t* text) {
  return std::string(reinterpret_cast<const char*>(text), (std::wcslen(text) + 1) * 2);
}

class TraceProvider : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake_;
    // The control record is process-wide: start each test as a fresh process would.
    ProcessControl().logger = 0;
    ProcessControl().level = 1;
    ProcessControl().flags = 0;
    ::SetEnvironmentVariableW(kTraceFileVariable, nullptr);
    saved_ = SetPlatform(Platform{&FakeRegister, &FakeUnregister, &FakeLoggerHandle, &FakeLevel,
                                  &FakeFlags, &FakeTraceMessage, &FakeTraceEvent});
  }
  void TearDown() override {
    Unregister();
    SetPlatform(saved_);
    ::SetEnvironmentVariableW(kTraceFileVariable, nullptr);
    g_fake = nullptr;
  }
  // What an enabling session does: the platform calls the callback with code 4.
  ULONG Enable(ULONG flags, UCHAR level) {
    fake_.flags = flags;
    fake_.level = level;
    WNODE_HEADER buffer{};
    return fake_.callback(WMI_ENABLE_EVENTS, fake_.context, nullptr, &buffer);
  }

  Fake fake_;
  Platform saved_{};
};

TEST_F(TraceProvider, RegistersWithTheControlGuidAndOneRegistrationRecord) {
  Register(L"KelvoSecurity\\Integration\\Zentrak");
  EXPECT_TRUE(IsEqualGUID(fake_.control, kControlGuid));
  EXPECT_EQ(fake_.guid_count, 1U);
  EXPECT_EQ(fake_.context, &ProcessControl());
  EXPECT_EQ(ProcessControl().registration.load(), kRegistration);
  Unregister();
  EXPECT_EQ(fake_.unregistered, std::vector<TRACEHANDLE>{kRegistration});
  EXPECT_EQ(ProcessControl().registration.load(), 0U);
}

TEST_F(TraceProvider, NothingFiresBeforeRegistrationOrAfterUnregistration) {
  ZTRACE(kTransferError);
  Register(L"x");
  ASSERT_EQ(Enable(7, 5), static_cast<ULONG>(ERROR_SUCCESS));
  ZTRACE(kTransferError);
  Unregister();
  ZTRACE(kTransferError);
  EXPECT_EQ(fake_.messages.size(), 1U);
}

TEST_F(TraceProvider, SessionEnablingFlagFourAtLevelFourGetsOnlyTheTransferPoints) {
  Register(L"x");
  ASSERT_EQ(Enable(4, 4), static_cast<ULONG>(ERROR_SUCCESS));
  EXPECT_EQ(ProcessControl().logger.load(), kLogger);
  const std::wstring path = L"C:\\doc.json";
  ZTRACE(kTransferInfo, path);
  ZTRACE(kTransferError);
  ZTRACE(kRunInfo);
  ASSERT_EQ(fake_.messages.size(), 2U);
  const Message& m = fake_.messages[0];
  EXPECT_EQ(m.logger, kLogger);
  EXPECT_EQ(m.flags, 0x2BU);
  EXPECT_TRUE(IsEqualGUID(m.guid, UnitGuid(Unit::kTransport)));
  EXPECT_EQ(m.number, 19);
  EXPECT_EQ(m.args, std::vector<std::string>{WideBytes(L"C:\\doc.json")});
  EXPECT_EQ(fake_.messages[1].number, 21);
  EXPECT_TRUE(fake_.messages[1].args.empty());
}

TEST_F(TraceProvider, DisableAndUnknownRequestsOfTheControlCallback) {
  Register(L"x");
  Enable(7, 5);
  WNODE_HEADER buffer{};
  EXPECT_EQ(fake_.callback(static_cast<WMIDPREQUESTCODE>(9), fake_.context, nullptr, &buffer),
            static_cast<ULONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ProcessControl().flags.load(), 7U);  // unchanged
  EXPECT_EQ(fake_.callback(WMI_DISABLE_EVENTS, fake_.context, nullptr, &buffer),
            static_cast<ULONG>(ERROR_SUCCESS));
  EXPECT_EQ(ProcessControl().logger.load(), 0U);
  EXPECT_EQ(ProcessControl().level.load(), 0);
  EXPECT_EQ(ProcessControl().flags.load(), 0U);
  ZTRACE(kTransferError);
  EXPECT_TRUE(fake_.messages.empty());
}

TEST_F(TraceProvider, EmptyAndAbsentTextsArriveAsTheirSubstitutes) {
  Register(L"x");
  Enable(4, 5);
  const std::wstring empty;
  ZTRACE(kTransferInfo, empty, static_cast<const wchar_t*>(nullptr), "Hostname", 7);
  ASSERT_EQ(fake_.messages.size(), 1U);
  const auto& args = fake_.messages[0].args;
  ASSERT_EQ(args.size(), 4U);
  EXPECT_EQ(args[0], WideBytes(L"<NULL>"));
  EXPECT_EQ(args[0].size(), 14U);
  EXPECT_EQ(args[1], WideBytes(L"NULL"));
  EXPECT_EQ(args[1].size(), 10U);
  EXPECT_EQ(args[2], std::string("Hostname", 9));
  EXPECT_EQ(args[3], std::string("\x07\0\0\0", 4));
}

TEST_F(TraceProvider, WithoutTraceMessageTheFallbackSendsOneEventOfType255) {
  Platform without = {&FakeRegister, &FakeUnregister, &FakeLoggerHandle, &FakeLevel,
                      &FakeFlags,    nullptr,         &FakeTraceEvent};
  SetPlatform(without);
  Register(L"x");
  Enable(4, 5);
  ZTRACE(kTransferInfo, 5);
  const std::string big(kFallbackMaxArgBytes, 'a');  // with its terminator one byte too many
  ZTRACE(kTransferInfo, big);
  ASSERT_EQ(fake_.events.size(), 1U);
  EXPECT_EQ(fake_.event_types[0], 255);
  ASSERT_EQ(fake_.events[0].size(), 2U);
  EXPECT_EQ(fake_.events[0][0], std::string("\x13\0", 2));  // message number 19
  EXPECT_EQ(fake_.events[0][1], std::string("\x05\0\0\0", 4));
}

TEST_F(TraceProvider, TraceFileGetsOneLinePerPointThatPassesItsGate) {
  wchar_t dir[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, dir);
  const std::wstring path = std::wstring(dir) + L"zentrak-trace-test.jsonl";
  ::DeleteFileW(path.c_str());
  ::SetEnvironmentVariableW(kTraceFileVariable, path.c_str());
  ::SetEnvironmentVariableW(kTraceLevelVariable, L"4");
  ::SetEnvironmentVariableW(kTraceFlagsVariable, L"1");
  Register(L"x");  // no ETW session enables the provider
  ZTRACE(kRunInfo, std::wstring(L"C:\\ProgramData"));
  ZTRACE(kTransferError);
  Unregister();
  ::SetEnvironmentVariableW(kTraceLevelVariable, nullptr);
  ::SetEnvironmentVariableW(kTraceFlagsVariable, nullptr);

  std::ifstream in(path.c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  in.close();
  ::DeleteFileW(path.c_str());
  // The time stamp is the system's UTC time when the line was written.
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(\{"time_utc":"20\d\d-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z",)"
                           R"("unit":"run","n":14,"level":4,"flag":1,)"
                           R"("text":"folder C:\\\\ProgramData",)"
                           R"("args":\["C:\\\\ProgramData"\]\})")))
      << lines[0];
  EXPECT_TRUE(fake_.messages.empty());
}

}  // namespace
}  // namespace zentrak::trace
