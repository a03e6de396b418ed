// The program's HTTP download: a GET through WinHTTP whose body is stored in a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hostsdk/ProxySettings.h"
#include "support/Scoped.h"

namespace zentrak::transport {

// Far above any configuration file: a longer body fails the download instead of
// filling the disk.
inline constexpr std::uint64_t kMaxDownloadBytes = 64ull * 1024 * 1024;

// What a request needs of a URL: its host, and the object name from the first character
// of the path to the end (the query and anything after it included). Scheme, port and
// credentials written in the URL play no part. None when WinHttpCrackUrl rejects it.
struct CrackedUrl {
  std::wstring host;
  std::wstring object;
};
[[nodiscard]] std::optional<CrackedUrl> CrackUrl(const std::wstring& url);

// An open WinHTTP request with its session and connection; they close in reverse order.
struct OpenedRequest {
  ScopedWinHttpHandle session;
  ScopedWinHttpHandle connection;
  ScopedWinHttpHandle request;
};

// Opens a synchronous session with the user agent (through the named proxy when its text
// is not empty, otherwise directly, never the system's proxy settings), connects to the
// URL's host on the scheme's default port without the secure flag (plain HTTP on 80,
// whatever the URL says) and opens a request with the verb for the URL's object name,
// default version, no referrer, no accepted types. None when any step fails.
[[nodiscard]] std::optional<OpenedRequest> OpenRequest(const wchar_t* user_agent,
                                                       const std::wstring& proxy_server,
                                                       const wchar_t* verb,
                                                       const std::wstring& url);

// True only when a 200 came back and its whole body was written to `destination`, which
// is deleted first. The request goes as plain HTTP to port 80 whatever the URL says,
// through the named proxy when its server text is not empty, with at most one retry
// carrying the proxy credentials after a 401 or 407.
[[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& destination,
                                const hostsdk::ProxySettings& proxy,
                                const std::wstring& user_agent);

}  // namespace zentrak::transport
