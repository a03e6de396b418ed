// Benchmark of the detection report query against the stand-in SDK (not a test): the
// given number of report entries over 1,000 distinct detections, each report later than
// the last, and a selection list of 1,000 exact patterns. Prints entries per second and
// the process's peak memory. Usage: hostsdk_bench <entries>; the stand-in reads its
// fixture once per process, so each size runs in its own process.
#include <windows.h>
// The headers below need the types of <windows.h>.
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TestRegistry.h"
#include "hostsdk/HostSdk.h"
#include "support/SetupRegistry.h"

namespace {

using namespace zentrak;

constexpr int kDetections = 1000;

std::wstring ProgramFolder() {
  wchar_t name[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::wstring path(name);
  return path.substr(0, path.find_last_of(L'\\'));
}

bool WriteFixture(const std::wstring& path, int entries, double now) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << "{\"reports\":[";
  for (int i = 0; i < entries; ++i) {
    // Spread over the last day, one second apart at most, oldest first.
    const double time = now - 0.9 + 0.8 * i / entries;
    const std::wstring text =
        hostsdk::FormatDate(hostsdk::OleDate::FromDouble(time), hostsdk::kDateFormat);
    const int detection = i % kDetections;
    out << (i == 0 ? "" : ",") << "{\"EventId\":1048579,\"ReportDateTime\":\""
        << std::string(text.begin(), text.end()) << "\",\"DetectionID\":" << detection
        << ",\"MalwareID\":" << 100000 + detection << "}";
  }
  out << "]}";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (entries <= 0) {
    std::fprintf(stderr, "usage: hostsdk_bench <entries>\n");
    return 2;
  }
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring fixture = std::wstring(temp) + L"zentrak-hostsdk-bench.json";
  const double now = hostsdk::LocalNow().value;
  if (!WriteFixture(fixture, entries, now)) return 1;
  ::SetEnvironmentVariableW(L"TESSEL_STANDIN_FIXTURE", fixture.c_str());
  ::_wputenv_s(L"TESSEL_STANDIN_FIXTURE", fixture.c_str());
  ::SetEnvironmentVariableW(L"TESSEL_STANDIN_JOURNAL", nullptr);

  const std::wstring folder = ProgramFolder();
  {
    const ScopedRegKey key = zentrak::testing::CreateSuiteKey(setup::kSetupKey);
    ::RegSetValueExW(key.get(), setup::kPathValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(folder.c_str()),
                     static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  }

  const hostsdk::SdkActivationContext* context = hostsdk::GetActivationContext();
  if (context == nullptr) return 1;
  const hostsdk::ActivationScope activation(*context);
  const hostsdk::ComScope com;
  try {
    const hostsdk::HostSdkSession session(hostsdk::CreateHostEntry());
    std::vector<hostsdk::DetectionRecord> selection;
    for (int d = kDetections - 1; d >= 0; --d) selection.push_back({100000 + d, d, {}});
    std::vector<hostsdk::DetectionRecord> result;

    const auto start = std::chrono::steady_clock::now();
    const bool found =
        session.DetectionQuery(hostsdk::OleDate::FromDouble(now - 1.0), 7, selection, result);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    std::printf(
        "entries=%d found=%d records=%u seconds=%.3f entries_per_second=%.0f "
        "microseconds_per_entry=%.2f peak_working_set_mb=%.1f peak_pagefile_mb=%.1f\n",
        entries, found ? 1 : 0, static_cast<unsigned>(result.size()), seconds, entries / seconds,
        seconds * 1e6 / entries, memory.PeakWorkingSetSize / 1048576.0,
        memory.PeakPagefileUsage / 1048576.0);
    return found && result.size() == static_cast<std::size_t>(kDetections) ? 0 : 1;
  } catch (const ComError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
