#include "support/Trace.h"

#include <cstring>
#include <cwchar>

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
    case Kind::kInt32: return &int_;
    case Kind::kWide: return wide_;
    case Kind::kNarrow: return narrow_;
  }
  return nullptr;
}

std::uint32_t Arg::size() const noexcept {
  switch (kind_) {
    case Kind::kInt32: return sizeof(std::int32_t);
    case Kind::kWide: return static_cast<std::uint32_t>((length_ + 1) * sizeof(wchar_t));
    case Kind::kNarrow: return static_cast<std::uint32_t>(length_ + 1);
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

const char* UnitName(Unit unit) noexcept {
  switch (unit) {
    case Unit::kRun: return "run";
    case Unit::kService: return "service";
    case Unit::kTracking: return "tracking";
    case Unit::kHostSdk: return "hostsdk";
    case Unit::kTransport: return "transport";
  }
  return "unknown";
}

std::string FormatLine(const Point& p, const Arg* args, std::size_t count) {
  std::string line = "{\"unit\":\"";
  line += UnitName(p.unit);
  line += "\",\"n\":" + std::to_string(p.number);
  line += ",\"level\":" + std::to_string(p.level);
  line += ",\"flag\":" + std::to_string(p.flag);
  line += ",\"args\":[";
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) line += ',';
    const Arg& a = args[i];
    switch (a.kind()) {
      case Arg::Kind::kInt32:
        line += std::to_string(a.int_value());
        break;
      case Arg::Kind::kWide:
        line += '"';
        line += text::ToUtf8(text::JsonEscape(a.wide(), text::JsonEscapeNonLatin1::kNo));
        line += '"';
        break;
      case Arg::Kind::kNarrow:
        line += '"';
        line += text::ToUtf8(
            text::JsonEscape(text::FromSingleByte(a.narrow()), text::JsonEscapeNonLatin1::kNo));
        line += '"';
        break;
    }
  }
  line += "]}";
  return line;
}

}  // namespace zentrak::trace
