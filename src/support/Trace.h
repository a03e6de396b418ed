// Trace points: the portable half of the trace provider. A trace point is identified by
// its unit and number, carries one flag bit and a level, and is emitted only while the
// provider is registered and an enabling session (or the trace file) asked for that flag
// at that level or higher. The gate is tested before any argument is computed.
//
// Each point also carries its wording and the types of its arguments. The unit tables
// declare them once; the format files of the platform's trace tools and the lines of the
// trace file are built from them, and ZTRACE refuses to compile a call whose arguments
// differ from its point's declaration.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "support/CivilTime.h"

namespace zentrak::trace {

enum class Unit : std::uint8_t { kRun, kService, kTracking, kHostSdk, kTransport };
inline constexpr Unit kUnits[] = {Unit::kRun, Unit::kService, Unit::kTracking, Unit::kHostSdk,
                                  Unit::kTransport};

inline constexpr std::uint8_t kLevelError = 2;
inline constexpr std::uint8_t kLevelInfo = 4;
inline constexpr std::uint8_t kLevelVerbose = 5;

// No trace point carries more arguments than this.
inline constexpr std::size_t kMaxArgs = 6;

// An argument as a point declares it. kInt32 and kHex32 travel as the same four bytes;
// kHex32 only reads better (error codes, HRESULTs).
enum class ArgType : std::uint8_t { kInt32, kHex32, kWide, kNarrow };

// Its members keep the order the tables are written in (unit, number, flag, level, text);
// the few bytes of padding that costs are not worth a harder table to read.
struct Point {  // NOLINT(clang-analyzer-optin.performance.Padding)
  Unit unit;
  std::uint16_t number;
  std::uint32_t flag;
  std::uint8_t level;
  // The wording: an English sentence with %1 ... %6 where the arguments go.
  const char* text = "";
  std::uint8_t arg_count = 0;
  ArgType args[kMaxArgs] = {};
};

// A point whose argument types are part of its type, so that ZTRACE can check each call.
template <ArgType... Types>
struct TypedPoint : Point {};

namespace detail {

[[nodiscard]] constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// True when the wording names each of the arguments 1..count and nothing beyond them,
// and is printable ASCII without a double quote (the format files quote the wording).
[[nodiscard]] constexpr bool WordingFits(const char* text, std::size_t count) noexcept {
  bool named[kMaxArgs + 1] = {};
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '"' || *c < ' ' || *c > '~') return false;
    if (*c != '%' || !IsDigit(c[1])) continue;
    const int index = c[1] - '0';
    if (index < 1 || static_cast<std::size_t>(index) > count || IsDigit(c[2])) return false;
    named[index] = true;
    ++c;
  }
  for (std::size_t i = 1; i <= count; ++i) {
    if (!named[i]) return false;
  }
  return true;
}

// Not constexpr: reaching it while a table is initialised stops the compilation.
inline void WordingDoesNotNameItsArguments() {}

}  // namespace detail

// A table entry. The wording is checked while the table is compiled.
template <ArgType... Types>
[[nodiscard]] constexpr TypedPoint<Types...> MakePoint(Unit unit, std::uint16_t number,
                                                       std::uint32_t flag, std::uint8_t level,
                                                       const char* text) {
  static_assert(sizeof...(Types) <= kMaxArgs, "too many arguments for one trace point");
  if (!detail::WordingFits(text, sizeof...(Types))) detail::WordingDoesNotNameItsArguments();
  return TypedPoint<Types...>{
      {unit, number, flag, level, text, static_cast<std::uint8_t>(sizeof...(Types)), {Types...}}};
}

// One typed argument. Texts are referenced, not copied: an argument lives only for the
// full expression that emits it.
class Arg {
 public:
  enum class Kind : std::uint8_t { kInt32, kWide, kNarrow };

  // Any 32-bit integer (int, DWORD, LONG, ...), sent as its four bytes.
  template <typename T, std::enable_if_t<std::is_integral_v<T> && sizeof(T) == 4, int> = 0>
  Arg(T value) noexcept  // NOLINT(google-explicit-constructor)
      : kind_(Kind::kInt32), int_(static_cast<std::int32_t>(value)) {}
  Arg(const wchar_t* text) noexcept;       // NOLINT: absent text allowed
  Arg(const std::wstring& text) noexcept;  // NOLINT(google-explicit-constructor)
  Arg(const char* text) noexcept;          // NOLINT: absent text allowed
  Arg(const std::string& text) noexcept;   // NOLINT(google-explicit-constructor)

