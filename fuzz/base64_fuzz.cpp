// The agent value's Base64 decoding and the host-name copy on arbitrary input: a decoded
// value has the length the rules give, and the copy never reads or writes past its buffer.
#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "support/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto decoded = zentrak::base64::Decode(text)) {
    std::size_t padding = 0;
    for (char c : text) padding += c == '=' ? 1 : 0;
    // Padding anywhere counts; more of it than data leaves nothing.
    const std::size_t full = size / 4 * 3;
    const std::size_t expected = full - (padding < full ? padding : full);
    if (size == 0 || size % 4 != 0 || decoded->size() != expected) std::abort();
    const std::wstring name =
        zentrak::base64::HostNameFromPlaintext(decoded->data(), decoded->size());
    if (name.size() * 2 > zentrak::base64::kHostNameBufferBytes) std::abort();
  }
  return 0;
}
