// Captures the trace points a test provokes: while one is alive, every trace point is
// on and lands in its list (no ETW session is needed, none enables a provider under Wine).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/Trace.h"

namespace zentrak::testing {

struct CapturedPoint {
  trace::Unit unit;
  std::uint16_t number;
  std::vector<std::wstring> texts;  // text arguments, narrow ones widened
  std::vector<std::int32_t> numbers;
};

class TraceCapture {
 public:
  TraceCapture() {
    trace::State& s = trace::GlobalState();
    saved_active_ = s.active.load();
    saved_sink_ = s.file_sink;
    saved_level_ = s.file_level;
    saved_flags_ = s.file_flags;
    current_ = this;
    s.file_sink = &Sink;
    s.file_level = trace::kLevelVerbose;
    s.file_flags = 7;
    s.active.store(&control_);
  }
  ~TraceCapture() {
    trace::State& s = trace::GlobalState();
    s.active.store(saved_active_);
    s.file_sink = saved_sink_;
    s.file_level = saved_level_;
    s.file_flags = saved_flags_;
    current_ = nullptr;
  }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // Numbers of the captured points of one unit, in order.
  [[nodiscard]] std::vector<std::uint16_t> Numbers(trace::Unit unit) const {
    std::vector<std::uint16_t> numbers;
    for (const auto& p : points_) {
      if (p.unit == unit) numbers.push_back(p.number);
    }
    return numbers;
  }
  [[nodiscard]] const CapturedPoint* Find(const trace::Point& point) const {
    for (const auto& p : points_) {
      if (p.unit == point.unit && p.number == point.number) return &p;
    }
    return nullptr;
  }
  void Clear() { points_.clear(); }

 private:
  static void Sink(const trace::Control&, const trace::Point& point, const trace::Arg* args,
                   std::size_t count) {
    if (current_ == nullptr) return;
    CapturedPoint captured{point.unit, point.number, {}, {}};
    for (std::size_t i = 0; i < count; ++i) {
      switch (args[i].kind()) {
        case trace::Arg::Kind::kInt32:
          captured.numbers.push_back(args[i].int_value());
          break;
        case trace::Arg::Kind::kWide:
          captured.texts.emplace_back(args[i].wide());
          break;
        case trace::Arg::Kind::kNarrow: {
          const auto narrow = args[i].narrow();
          captured.texts.emplace_back(narrow.begin(), narrow.end());
          break;
        }
      }
    }
    current_->points_.push_back(std::move(captured));
  }

  static inline TraceCapture* current_ = nullptr;
  trace::Control control_;
  trace::Control* saved_active_ = nullptr;
  trace::Sink saved_sink_ = nullptr;
  std::uint8_t saved_level_ = 0;
  std::uint32_t saved_flags_ = 0;
  std::vector<CapturedPoint> points_;
};

}  // namespace zentrak::testing
