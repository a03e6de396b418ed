// The event configuration file: a JSON object read with Boost's property-tree reader.
// Portable, fed by a byte stream.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "run/EventConfig.h"

namespace zentrak::run {

// Far above any real configuration; a larger file or deeper nesting is not read (the
// reader is recursive and holds the whole tree in memory).
inline constexpr std::size_t kMaxConfigBytes = std::size_t{64} * 1024 * 1024;
inline constexpr int kMaxConfigDepth = 64;

// A configuration that is not read at all: too large or too deeply nested.
class EventConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the members of the root object in file order into the config. Returns false
// when a member of an unknown name was met (after reading all the others). Throws for
// input that is not valid JSON, an array element without "DetectionID" or "MalwareID",
// or a value that is not a 32-bit integer where one is required (Boost's
// ptree_error), and EventConfigError beyond the bounds above.
[[nodiscard]] bool ParseEventConfig(std::istream& in, EventConfig& config);

// The zero test of the expected digest: true only when the text reads, as a hexadecimal
// unsigned 32-bit number, as zero. A real 32-digit digest does not fit and is not zero.
[[nodiscard]] bool DigestReadsAsZero(std::wstring_view digest);

// A file's digest text is the expected one, letter case aside; an empty digest (the file
// could not be read) never is.
[[nodiscard]] bool DigestMatches(std::wstring_view digest, std::wstring_view expected);

// How the local copy of the configuration is kept current: kept when its digest equals
// the expected one (letter case aside), otherwise downloaded from a URL or copied from
// a path. Without a local copy there is no digest (none).
enum class ConfigFetch : std::uint8_t { kKeep, kDownload, kCopy };
[[nodiscard]] ConfigFetch DecideConfigFetch(const std::optional<std::wstring>& local_digest,
                                            std::wstring_view expected_digest, bool source_is_url);

}  // namespace zentrak::run
