// One detection reported by the host SDK, and the selection rules of the detection
// report query. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "hostsdk/OleDate.h"
#include "support/CivilTime.h"

namespace zentrak::hostsdk {

// Also the element of the selection lists, where an identifier of -1 stands for any value
// and the date is zero.
struct DetectionRecord {
  std::int32_t malware_id = 0;
  std::int32_t detection_id = 0;
  OleDate report_time;
};

inline constexpr std::int32_t kAnyId = -1;

// The query's paging: pages of 50 are asked while they come back full, at most 20,000 of
// them (a million reports, far more than any machine reports between two runs).
inline constexpr std::int32_t kQueryPageSize = 50;
inline constexpr std::uint32_t kQueryMaxPages = 20000;

// The smallest maximum age the query applies: one day, so that a quiet spell never moves
// the start past what was reported since the last delivery.
inline constexpr std::int32_t kMinQueryAgeDays = 1;

// The query's start (start and now both local dates, as the SDK's are): the given start (already
// the installation date when it was 0), moved to now less the maximum age in whole days when the
// span from it to now, in whole days, exceeds that age. An age below a day (0, or negative)
// counts as one day.
[[nodiscard]] OleDate ClampQueryStart(const OleDate& start, const OleDate& now,
                                      std::int32_t max_age_days) noexcept;

// What one detection query covered: every report up to its end, "now" as it took it (UTC),
// when it read every page without an error. A channel that delivers the query's results
// moves its mark to that end, never past it.
struct QueryCoverage {
  bool complete = false;
  CivilTime end_utc;
};

// How many entries of a page to walk: the count it gives, never more than a page holds
// and none for a negative count.
[[nodiscard]] std::int32_t EntriesToWalk(std::int32_t page_count) noexcept;

// What follows a page of page_count entries that began at first: another page only
// after a full one, beginning where this one ended.
struct NextPage {
  bool more;
  std::uint32_t first;
};
[[nodiscard]] NextPage AfterPage(std::uint32_t first, std::int32_t page_count) noexcept;

// The "EventId" values of the detection events the query keeps.
[[nodiscard]] bool IsSelectedDetectionEvent(std::int32_t event_id) noexcept;

// Whether one pattern admits the identifiers.
[[nodiscard]] bool Matches(const DetectionRecord& pattern, std::int32_t malware_id,
                           std::int32_t detection_id) noexcept;

// A selection list indexed once, so that each report is matched in constant time.
class DetectionSelection {
 public:
  explicit DetectionSelection(const std::vector<DetectionRecord>& patterns);
  // True when some pattern of the list admits the identifiers.
  [[nodiscard]] bool Admits(std::int32_t malware_id, std::int32_t detection_id) const;

 private:
  bool any_ = false;
  std::unordered_set<std::int32_t> malware_any_detection_;
  std::unordered_set<std::int32_t> detection_any_malware_;
  std::unordered_set<std::uint64_t> exact_;
};

// The query's result: one record per (MalwareID, DetectionID), in the order in which each
// detection last took a later report time. A later report of a known detection moves it
// to the end; an equal or earlier one is dropped. Each offer costs constant time.
class DetectionResults {
 public:
  void Offer(const DetectionRecord& candidate);
  [[nodiscard]] std::size_t size() const noexcept { return records_.size(); }
  // Appends the records, in order, to the list.
  void AppendTo(std::vector<DetectionRecord>& list) const;

 private:
  std::list<DetectionRecord> records_;
  std::unordered_map<std::uint64_t, std::list<DetectionRecord>::iterator> index_;
};

}  // namespace zentrak::hostsdk
