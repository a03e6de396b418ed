#include "tracking/TestLog.h"

#include <fstream>
#include <string>
#include <system_error>

#include "support/Text.h"

namespace zentrak::tracking {

void TestLog::DeleteLogs() const noexcept {
  std::error_code ignored;
  std::filesystem::remove(folder_ / kOkLogName, ignored);
  std::filesystem::remove(folder_ / kErrorLogName, ignored);
}

void TestLog::Write(std::wstring_view message) const noexcept {
  try {
    if (!ok_) DeleteLogs();
    const std::filesystem::path path = folder_ / (ok_ ? kOkLogName : kErrorLogName);
    std::wstring line = L"\n";
    line += message;
    const std::string bytes = text::ToTextModeLineEnds(text::ToSingleByte(line));
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  } catch (...) {
    // A log that cannot be written is ignored: it never affects the run.
  }
}

void LogMessage(const TestLog& log, std::wstring_view message) noexcept {
  if (log.Enabled()) log.Write(message);
}

void LogError(TestLog& log, std::wstring_view message) noexcept {
  if (!log.Enabled()) return;
  log.SetOk(false);
  log.Write(message);
}

}  // namespace zentrak::tracking