  [[nodiscard]] Kind kind() const noexcept { return kind_; }
  // The bytes a trace message carries: the value, or the characters and terminator,
  // with "NULL" for an absent text and "<NULL>" for an empty wide text.
  [[nodiscard]] const void* data() const noexcept;
  [[nodiscard]] std::uint32_t size() const noexcept;
  [[nodiscard]] std::int32_t int_value() const noexcept { return int_; }
  // The text as the message carries it (substitutions applied), without terminator.
  [[nodiscard]] std::wstring_view wide() const noexcept;
  [[nodiscard]] std::string_view narrow() const noexcept;

 private:
  Kind kind_;
  std::int32_t int_ = 0;
  const wchar_t* wide_ = nullptr;
  const char* narrow_ = nullptr;
  std::size_t length_ = 0;
};

[[nodiscard]] constexpr Arg::Kind EncodingOf(ArgType type) noexcept {
  switch (type) {
    case ArgType::kInt32:
    case ArgType::kHex32:
      return Arg::Kind::kInt32;
    case ArgType::kWide:
      return Arg::Kind::kWide;
    case ArgType::kNarrow:
      return Arg::Kind::kNarrow;
  }
  return Arg::Kind::kInt32;
}

namespace detail {

template <typename... A>
struct TypeList {};
// Only named inside decltype: the arguments of a call are never evaluated by the check.
template <typename... A>
TypeList<A...> TypesOf(A&&...);

template <typename>
inline constexpr bool kAlwaysFalse = false;

// How Arg would carry a value of type T.
template <typename T>
constexpr Arg::Kind KindOf() {
  using D = std::decay_t<T>;
  if constexpr (std::is_integral_v<D> && sizeof(D) == 4) {
    return Arg::Kind::kInt32;
  } else if constexpr (std::is_same_v<D, std::wstring> || std::is_same_v<D, const wchar_t*> ||
                       std::is_same_v<D, wchar_t*>) {
    return Arg::Kind::kWide;
  } else if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, const char*> ||
                       std::is_same_v<D, char*>) {
    return Arg::Kind::kNarrow;
  } else {
    static_assert(kAlwaysFalse<T>, "a trace argument is a 32-bit integer or a text");
    return Arg::Kind::kInt32;
  }
}

// A plain Point (tests build them ad hoc) is not checked.
template <typename P, typename L>
struct ArgsFit : std::true_type {};

template <ArgType... Types, typename... A>
struct ArgsFit<TypedPoint<Types...>, TypeList<A...>> {
  static constexpr bool Check() {
    if constexpr (sizeof...(Types) != sizeof...(A)) {
      return false;
    } else {
      return ((EncodingOf(Types) == KindOf<A>()) && ... && true);
    }
  }
  static constexpr bool value = Check();
};

}  // namespace detail

template <typename P, typename... A>
inline constexpr bool kArgsFit =
    detail::ArgsFit<std::remove_cv_t<std::remove_reference_t<P>>, detail::TypeList<A...>>::value;

// The enabling state the platform's tracing hands to the provider. Written by the
// control callback on the platform's thread, read by trace points without a lock.
struct Control {
  std::atomic<std::uint64_t> registration{0};
  std::atomic<std::uint64_t> logger{0};
  std::uint32_t flag_words = 1;
  std::atomic<std::uint8_t> level{1};
  std::uint16_t options = 0;
  std::atomic<std::uint32_t> flags{0};
};

// Where a message goes once it passed its gate.
using Sink = void (*)(const Control& control, const Point& point, const Arg* args,
                      std::size_t count);

// The process's trace state: the active control (none while unregistered), the ETW sink
// and the optional trace-file sink with its own level and flags.
struct State {
  std::atomic<Control*> active{nullptr};
  Sink etw_sink = nullptr;
  Sink file_sink = nullptr;
  std::uint8_t file_level = 0;
  std::uint32_t file_flags = 0;
};

State& GlobalState() noexcept;

[[nodiscard]] inline bool EtwGateOpen(const Control& c, const Point& p) noexcept {
  return (c.flags.load(std::memory_order_relaxed) & p.flag) != 0 &&
         c.level.load(std::memory_order_relaxed) >= p.level;
}

