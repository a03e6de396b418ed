#include "run/EventConfigParser.h"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>

#include "run/RunTracePoints.h"
#include "support/Text.h"

namespace zentrak::run {
namespace {

using boost::property_tree::ptree;

constexpr char kDetectionsToEvent[] = "DetectionsToEvent";
constexpr char kDetectionsToTrack[] = "DetectionsToTrack";
constexpr char kSendDetectionEvent[] = "SendDetectionEvent";
constexpr char kSendDetectionTrack[] = "SendDetectionTrack";
constexpr char kVpnEvent80[] = "VPNEvent80";
constexpr char kVpnEvent100[] = "VPNEvent100";
constexpr char kExpirationDays[] = "ExpirationDays";
constexpr char kDetectionId[] = "DetectionID";
constexpr char kMalwareId[] = "MalwareID";
constexpr char kAny[] = "any";

// "any" is -1; anything else must read as an unsigned 32-bit number.
std::int32_t Identifier(const ptree& entry, const char* name) {
  const ptree& value = entry.get_child(name);
  if (value.get_value<std::string>() == kAny) return hostsdk::kAnyId;
  return static_cast<std::int32_t>(value.get_value<std::uint32_t>());
}

void AppendFilters(const ptree& list, std::vector<hostsdk::DetectionRecord>& filters,
                   const decltype(tp::kEventFilterRead)& point) {
  for (const auto& element : list) {
    hostsdk::DetectionRecord pattern;
    pattern.detection_id = Identifier(element.second, kDetectionId);
    pattern.malware_id = Identifier(element.second, kMalwareId);
    ZTRACE(point, pattern.malware_id, pattern.detection_id);
    filters.push_back(pattern);
  }
}

// The flag test is an exact text comparison: "True" or 1 are false.
bool Flag(const ptree& value, const decltype(tp::kVpnEvent80Read)& point) {
  const bool flag = value.get_value<std::string>() == "true";
  ZTRACE(point, flag ? "true" : "false");
  return flag;
}

// Nesting depth outside strings, without building anything.
int MaxDepth(const std::string& text) {
  int depth = 0;
  int deepest = 0;
  bool in_string = false;
  bool escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > deepest) deepest = depth;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return deepest;
}

}  // namespace

bool ParseEventConfig(std::istream& in, EventConfig& config) {
  std::string text;
  char block[65536];
  while (in.read(block, sizeof(block)) || in.gcount() > 0) {
    text.append(block, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxConfigBytes) throw EventConfigError("event configuration too large");
  }
  if (MaxDepth(text) > kMaxConfigDepth) throw EventConfigError("event configuration too deep");

  ptree root;
  std::istringstream stream(text);
  boost::property_tree::read_json(stream, root);

  bool valid = true;
  for (const auto& member : root) {
    const std::string& name = member.first;
    const ptree& value = member.second;
    // Each member is read where it stands, so a repeated list adds its own entries.
    if (name == kDetectionsToEvent) {
      AppendFilters(value, config.event_filters, tp::kEventFilterRead);
    } else if (name == kDetectionsToTrack) {
      AppendFilters(value, config.track_filters, tp::kTrackFilterRead);
    } else if (name == kSendDetectionEvent) {
      config.send_detection_event = Flag(value, tp::kSendDetectionEventRead);
    } else if (name == kVpnEvent80) {
      config.vpn_event_80 = Flag(value, tp::kVpnEvent80Read);
    } else if (name == kVpnEvent100) {
      config.vpn_event_100 = Flag(value, tp::kVpnEvent100Read);
    } else if (name == kSendDetectionTrack) {
      config.send_detection_track = Flag(value, tp::kSendDetectionTrackRead);
    } else if (name == kExpirationDays) {
      ZTRACE(tp::kExpirationDaysRead);
      config.expiration_days = value.get_value<std::uint32_t>();
    } else {
      ZTRACE(tp::kUnknownConfigMember, name);
      valid = false;
    }
  }
  ZTRACE(tp::kConfigParsed, valid ? 1 : 0);
  return valid;
}

bool DigestReadsAsZero(std::wstring_view digest) {
  std::wistringstream in{std::wstring(digest)};
  std::uint32_t value = 1;
  in >> std::hex >> value;
  return !in.fail() && value == 0;
}

bool DigestMatches(std::wstring_view digest, std::wstring_view expected) {
  return !digest.empty() && text::ToUpperAscii(digest) == text::ToUpperAscii(expected);
}

ConfigFetch DecideConfigFetch(const std::optional<std::wstring>& local_digest,
                              std::wstring_view expected_digest, bool source_is_url) {
  if (local_digest && DigestMatches(*local_digest, expected_digest)) return ConfigFetch::kKeep;
  return source_is_url ? ConfigFetch::kDownload : ConfigFetch::kCopy;
}

}  // namespace zentrak::run
