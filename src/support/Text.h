// Text helpers shared by every subsystem. Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentrak::text {

// ASCII-only case folding, as the C locale compares switches and digests.
[[nodiscard]] bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept;
[[nodiscard]] bool StartsWithIgnoreCase(std::wstring_view text, std::wstring_view prefix) noexcept;
[[nodiscard]] std::wstring ToUpperAscii(std::wstring_view text);

// One byte per character, as the "C" conversion of a wide file stream writes it.
// A character above U+00FF has no byte and becomes "?" (the stream would stop there
// and lose the rest of the text).
[[nodiscard]] std::string ToSingleByte(std::wstring_view text);

// The bytes a wide stream in the classic locale writes: one per character, ending at
// the first character above U+00FF, which it cannot convert.
[[nodiscard]] std::string SingleBytePrefix(std::wstring_view text);

// What a text-mode stream stores: every line feed becomes carriage return, line feed.
[[nodiscard]] std::string ToTextModeLineEnds(std::string_view bytes);

// UTF-8 for logs meant for people and scripts; unpaired surrogates become U+FFFD.
[[nodiscard]] std::string ToUtf8(std::wstring_view text);
// Appends one code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, std::uint32_t code_point);
// Widening of bytes one per character (ASCII and Latin-1 texts of the program).
[[nodiscard]] std::wstring FromSingleByte(std::string_view bytes);

enum class JsonEscapeNonLatin1 : bool { kNo, kYes };

// The JSON string escaping of RFC 8259: quotation mark, reverse solidus and the
// control characters below U+0020. With kYes, every character above U+00FF is also
// written as \uXXXX (a supplementary character as its surrogate pair), so that the
// result survives a one-byte-per-character file unchanged.
[[nodiscard]] std::wstring JsonEscape(std::wstring_view text, JsonEscapeNonLatin1 mode);

}  // namespace zentrak::text
