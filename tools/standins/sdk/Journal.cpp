#include "Journal.h"

#include <ole2.h>

#include <cmath>
#include <cstdio>

#include "Fixture.h"
#include "Text.h"

namespace standin {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

std::string Escaped(std::wstring_view text) { return JsonEscaped(text); }

std::string RealJson(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

// A VARIANT's value as JSON: numbers, texts, null when empty, "object" for a pointer.
std::string ValueJson(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1:
      return std::to_string(v.cVal);
    case VT_I2:
      return std::to_string(v.iVal);
    case VT_I4:
      return std::to_string(v.lVal);
    case VT_I8:
      return std::to_string(v.llVal);
    case VT_UI1:
      return std::to_string(v.bVal);
    case VT_UI2:
      return std::to_string(v.uiVal);
    case VT_UI4:
      return std::to_string(v.ulVal);
    case VT_UI8:
      return std::to_string(v.ullVal);
    case VT_INT:
      return std::to_string(v.intVal);
    case VT_UINT:
      return std::to_string(v.uintVal);
    case VT_BOOL:
      return std::to_string(v.boolVal);
    case VT_ERROR:
      return "\"" + HresultText(v.scode) + "\"";
    case VT_R4:
      return RealJson(v.fltVal);
    case VT_R8:
      return RealJson(v.dblVal);
    case VT_DATE:
      return RealJson(v.date);
    case VT_BSTR:
      return "\"" + Escaped({v.bstrVal, ::SysStringLen(v.bstrVal)}) + "\"";
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return v.punkVal ? "\"object\"" : "null";
    default:
      return "null";
  }
}

}  // namespace

JournalLine::JournalLine(std::string_view kind, std::string_view name) {
  text_.reserve(160);
  text_ += "{\"";
  text_ += kind;
  text_ += "\":\"";
  text_ += name;
  text_ += '"';
}

void JournalLine::Member(std::string_view member) {
  text_ += ",\"";
  text_ += member;
  text_ += "\":";
}

JournalLine& JournalLine::Text(std::string_view member, std::wstring_view value) {
  Member(member);
  text_ += '"';
  text_ += Escaped(value);
  text_ += '"';
  return *this;
}

JournalLine& JournalLine::Ascii(std::string_view member, std::string_view value) {
  Member(member);
  text_ += '"';
  text_ += value;
  text_ += '"';
  return *this;
}

JournalLine& JournalLine::Integer(std::string_view member, std::int64_t value) {
  Member(member);
  text_ += std::to_string(value);
  return *this;
}

JournalLine& JournalLine::Unsigned(std::string_view member, std::uint64_t value) {
  Member(member);
  text_ += std::to_string(value);
  return *this;
}

JournalLine& JournalLine::Real(std::string_view member, double value) {
  Member(member);
  text_ += RealJson(value);
  return *this;
}

JournalLine& JournalLine::Null(std::string_view member) {
  Member(member);
  text_ += "null";
  return *this;
}

JournalLine& JournalLine::Raw(std::string_view member, std::string_view json) {
  Member(member);
  text_ += json;
  return *this;
}

JournalLine& JournalLine::Hresult(HRESULT hr) { return Ascii("hresult", HresultText(hr)); }

JournalLine& JournalLine::Variant(std::string_view member, const VARIANT& value) {
  text_ += ',';
  text_ += VariantMembers(member, value);
  return *this;
}

JournalLine& JournalLine::Bytes(SAFEARRAY* array) {
  if (array == nullptr || ::SafeArrayGetDim(array) != 1) return Null("size");
  LONG low = 0;
  LONG high = -1;
  ::SafeArrayGetLBound(array, 1, &low);
  ::SafeArrayGetUBound(array, 1, &high);
  const LONG size = high >= low ? high - low + 1 : 0;
  Integer("size", size);
  Member("bytes_hex");
  text_ += '"';
  void* data = nullptr;
  if (size > 0 && SUCCEEDED(::SafeArrayAccessData(array, &data))) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (LONG i = 0; i < size; ++i) {
      text_ += kHex[bytes[i] >> 4];
      text_ += kHex[bytes[i] & 0xF];
    }
    ::SafeArrayUnaccessData(array);
  }
  text_ += '"';
  return *this;
}

std::string JournalLine::Finish() && {
  text_ += '}';
  return std::move(text_);
}

std::string JournalLine::VariantMembers(std::string_view member, const VARIANT& value) {
  std::string out = "\"";
  out += member;
  out += "\":";
  out += ValueJson(value);
  out += ",\"";
  if (member != "value") {
    out += member;
    out += '_';
  }
  out += "vt\":";
  out += std::to_string(value.vt);
  return out;
}

void Journal::SetPath(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path == path_) return;
  FlushLocked();
  file_.reset();
  path_ = path;
  enabled_ = !path_.empty();
}

void Journal::Write(std::string line, bool buffered) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path_.empty()) return;
  buffer_ += line;
  buffer_ += '\n';
  if (!buffered || buffer_.size() >= kFlushSize) FlushLocked();
}

void Journal::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
}

void Journal::FlushLocked() {
  if (buffer_.empty() || path_.empty()) return;
  if (!file_) {
    file_.reset(::CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {  // no place to write: the lines are lost, not hoarded
      buffer_.clear();
      return;
    }
  }
  DWORD written = 0;
  ::WriteFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &written, nullptr);
  buffer_.clear();
}

}  // namespace standin
