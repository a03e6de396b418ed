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

// Time limits of every request, in milliseconds: a server that answers slowly or a byte
// at a time must not hold the run (and its lock) for long. Name resolution, connection,
// sending, each receive, and the response headers have their own limit; the whole
// request, its body included, has one more, checked between reads (so it may run over
// by at most one receive).
inline constexpr int kResolveTimeoutMs = 10'000;
inline constexpr int kConnectTimeoutMs = 10'000;
inline constexpr int kSendTimeoutMs = 30'000;
inline constexpr int kReceiveTimeoutMs = 30'000;
inline constexpr int kHeadersTimeoutMs = 30'000;
inline constexpr std::uint64_t kRequestLimitMs = 60'000;

// What a request needs of a URL: its host, and the object name from the first character
// of the path to the end (the query and anything after it included). Scheme, port and
// credentials written in the URL play no part. None when WinHttpCrackUrl rejects it.
struct CrackedUrl {
  std::wstring host;
  std::wstring object;
};
[[nodiscard]] std::optional<CrackedUrl> CrackUrl(const std::wstring& url);

// An open WinHTTP request with its session and connection; they close in reverse order.
// `deadline` is the tick count (GetTickCount64) the whole request must end by.
struct OpenedRequest {
  ScopedWinHttpHandle session;
  ScopedWinHttpHandle connection;
  ScopedWinHttpHandle request;
  std::uint64_t deadline = 0;
};

// Opens a synchronous session with the user agent (through the named proxy when its text
// is not empty, otherwise directly, never the system's proxy settings), connects to the
// URL's host on the scheme's default port without the secure flag (plain HTTP on 80,
// whatever the URL says) and opens a request with the verb for the URL's object name,
// default version, no referrer, no accepted types, with the time limits above. None when
// any step fails.
[[nodiscard]] std::optional<OpenedRequest> OpenRequest(const wchar_t* user_agent,
                                                       const std::wstring& proxy_server,
                                                       const wchar_t* verb,
                                                       const std::wstring& url);

// True only when a 200 came back and its whole body was written to `destination`, which
// is deleted first, within the time limits. The request goes as plain HTTP to port 80
// whatever the URL says, through the named proxy when its server text is not empty, with
// at most one retry carrying the proxy credentials, only after the proxy's own 407 and
// only with the strongest scheme it offers (never Basic: see ProxyAuth.h).
[[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& destination,
                                const hostsdk::ProxySettings& proxy,
                                const std::wstring& user_agent);

}  // namespace zentrak::transport
