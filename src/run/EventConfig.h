// The run-state values and the event configuration of one run. Portable.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "hostsdk/DetectionRecord.h"

namespace zentrak::run {

// The state file's time texts are read into 56 UTF-16 units, terminator included.
inline constexpr std::size_t kLastExecCapacity = 56;
inline constexpr std::size_t kInstallationDateCapacity = 56;

struct EventConfig {
  // The marks of the two channels: "lastExec" (the document) and "lastTrack" (the
  // detection tracks), UTC state time texts.
  std::array<wchar_t, kLastExecCapacity> last_exec{};
  std::array<wchar_t, kLastExecCapacity> last_track{};
  bool has_last_track = false;  // the key exists (it may be empty: since the installation)
  std::wstring installation_date;
  std::wstring expected_digest;
  std::wstring source;
  // Which detections become entries of the detection event, and which become tracks;
  // an identifier of -1 matches any value.
  std::vector<hostsdk::DetectionRecord> event_filters;
  bool send_detection_event = true;
  std::vector<hostsdk::DetectionRecord> track_filters;
  bool send_detection_track = true;
  std::uint32_t expiration_days = 0;
  std::wstring repository_directory;
  bool vpn_event_80 = false;
  bool vpn_event_100 = false;
};

}  // namespace zentrak::run
