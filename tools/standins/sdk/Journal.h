// The journal: one JSON object per line (UTF-8) for each call the program made, so that
// a scenario can check what was asked. A line is in the file when its call returns, but
// the reads of single report entries (hundreds of thousands in a benchmark): those wait in
// a buffer for the next other line, a full buffer, the release of their page, the release
// of the last stand-in object, the unloading of the DLL or the end of the process.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "support/Scoped.h"

namespace standin {

// One journal line under construction: {"call":"Reports.4", ...}.
class JournalLine {
 public:
  JournalLine(std::string_view kind, std::string_view name);

  JournalLine& Text(std::string_view member, std::wstring_view value);
  JournalLine& Ascii(std::string_view member, std::string_view value);  // needs no escaping
  JournalLine& Integer(std::string_view member, std::int64_t value);
  JournalLine& Unsigned(std::string_view member, std::uint64_t value);
  JournalLine& Real(std::string_view member, double value);
  JournalLine& Null(std::string_view member);
  JournalLine& Raw(std::string_view member, std::string_view json);  // a JSON value
  JournalLine& Hresult(HRESULT hr);                                  // "hresult":"0x00000000"
  // A VARIANT as two members: "<member>" (its value) and "<member>_vt" (its VARTYPE, a
  // number; "vt" for the member "value").
  JournalLine& Variant(std::string_view member, const VARIANT& value);
  // The bytes of a one-dimensional array: "size" and "bytes_hex".
  JournalLine& Bytes(SAFEARRAY* array);

  // The finished line, without its line end.
  [[nodiscard]] std::string Finish() &&;

  // The two members of Variant, to build a nested object.
  [[nodiscard]] static std::string VariantMembers(std::string_view member, const VARIANT& value);

 private:
  void Member(std::string_view member);
  std::string text_;
};

class Journal {
 public:
  Journal() = default;
  ~Journal() { Flush(); }
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Where the next lines go (none: nowhere); the lines so far go to the earlier file.
  void SetPath(const std::wstring& path);
  [[nodiscard]] bool enabled() const noexcept { return enabled_; }
  // Appends a line and writes it with what is buffered, unless buffered is true.
  void Write(std::string line, bool buffered = false);
  void Flush();

 private:
  void FlushLocked();

  std::mutex mutex_;
  std::wstring path_;
  zentrak::ScopedHandle file_;
  std::string buffer_;
  std::atomic<bool> enabled_{false};
};

}  // namespace standin
