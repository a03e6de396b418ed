// Trace points: the portable half of the trace provider. A trace point is identified by
// its unit and number, carries one flag bit and a level, and is emitted only while the
// provider is registered and an enabling session (or the trace file) asked for that flag
// at that level or higher. The gate is tested before any argument is computed.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace zentrak::trace {

enum class Unit : std::uint8_t { kRun, kService, kTracking, kHostSdk, kTransport };

inline constexpr std::uint8_t kLevelError = 2;
inline constexpr std::uint8_t kLevelInfo = 4;
inline constexpr std::uint8_t kLevelVerbose = 5;

struct Point {
  Unit unit;
  std::uint16_t number;
  std::uint32_t flag;
  std::uint8_t level;
};

// One typed argument. Texts are referenced, not copied: an argument lives only for the
// full expression that emits it.
class Arg {
 public:
  enum class Kind : std::uint8_t { kInt32, kWide, kNarrow };

  // Any 32-bit integer (int, DWORD, LONG, ...), sent as its four bytes.
  template <typename T, std::enable_if_t<std::is_integral_v<T> && sizeof(T) == 4, int> = 0>
  Arg(T value) noexcept  // NOLINT(google-explicit-constructor)
      : kind_(Kind::kInt32), int_(static_cast<std::int32_t>(value)) {}
  Arg(const wchar_t* text) noexcept;               // NOLINT: absent text allowed
  Arg(const std::wstring& text) noexcept;          // NOLINT(google-explicit-constructor)
  Arg(const char* text) noexcept;                  // NOLINT: absent text allowed
  Arg(const std::string& text) noexcept;           // NOLINT(google-explicit-constructor)

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
using Sink = void (*)(const Control& control, const Point& point, const Arg* args, std::size_t count);

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

[[nodiscard]] const char* UnitName(Unit unit) noexcept;

// The trace file's line for one message: a JSON object with the unit name, number,
// level, flag and the arguments (numbers as numbers, texts as UTF-8 strings).
[[nodiscard]] std::string FormatLine(const Point& p, const Arg* args, std::size_t count);

}  // namespace zentrak::trace

// Emits a trace point; the arguments are evaluated only when its gate is open.
#define ZTRACE(point, ...)                                       \
  do {                                                           \
    if (::zentrak::trace::IsOn(point)) {                         \
      ::zentrak::trace::Emit((point), {__VA_ARGS__});            \
    }                                                            \
  } while (0)