[[nodiscard]] inline bool FileGateOpen(const State& s, const Point& p) noexcept {
  return s.file_sink != nullptr && (s.file_flags & p.flag) != 0 && s.file_level >= p.level;
}

[[nodiscard]] inline bool IsOn(const Point& p) noexcept {
  State& s = GlobalState();
  const Control* c = s.active.load(std::memory_order_acquire);
  return c != nullptr && (EtwGateOpen(*c, p) || FileGateOpen(s, p));
}

void Emit(const Point& p, std::initializer_list<Arg> args) noexcept;

[[nodiscard]] constexpr const char* UnitName(Unit unit) noexcept {
  switch (unit) {
    case Unit::kRun:
      return "run";
    case Unit::kService:
      return "service";
    case Unit::kTracking:
      return "tracking";
    case Unit::kHostSdk:
      return "hostsdk";
    case Unit::kTransport:
      return "transport";
  }
  return "unknown";
}

// A message GUID in the platform's field layout, without the platform's headers.
struct MessageGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// The message GUID of each unit's messages: the platform's trace tools find the format
// file of a message by it.
[[nodiscard]] constexpr MessageGuid UnitMessageGuid(Unit unit) noexcept {
  switch (unit) {
    case Unit::kRun:
      return {0xa891138f, 0x252e, 0x6e12, {0x6b, 0x22, 0xc2, 0xfe, 0xf7, 0xd8, 0x35, 0x80}};
    case Unit::kService:
      return {0x1b3692e3, 0xf438, 0x4ca3, {0x21, 0x82, 0x23, 0x13, 0x6c, 0x65, 0x3a, 0x34}};
    case Unit::kTracking:
      return {0x9f612876, 0xa054, 0xbae3, {0x77, 0x10, 0x5f, 0x11, 0x97, 0x56, 0xf7, 0xad}};
    case Unit::kHostSdk:
      return {0x80a74469, 0x2ff9, 0x750b, {0x54, 0xbe, 0xf8, 0xb4, 0x50, 0x10, 0xff, 0x5d}};
    case Unit::kTransport:
      return {0x19d273c7, 0x7262, 0x54cd, {0x60, 0x37, 0x26, 0x79, 0x31, 0x31, 0x4c, 0x94}};
  }
  return {0, 0, 0, {}};
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", lower case, no braces. Inline: the format file
// generator uses it without the rest of the core.
[[nodiscard]] inline std::string GuidText(const MessageGuid& g) {
  char buffer[40] = {};
  std::snprintf(buffer, sizeof buffer, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2),
                static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buffer;
}

// What a trace carries in place of a secret (the proxy password).
inline constexpr wchar_t kSecretMask[] = L"********";

// An instant in UTC, to the millisecond.
// A trace line's time: always UTC.
using UtcTime = CivilTime;

// ISO 8601 with milliseconds and the zone designator: "2024-05-01T10:20:30.123Z".
[[nodiscard]] std::string FormatUtcTime(const UtcTime& utc);

// The point's wording with its arguments put in: integers in decimal (kHex32 as
// 0x%08X), texts as UTF-8. A placeholder without an argument stays as it is.
[[nodiscard]] std::string FormatText(const Point& p, const Arg* args, std::size_t count);

// The trace file's line for one message: a JSON object with the UTC time, the unit name,
// number, level, flag, the wording with the arguments put in, and the arguments (numbers
// as numbers, texts as UTF-8 strings).
[[nodiscard]] std::string FormatLine(const Point& p, const Arg* args, std::size_t count,
                                     const UtcTime& utc);

}  // namespace zentrak::trace

// Emits a trace point; the arguments are evaluated only when its gate is open. A call
// whose arguments differ from the point's declaration does not compile.
#define ZTRACE(point, ...)                                                              \
  do {                                                                                  \
    static_assert(::zentrak::trace::detail::ArgsFit<                                    \
                      std::remove_cv_t<std::remove_reference_t<decltype(point)>>,       \
                      decltype(::zentrak::trace::detail::TypesOf(__VA_ARGS__))>::value, \
                  "the arguments differ from those of the trace point's table entry");  \
    if (::zentrak::trace::IsOn(point)) {                                                \
      ::zentrak::trace::Emit((point), {__VA_ARGS__});                                   \
    }                                                                                   \
  } while (0)
