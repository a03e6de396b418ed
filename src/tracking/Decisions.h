// The dispatcher's decisions that need no platform: when the installation event is due,
// where the detection period starts, and which VPN traffic event is due. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hostsdk/DetectionRecord.h"
#include "hostsdk/OleDate.h"
#include "run/StateFileKeys.h"
#include "run/StateTime.h"

namespace zentrak::tracking {

// The installation event is due while the installation is less than two whole days
// away from now, in either direction, and no marker says it was built already.
[[nodiscard]] bool InstallationEventDue(run::FileTimeTicks installed, run::FileTimeTicks now,
                                        bool marker_exists) noexcept;

// The instant the detection period starts at, as "lastExec" holds it (UTC): the text
// scanned as "%4d-%2d-%2dT%2d:%2d:%2d" (fields not scanned stay 0). None, meaning "since
// the installation", when it is empty or does not make a valid date. The caller turns it
// into local time, the time base of the SDK's report times.
[[nodiscard]] std::optional<run::CivilTime> LastExecUtc(std::wstring_view last_exec);

// The mark the detection tracks start from: their own ("lastTrack", empty meaning since
// the installation), or "lastExec" where the state file has no such key (written before
// the tracks had a mark of their own).
[[nodiscard]] std::wstring_view TrackPeriodMark(std::optional<std::wstring_view> last_track,
                                                std::wstring_view last_exec) noexcept;

// Each channel's mark is the end of the query whose results it delivered, so that a
// detection reported after that query is inside the next one. None: keep the mark.
//
// A delivered document: the end of the run's detection query when it read everything;
// none when it ran but stopped early (what it missed comes again next time); the time
// taken before the transfer when the run made no detection query (detections off, an
// uninstallation), as before the channels had marks of their own.
[[nodiscard]] std::optional<run::CivilTime> DocumentMark(
    const std::optional<hostsdk::QueryCoverage>& detection_query,
    const run::CivilTime& utc_before_transfer) noexcept;
// A track pass: the end of its query when the query read everything and every track of
// it was sent.
[[nodiscard]] std::optional<run::CivilTime> TrackMark(const hostsdk::QueryCoverage& query,
                                                      bool all_sent) noexcept;

enum class VpnEvent : std::uint8_t { kNone, k80, k100 };

struct VpnTraffic {
  std::int64_t remaining = 0;  // bytes left; zero or less means exhausted
  std::uint64_t limit = 0;     // the allowance in bytes
};

struct VpnSwitches {
  bool event_80 = false;
  bool event_100 = false;
};

// The 100 % event first (it clears the 80 % switch, so the 80 % decision is skipped),
// then the 80 % event, each only when not yet sent today. The MiB arithmetic is that of
// the statistics service: unsigned 32-bit threshold and used amount, the remaining
// amount truncated toward zero.
[[nodiscard]] VpnEvent DecideVpnEvent(const VpnTraffic& traffic, VpnSwitches& switches,
                                      bool sent_80_today, bool sent_100_today) noexcept;

// The days of the month (UTC) the state file says each event was last sent on.
struct VpnSentDays {
  bool recorded = false;  // the state file exists
  int day_80 = 0;
  int day_100 = 0;
};
struct VpnSentToday {
  bool event_80 = false;
  bool event_100 = false;
};
// An event counts as sent today when the state file records today's day of the month
// (UTC) for it, whatever the month it was written in.
[[nodiscard]] VpnSentToday SentToday(const VpnSentDays& days, int utc_day) noexcept;

// The state file key that records a sent event (none for no event).
[[nodiscard]] const wchar_t* VpnStateKey(VpnEvent event) noexcept;

// The address of the event: the statistics endpoint and the query, with the event time
// formatted "%04d-%02d-%02d %02d:%02d:%02d" (the space is escaped by the HTTP library).
// Nothing is percent-encoded here.
[[nodiscard]] std::wstring VpnEventAddress(std::wstring_view endpoint, std::wstring_view muid,
                                           const run::CivilTime& utc, VpnEvent event);

}  // namespace zentrak::tracking
