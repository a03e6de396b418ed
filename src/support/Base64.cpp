#include "support/Base64.h"

#include <algorithm>
#include <array>

namespace zentrak::base64 {
namespace {

// 0 to 63 for the alphabet, -1 for padding, -2 for anything else.
int SextetOf(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  if (c == '=') return -1;
  return -2;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> Decode(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> out(text.size() / 4 * 3, 0);
  std::size_t padding = 0;
  for (std::size_t group = 0; group < text.size() / 4; ++group) {
    std::array<std::uint32_t, 4> sextets{};
    for (std::size_t i = 0; i < 4; ++i) {
      const int value = SextetOf(text[group * 4 + i]);
      if (value == -2) return std::nullopt;
      if (value == -1) {
        ++padding;
        sextets[i] = 0;
      } else {
        sextets[i] = static_cast<std::uint32_t>(value);
      }
    }
    const std::uint32_t bits =
        (sextets[0] << 18) | (sextets[1] << 12) | (sextets[2] << 6) | sextets[3];
    std::uint8_t* bytes = out.data() + group * 3;
    bytes[0] = static_cast<std::uint8_t>(bits >> 16);
    if (padding < 2) bytes[1] = static_cast<std::uint8_t>(bits >> 8);
    if (padding < 1) bytes[2] = static_cast<std::uint8_t>(bits);
  }
  // Padding anywhere counts; more of it than data leaves nothing.
  out.resize(out.size() - std::min(padding, out.size()));
  return out;
}

std::wstring HostNameFromPlaintext(const std::uint8_t* bytes, std::size_t size) {
  std::array<std::uint8_t, kHostNameBufferBytes> buffer{};
  const std::size_t copied = bytes == nullptr ? 0 : std::min(size, buffer.size());
  std::copy(bytes, bytes + copied, buffer.begin());
  std::wstring text;
  for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
    const auto unit = static_cast<wchar_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == L'\0') break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace zentrak::base64
