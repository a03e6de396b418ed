#include "hostsdk/DetectionRecord.h"

#include <algorithm>
#include <iterator>

namespace zentrak::hostsdk {
namespace {

constexpr std::int32_t kSelectedEvents[] = {0x100003, 0x100004, 0x100005,
                                            0x100007, 0x10001B, 0x200005};

std::uint64_t Key(std::int32_t malware_id, std::int32_t detection_id) noexcept {
  return (std::uint64_t{static_cast<std::uint32_t>(malware_id)} << 32) |
         static_cast<std::uint32_t>(detection_id);
}

}  // namespace

OleDate ClampQueryStart(const OleDate& start, const OleDate& now,
                        std::int32_t max_age_days) noexcept {
  // At least a day: a smaller age would move the start to now (or later) and the query
  // would never again find what was reported since the last delivery.
  const std::int32_t age = std::max(max_age_days, kMinQueryAgeDays);
  if (WholeDays(Subtract(now, start)) <= age) return start;
  return Subtract(now, SpanFromParts(age, 0, 0, 0));
}

std::int32_t EntriesToWalk(std::int32_t page_count) noexcept {
  return std::clamp(page_count, 0, kQueryPageSize);
}

NextPage AfterPage(std::uint32_t first, std::int32_t page_count) noexcept {
  const bool full = page_count >= kQueryPageSize;
  const auto walked = static_cast<std::uint32_t>(full ? kQueryPageSize : std::max(page_count, 0));
  return {full, first + walked};
}

bool IsSelectedDetectionEvent(std::int32_t event_id) noexcept {
  return std::find(std::begin(kSelectedEvents), std::end(kSelectedEvents), event_id) !=
         std::end(kSelectedEvents);
}

bool Matches(const DetectionRecord& pattern, std::int32_t malware_id,
             std::int32_t detection_id) noexcept {
  return (pattern.malware_id == kAnyId || pattern.malware_id == malware_id) &&
         (pattern.detection_id == kAnyId || pattern.detection_id == detection_id);
}

DetectionSelection::DetectionSelection(const std::vector<DetectionRecord>& patterns) {
  for (const DetectionRecord& p : patterns) {
    if (p.malware_id == kAnyId && p.detection_id == kAnyId) {
      any_ = true;
    } else if (p.detection_id == kAnyId) {
      malware_any_detection_.insert(p.malware_id);
    } else if (p.malware_id == kAnyId) {
      detection_any_malware_.insert(p.detection_id);
    } else {
      exact_.insert(Key(p.malware_id, p.detection_id));
    }
  }
}

bool DetectionSelection::Admits(std::int32_t malware_id, std::int32_t detection_id) const {
  return any_ || malware_any_detection_.count(malware_id) != 0 ||
         detection_any_malware_.count(detection_id) != 0 ||
         exact_.count(Key(malware_id, detection_id)) != 0;
}

void DetectionResults::Offer(const DetectionRecord& candidate) {
  const std::uint64_t key = Key(candidate.malware_id, candidate.detection_id);
  const auto found = index_.find(key);
  if (found == index_.end()) {
    index_.emplace(key, records_.insert(records_.end(), candidate));
    return;
  }
  if (!IsLater(candidate.report_time, found->second->report_time)) return;
  records_.erase(found->second);
  found->second = records_.insert(records_.end(), candidate);
}

void DetectionResults::AppendTo(std::vector<DetectionRecord>& list) const {
  list.insert(list.end(), records_.begin(), records_.end());
}

}  // namespace zentrak::hostsdk
