#include "support/Text.h"

#include <cstdint>

namespace zentrak::text {
namespace {

constexpr wchar_t FoldAscii(wchar_t c) noexcept {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

constexpr bool IsHighSurrogate(std::uint32_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(std::uint32_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUnicodeEscape(std::wstring& out, std::uint32_t unit) {
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  out += L"\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

}  // namespace

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::wstring_view text, std::wstring_view prefix) noexcept {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::wstring ToUpperAscii(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return out;
}

std::string ToSingleByte(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<std::uint32_t>(text[i]);
    if (c <= 0xFF) {
      out += static_cast<char>(c);
    } else {
      out += '?';
      // A surrogate pair is one character: one replacement for both units.
      if (IsHighSurrogate(c) && i + 1 < text.size() &&
          IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
        ++i;
      }
    }
  }
  return out;
}

std::string SingleBytePrefix(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t ch : text) {
    if (static_cast<std::uint32_t>(ch) > 0xFF) break;
    out += static_cast<char>(ch);
  }
  return out;
}

std::string ToTextModeLineEnds(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = static_cast<std::uint32_t>(text[i]);
    if (IsHighSurrogate(c) && i + 1 < text.size() &&
        IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
      const auto low = static_cast<std::uint32_t>(text[++i]);
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::wstring FromSingleByte(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring JsonEscape(std::wstring_view text, JsonEscapeNonLatin1 mode) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t ch = text[i];
    const auto c = static_cast<std::uint32_t>(ch);
    switch (ch) {
      case L'"':
        out += L"\\\"";
        continue;
      case L'\\':
        out += L"\\\\";
        continue;
      case L'\b':
        out += L"\\b";
        continue;
      case L'\f':
        out += L"\\f";
        continue;
      case L'\n':
        out += L"\\n";
        continue;
      case L'\r':
        out += L"\\r";
        continue;
      case L'\t':
        out += L"\\t";
        continue;
      default:
        break;
    }
    if (c >= 0x20 && (mode == JsonEscapeNonLatin1::kNo || c <= 0xFF)) {
      out += ch;
    } else if (IsHighSurrogate(c) && i + 1 < text.size() &&
               IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
      AppendUnicodeEscape(out, c);
      AppendUnicodeEscape(out, static_cast<std::uint32_t>(text[++i]));
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
      // An unpaired surrogate is no character: a JSON reader would reject its escape.
      AppendUnicodeEscape(out, 0xFFFD);
    } else if (c >= 0x10000) {  // only where wchar_t holds whole code points
      const std::uint32_t v = c - 0x10000;
      AppendUnicodeEscape(out, 0xD800 + (v >> 10));
      AppendUnicodeEscape(out, 0xDC00 + (v & 0x3FF));
    } else {
      AppendUnicodeEscape(out, c);
    }
  }
  return out;
}

}  // namespace zentrak::text
