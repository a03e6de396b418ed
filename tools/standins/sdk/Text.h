// The stand-in's own text handling: UTF-8 and JSON escaping for its journal and fixture
// reader, and the ProgID comparison. Written apart from the program's so that the
// stand-in stays an independent check of what the program sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

// A code point as UTF-8 (surrogates and values beyond U+10FFFF as U+FFFD).
void AppendUtf8(std::string& out, std::uint32_t code_point);
// UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string Utf8(std::wstring_view text);
// The text as the inside of a JSON string, UTF-8: quotation mark, reverse solidus and
// control characters escaped.
[[nodiscard]] std::string JsonEscaped(std::wstring_view text);
// Equal texts when ASCII letters are compared without case.
[[nodiscard]] bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept;

}  // namespace standin
