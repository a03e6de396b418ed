// The process-wide values of one run, filled at start-up by the run sequence and read
// by the other subsystems. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostsdk/ProxySettings.h"

namespace zentrak::run {

enum class EventKind : std::uint8_t { kInstallation = 1, kUninstallation = 2, kDetections = 3 };
using EventList = std::vector<EventKind>;

inline constexpr wchar_t kIdentityTextBase[] = L"KelvoSecurity ";

struct RunContext {
  bool uninstall_mode = false;
  bool detections_enabled = true;
  bool dump_enabled = false;
  std::wstring dump_folder;
  std::wstring inst_uid;
  hostsdk::ProxySettings proxy;
  std::wstring identity_text = kIdentityTextBase;
  std::wstring repository_folder;
  std::wstring file_version;
};

// The four Configuration values the identity text is built from.
struct IdentityFacts {
  std::int32_t suite_id = 0;
  std::wstring suite_version;
  std::int32_t custom_id = 0;
  std::wstring muid;
};

// "KelvoSecurity (PID=..;V=..;CID=..;MUID=..)" when all four values were read, else
// "KelvoSecurity " with its trailing blank.
[[nodiscard]] std::wstring BuildIdentityText(const std::optional<IdentityFacts>& facts);

}  // namespace zentrak::run
