// Every trace point of the transport unit (comms client, HTTP download, agent value
// decryption), in one place.
#pragma once

#include "support/Trace.h"

namespace zentrak::transport::tp {

using trace::kLevelError;
using trace::kLevelInfo;
using trace::Point;
using trace::Unit;

using T = trace::ArgType;

template <T... Args>
constexpr auto Transport(std::uint16_t number, std::uint32_t flag, std::uint8_t level,
                         const char* text) {
  return trace::MakePoint<Args...>(Unit::kTransport, number, flag, level, text);
}

// Agent host name (comms client construction).
inline constexpr auto kAgentKeyNotOpened =
    Transport<T::kNarrow>(10, 1, kLevelError, "agent key HKLM\\%1 could not be opened");
inline constexpr auto kAgentValueNotRead =
    Transport<T::kNarrow>(11, 1, kLevelError, "agent value %1 could not be read");
inline constexpr auto kAgentValueError =
    Transport<T::kInt32>(12, 1, kLevelError, "agent host name not read, last error %1");
// Agent value decryption.
inline constexpr auto kKeyRecordNotAllocated =
    Transport<>(13, 1, kLevelError, "agent key record could not be allocated");
inline constexpr auto kKeyNotImported =
    Transport<>(14, 1, kLevelInfo, "agent key could not be imported");
inline constexpr auto kAgentValueNotBase64 =
    Transport<>(15, 1, kLevelInfo, "agent value is not Base64");
inline constexpr auto kAgentValueNotDecrypted =
    Transport<>(16, 1, kLevelInfo, "agent value could not be decrypted");
inline constexpr auto kAgentHostName =
    Transport<T::kWide>(17, 1, kLevelInfo, "agent host name: %1");
// HTTP download.
inline constexpr auto kDownloadBegins =
    Transport<T::kWide, T::kWide>(18, 1, kLevelInfo, "downloading %1 to %2");
inline constexpr auto kRequestTimeLimit = Transport<T::kInt32>(
    24, 1, kLevelError, "the request ran past its limit of %1 s: download failed");
inline constexpr auto kProxySchemeRefused = Transport<T::kHex32>(
    25, 1, kLevelError,
    "the proxy offers no scheme the credentials may go with (offered %1): download failed");
// Event document transfer.
inline constexpr auto kTransferBegins =
    Transport<T::kWide>(19, 4, kLevelInfo, "transferring the event document %1");
inline constexpr auto kTransferPathEmpty =
    Transport<>(20, 4, kLevelError, "no event document path: nothing transferred");
inline constexpr auto kCommsLibraryMissing =
    Transport<>(21, 4, kLevelError, "no comms library: nothing transferred");
inline constexpr auto kNoTransferChannel =
    Transport<>(22, 4, kLevelError, "the comms library gave no events channel");
inline constexpr auto kTransferResult =
    Transport<T::kInt32>(23, 4, kLevelError, "event document transfer result %1 (1 sent, 0 not)");

// Every point of the unit, for the format files of the platform's trace tools.
inline constexpr Point kPoints[] = {
    kAgentKeyNotOpened, kAgentValueNotRead,   kAgentValueError,        kKeyRecordNotAllocated,
    kKeyNotImported,    kAgentValueNotBase64, kAgentValueNotDecrypted, kAgentHostName,
    kDownloadBegins,    kTransferBegins,      kTransferPathEmpty,      kCommsLibraryMissing,
    kNoTransferChannel, kTransferResult,      kRequestTimeLimit,       kProxySchemeRefused,
};

}  // namespace zentrak::transport::tp
