// The test-mode progress log: messages go to "TestZentrak_OK.log" while all goes well,
// and to "TestZentrak_ERROR.log" once a caller has marked the run failed. Portable.
#pragma once

#include <filesystem>
#include <string_view>

namespace zentrak::tracking {

inline constexpr char kOkLogName[] = "TestZentrak_OK.log";
inline constexpr char kErrorLogName[] = "TestZentrak_ERROR.log";

class TestLog {
 public:
  TestLog() = default;

  void SetEnabled(bool enabled) noexcept { enabled_ = enabled; }
  [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
  // Only ever cleared: once an error was written the run stays failed.
  void SetOk(bool ok) noexcept { ok_ = ok; }
  [[nodiscard]] bool Ok() const noexcept { return ok_; }

  // Deletes both logs; missing files are not an error.
  void DeleteLogs() const noexcept;
  // Appends a line feed and the message to the current log, stored in text mode one
  // byte per character. After the first error every write deletes both logs first.
  // Does not look at Enabled(): callers ask first.
  void Write(std::wstring_view message) const noexcept;

 private:
  bool enabled_ = false;
  bool ok_ = true;
  std::filesystem::path folder_;  // never set: the logs live in the current directory
};

// The callers' side of the log: write only in test mode; an error marks the run failed
// first, so it and every later message go to the error log.
void LogMessage(const TestLog& log, std::wstring_view message) noexcept;
void LogError(TestLog& log, std::wstring_view message) noexcept;

}  // namespace zentrak::tracking
