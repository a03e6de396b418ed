// Base64 decoding as the device-management agent encodes its values, and the reading of
// a decrypted value as a UTF-16 text. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrak::base64 {

// Standard alphabet; "=" is padding. The length must be a non-zero multiple of 4 and
// any other character fails. Each group gives three bytes: its second byte only while
// fewer than two padding characters were seen, its third only while none was. The
// result has 3/4 of the input length minus the padding count.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> Decode(std::string_view text);

// Size of the buffer a decrypted host name is read from.
inline constexpr std::size_t kHostNameBufferBytes = 520;

// The bytes copied into a zeroed buffer of kHostNameBufferBytes (anything beyond is
// dropped) and read as a little-endian UTF-16 text up to its first null unit.
[[nodiscard]] std::wstring HostNameFromPlaintext(const std::uint8_t* bytes, std::size_t size);

}  // namespace zentrak::base64
