// Every trace point of the transport unit (comms client, HTTP download, agent value
// decryption), in one place.
#pragma once

#include "support/Trace.h"

namespace zentrak::transport::tp {

using trace::kLevelError;
using trace::kLevelInfo;
using trace::Point;
using trace::Unit;

constexpr Point Transport(std::uint16_t number, std::uint32_t flag, std::uint8_t level) {
  return {Unit::kTransport, number, flag, level};
}

// Agent host name (comms client construction).
inline constexpr Point kAgentKeyNotOpened = Transport(10, 1, kLevelError);  // (key path)
inline constexpr Point kAgentValueNotRead = Transport(11, 1, kLevelError);  // (value name)
inline constexpr Point kAgentValueError = Transport(12, 1, kLevelError);    // (last error)
// Agent value decryption.
inline constexpr Point kKeyRecordNotAllocated = Transport(13, 1, kLevelError);
inline constexpr Point kKeyNotImported = Transport(14, 1, kLevelInfo);
inline constexpr Point kAgentValueNotBase64 = Transport(15, 1, kLevelInfo);
inline constexpr Point kAgentValueNotDecrypted = Transport(16, 1, kLevelInfo);
inline constexpr Point kAgentHostName = Transport(17, 1, kLevelInfo);  // (host name)
// HTTP download.
inline constexpr Point kDownloadBegins = Transport(18, 1, kLevelInfo);  // (url, path)
// Event document transfer.
inline constexpr Point kTransferBegins = Transport(19, 4, kLevelInfo);  // (path)
inline constexpr Point kTransferPathEmpty = Transport(20, 4, kLevelError);
inline constexpr Point kCommsLibraryMissing = Transport(21, 4, kLevelError);
inline constexpr Point kNoTransferChannel = Transport(22, 4, kLevelError);
inline constexpr Point kTransferResult = Transport(23, 4, kLevelError);  // (1 or 0)

}  // namespace zentrak::transport::tp
