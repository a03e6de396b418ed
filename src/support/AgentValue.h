// Decryption of the device-management agent's enciphered host name: a fixed RC2 key
// imported through CryptoAPI, the value decoded from Base64 and decrypted.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrak {

// The PLAINTEXTKEYBLOB of an RC2 key: header, key length 16 and the 16 key bytes.
inline constexpr std::size_t kAgentKeyRecordSize = 28;
inline constexpr std::size_t kAgentKeyLength = 16;
[[nodiscard]] std::vector<std::uint8_t> BuildAgentKeyRecord(std::string_view key);

// The whole decryption with the build's agent key. None when a step failed; each
// failure is reported by its trace point.
[[nodiscard]] std::optional<std::wstring> DecryptAgentValue(std::string_view value);

// The part after the key import: Base64, decrypt in place with `key`, the first
// 520 bytes of the plaintext read as a UTF-16 text.
[[nodiscard]] std::optional<std::wstring> DecryptAgentValueWithKey(HCRYPTKEY key,
                                                                   std::string_view value);

}  // namespace zentrak
