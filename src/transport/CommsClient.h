// The client of the suite's communications library for the event document transfer.
//
// Not built yet: every transfer fails.
#pragma once

#include <string>

#include "hostsdk/HostSdk.h"

namespace zentrak::transport {

class CommsClient {
 public:
  explicit CommsClient(const hostsdk::HostSdkSession* session);
  [[nodiscard]] bool TransferEvents(const std::wstring& path);
};

}  // namespace zentrak::transport
