// The "DeviceEvents" document's event objects, written as text by the JSON writing
// rules: no white space, keys in double quotes, texts escaped (every character above
// U+00FF as \uXXXX, so the one-byte-per-character file keeps the whole document),
// numbers as unsigned 32-bit decimals, flags as the quoted words "True" and "False".
// Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hostsdk/DetectionRecord.h"
#include "hostsdk/InstallationData.h"

namespace zentrak::tracking {

// A document holds at most this many detections (the index runs from 0 to 10).
inline constexpr std::size_t kMaxDocumentDetections = 11;

[[nodiscard]] std::wstring JsonStringPair(std::wstring_view key, std::wstring_view value);
[[nodiscard]] std::wstring JsonNumberPair(std::wstring_view key, std::uint32_t value, bool quoted);
[[nodiscard]] std::wstring JsonFlagPair(std::wstring_view key, bool flag);

[[nodiscard]] std::wstring BuildOsInfoFragment(const hostsdk::OsFacts& os);
[[nodiscard]] std::wstring BuildProductsFragment(
    const std::vector<hostsdk::ProductRecord>& products);

// The installation (or, with uninstall set, uninstallation) event object. The
// "InstUID" member is present only when the InstUID is not empty.
[[nodiscard]] std::wstring BuildInstallationDocument(const hostsdk::InstallationData& data,
                                                     std::wstring_view muid,
                                                     std::wstring_view inst_uid, bool uninstall);

// The detection event object with the first eleven detections of the list.
[[nodiscard]] std::wstring BuildDetectionDocument(
    const std::vector<hostsdk::DetectionRecord>& detections, std::wstring_view muid,
    std::wstring_view inst_uid);

}  // namespace zentrak::tracking
