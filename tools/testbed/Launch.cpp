// Starts one program for the test bed and records its full 32-bit exit code, which a
// Wine process cannot hand back to Linux (only its low byte survives).
//
// Usage: Launch.exe SPEC, where SPEC is a UTF-8 file of four lines: the program file,
// its complete command line (the first token included, verbatim), the file that
// receives the exit code, and a time limit in milliseconds. The program inherits the
// launcher's standard handles, environment and current directory. Past the limit it is
// terminated and the exit-code file says "timeout". Two more lines follow the code:
// "elapsed_us=" (from process creation to its end) and "peak_working_set=" (bytes).
#include <windows.h>
// The headers below need the types of <windows.h>.
#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/Scoped.h"

namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

void WriteResult(const std::wstring& path, const std::string& text) {
  std::FILE* file = ::_wfopen(path.c_str(), L"wb");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (lines.size() < 4) return 2;
  const std::wstring program = FromUtf8(lines[0]);
  std::wstring command_line = FromUtf8(lines[1]);
  const std::wstring result_path = FromUtf8(lines[2]);
  const DWORD limit = static_cast<DWORD>(std::stoul(lines[3]));

  LARGE_INTEGER frequency{}, started{}, ended{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&started);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process)) {
    WriteResult(result_path, "notstarted " + std::to_string(::GetLastError()));
    return 3;
  }
  const zentrak::ScopedHandle thread(process.hThread);
  const zentrak::ScopedHandle child(process.hProcess);
  // The peak working set is sampled while the program runs: once it has ended, Wine
  // no longer reports it.
  std::size_t peak = 0;
  const ULONGLONG deadline = ::GetTickCount64() + limit;
  DWORD wait = WAIT_TIMEOUT;
  while (wait == WAIT_TIMEOUT && ::GetTickCount64() < deadline) {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (::GetProcessMemoryInfo(child.get(), &memory, sizeof(memory)) &&
        memory.PeakWorkingSetSize > peak) {
      peak = memory.PeakWorkingSetSize;
    }
    wait = ::WaitForSingleObject(child.get(), 2);
  }
  std::string result;
  if (wait == WAIT_TIMEOUT) {
    ::TerminateProcess(child.get(), 0xDEAD);
    ::WaitForSingleObject(child.get(), INFINITE);
    result = "timeout";
  } else {
    DWORD code = 0;
    ::GetExitCodeProcess(child.get(), &code);
    result = std::to_string(static_cast<long>(static_cast<LONG>(code)));
  }
  ::QueryPerformanceCounter(&ended);
  const long long elapsed_us = (ended.QuadPart - started.QuadPart) * 1000000 / frequency.QuadPart;
  result += "\nelapsed_us=" + std::to_string(elapsed_us) +
            "\npeak_working_set=" + std::to_string(peak) + "\n";
  WriteResult(result_path, result);
  return 0;
}
