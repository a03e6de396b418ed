#include "run/FileNames.h"

#include <cwchar>

#include "run/StateFileKeys.h"
#include "support/Text.h"

namespace zentrak::run {
namespace {

bool UnsafeInFileName(wchar_t c) noexcept {
  return c < 0x20 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' ||
         c == L'<' || c == L'>' || c == L'|';
}

int HexValue(wchar_t c) noexcept {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// What a server or a later path operation could make of the part: %XX decoded.
std::wstring PercentDecoded(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<wchar_t>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

std::wstring FormatDocumentStamp(const CivilTime& t) {
  wchar_t buffer[64] = {};
  const int n = std::swprintf(buffer, 64, L"%04d%02d%02d_%02d%02d%02d%03d", t.year, t.month, t.day,
                              t.hour, t.minute, t.second, t.millisecond);
  return n > 0 ? std::wstring(buffer, static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring DocumentFileName(const std::optional<std::wstring>& muid, std::wstring_view stamp) {
  std::wstring name;
  if (muid) {
    name = *muid;
    for (wchar_t& c : name) {
      if (UnsafeInFileName(c)) c = L'_';
    }
    name += L"_";
  }
  name += stamp;
  return name.empty() ? kFallbackDocumentName : name;
}

bool IsDeviceName(std::wstring_view name) noexcept {
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  const std::wstring upper = text::ToUpperAscii(base);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (upper == device) return true;
  }
  return upper.size() == 4 &&
         (upper.compare(0, 3, L"COM") == 0 || upper.compare(0, 3, L"LPT") == 0) &&
         upper[3] >= L'0' && upper[3] <= L'9';
}

std::wstring ConfigFileNamePart(std::wstring_view source, bool is_url) {
  const std::size_t separator = source.find_last_of(is_url ? L'/' : L'\\');
  if (separator == std::wstring_view::npos) return {};
  std::wstring part(source.substr(separator + 1));
  const std::wstring decoded = PercentDecoded(part);
  for (const std::wstring* text : {static_cast<const std::wstring*>(&part), &decoded}) {
    if (*text == L"." || *text == L"..") return {};
    for (wchar_t c : *text) {
      if (c == L'\\' || c == L'/' || c == L':') return {};
    }
    // Windows drops trailing dots and spaces, and maps device names to devices: the file
    // written would not be the one named.
    if (!text->empty() && (text->back() == L'.' || text->back() == L' ')) return {};
    if (IsDeviceName(*text)) return {};
    for (const wchar_t* own :
         {kStateFileName, kInstallationMarkerName, kConfigDownloadName, kLockFileName}) {
      if (text::ToUpperAscii(*text) == text::ToUpperAscii(own)) return {};
    }
  }
  return part;
}

}  // namespace zentrak::run
