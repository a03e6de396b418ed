#include "support/Trace.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "support/Text.h"

namespace zentrak::trace {
namespace {

constexpr wchar_t kAbsentWide[] = L"NULL";
constexpr wchar_t kEmptyWide[] = L"<NULL>";
constexpr char kAbsentNarrow[] = "NULL";

}  // namespace

Arg::Arg(const wchar_t* text) noexcept : kind_(Kind::kWide) {
  if (text == nullptr) {
    wide_ = kAbsentWide;
  } else if (*text == L'\0') {
    wide_ = kEmptyWide;
  } else {
    wide_ = text;
  }
  length_ = std::wcslen(wide_);
}

Arg::Arg(const std::wstring& text) noexcept : Arg(text.c_str()) {}

Arg::Arg(const char* text) noexcept : kind_(Kind::kNarrow) {
  narrow_ = text == nullptr ? kAbsentNarrow : text;
  length_ = std::strlen(narrow_);
}

Arg::Arg(const std::string& text) noexcept : Arg(text.c_str()) {}

const void* Arg::data() const noexcept {
  switch (kind_) {
    case Kind::kInt32:
      return &int_;
    case Kind::kWide:
      return wide_;
    case Kind::kNarrow:
      return narrow_;
  }
  return nullptr;
}

std::uint32_t Arg::size() const noexcept {
  switch (kind_) {
    case Kind::kInt32:
      return sizeof(std::int32_t);
    case Kind::kWide:
      return static_cast<std::uint32_t>((length_ + 1) * sizeof(wchar_t));
    case Kind::kNarrow:
      return static_cast<std::uint32_t>(length_ + 1);
  }
  return 0;
}

std::wstring_view Arg::wide() const noexcept {
  return kind_ == Kind::kWide ? std::wstring_view(wide_, length_) : std::wstring_view();
}

std::string_view Arg::narrow() const noexcept {
  return kind_ == Kind::kNarrow ? std::string_view(narrow_, length_) : std::string_view();
}

State& GlobalState() noexcept {
  static State state;
  return state;
}

void Emit(const Point& p, std::initializer_list<Arg> args) noexcept {
  State& s = GlobalState();
  const Control* c = s.active.load(std::memory_order_acquire);
  if (c == nullptr) return;
  if (s.etw_sink != nullptr && EtwGateOpen(*c, p)) s.etw_sink(*c, p, args.begin(), args.size());
  if (FileGateOpen(s, p)) s.file_sink(*c, p, args.begin(), args.size());
}

namespace {

void AppendJsonString(std::string& line, const Arg& a) {
  line += '"';
  if (a.kind() == Arg::Kind::kWide) {
    line += text::ToUtf8(text::JsonEscape(a.wide(), text::JsonEscapeNonLatin1::kNo));
  } else {
    line += text::ToUtf8(
        text::JsonEscape(text::FromSingleByte(a.narrow()), text::JsonEscapeNonLatin1::kNo));
  }
  line += '"';
}

void AppendValue(std::wstring& out, ArgType type, const Arg& a) {
  switch (a.kind()) {
    case Arg::Kind::kInt32:
      if (type == ArgType::kHex32) {
        wchar_t hex[16] = {};
        std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(a.int_value()));
        out += hex;
      } else {
        out += std::to_wstring(a.int_value());
      }
      break;
    case Arg::Kind::kWide:
      out += a.wide();
      break;
    case Arg::Kind::kNarrow:
      out += text::FromSingleByte(a.narrow());
      break;
  }
}

// The wording with the arguments put in; the wording itself is ASCII.
std::wstring WideText(const Point& p, const Arg* args, std::size_t count) {
  std::wstring out;
  for (const char* c = p.text; *c != '\0'; ++c) {
    const bool placeholder = *c == '%' && c[1] >= '1' && c[1] <= '9';
    const auto index = placeholder ? static_cast<std::size_t>(c[1] - '1') : 0;
    if (!placeholder || index >= count) {
      out += static_cast<wchar_t>(static_cast<unsigned char>(*c));
      continue;
    }
    AppendValue(out, index < p.arg_count ? p.args[index] : ArgType::kInt32, args[index]);
    ++c;
  }
  return out;
}

}  // namespace

std::string FormatUtcTime(const UtcTime& t) {
  char buffer[40] = {};
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month,
                t.day, t.hour, t.minute, t.second, t.millisecond);
  return buffer;
}

std::string FormatText(const Point& p, const Arg* args, std::size_t count) {
  return text::ToUtf8(WideText(p, args, count));
}

std::string FormatLine(const Point& p, const Arg* args, std::size_t count, const UtcTime& utc) {
  std::string line = "{\"time_utc\":\"" + FormatUtcTime(utc);
  line += "\",\"unit\":\"";
  line += UnitName(p.unit);
  line += "\",\"n\":" + std::to_string(p.number);
  line += ",\"level\":" + std::to_string(p.level);
  line += ",\"flag\":" + std::to_string(p.flag);
  line += ",\"text\":\"";
  line += text::ToUtf8(text::JsonEscape(WideText(p, args, count), text::JsonEscapeNonLatin1::kNo));
  line += "\",\"args\":[";
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) line += ',';
    const Arg& a = args[i];
    if (a.kind() == Arg::Kind::kInt32) {
      line += std::to_string(a.int_value());
    } else {
      AppendJsonString(line, a);
    }
  }
  line += "]}";
  return line;
}

}  // namespace zentrak::trace
