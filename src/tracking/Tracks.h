// What each kind of track carries: its six standard fields and its named parameters, in
// the order they are handed to the comms library, from the data they come from. The
// dispatcher only hands a Track to the campaign tracker. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostsdk/DetectionRecord.h"
#include "hostsdk/InstallationData.h"

namespace zentrak::tracking {

// The standard fields; a field left out (none) is not set on the tracker. Numbers go out
// as their signed decimal text.
struct TrackFields {
  std::optional<std::int32_t> product_code;
  std::optional<std::wstring> suite_version;
  std::optional<std::int32_t> product_type;
  std::optional<std::wstring> machine_id;
  std::optional<std::int32_t> custom_id;
  std::wstring event_type;
};

struct Track {
  TrackFields fields;
  std::vector<std::pair<std::wstring, std::wstring>> parameters;  // in the order sent
};

// The run's values every track may carry.
struct TrackContext {
  std::wstring_view muid;
  std::wstring_view inst_uid;      // sent only when not empty
  std::wstring_view file_version;  // sent only when not empty
};

// The installation ("install") or uninstallation ("unins") track.
[[nodiscard]] Track CampaignTrack(const hostsdk::InstallationData& data, bool uninstall,
                                  const TrackContext& context);
// The track of one detection ("detection").
[[nodiscard]] Track DetectionTrack(const hostsdk::InstallationData& data,
                                   const hostsdk::DetectionRecord& detection,
                                   const TrackContext& context);

// The setup's values of a previous installation; none for a value that could not be read.
struct PreviousSetup {
  std::optional<std::wstring> muid;
  std::optional<std::int32_t> main_product_id;
  std::optional<std::int32_t> version_type;
  std::optional<std::wstring> custom_id;  // a text whose leading decimal digits count
};

// The removal of a previous installation ("unins_prev"): its fields from the setup, no
// suite version, and "ProductID" 0 when the main product could not be read.
[[nodiscard]] Track PreviousUninstallTrack(const PreviousSetup& setup, std::wstring_view inst_uid);

}  // namespace zentrak::tracking
