#include "transport/CommsClient.h"

namespace zentrak::transport {

CommsClient::CommsClient(const hostsdk::HostSdkSession* /*session*/) {}

bool CommsClient::TransferEvents(const std::wstring& /*path*/) { return false; }

}  // namespace zentrak::transport
