#include "transport/HttpDownload.h"

#include <windows.h>
#include <winhttp.h>

#include <new>
#include <optional>
#include <vector>

#include "support/Files.h"
#include "support/Scoped.h"
#include "transport/ProxyAuth.h"
#include "transport/TransportTracePoints.h"

namespace zentrak::transport {

static_assert(WINHTTP_AUTH_SCHEME_BASIC == kSchemeBasic &&
                  WINHTTP_AUTH_SCHEME_NTLM == kSchemeNtlm &&
                  WINHTTP_AUTH_SCHEME_DIGEST == kSchemeDigest &&
                  WINHTTP_AUTH_SCHEME_NEGOTIATE == kSchemeNegotiate,
              "the scheme bits are WinHTTP's");

std::optional<CrackedUrl> CrackUrl(const std::wstring& url) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUserNameLength = static_cast<DWORD>(-1);
  parts.dwPasswordLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return std::nullopt;
  CrackedUrl cracked;
  if (parts.lpszHostName != nullptr)
    cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  if (parts.lpszUrlPath != nullptr) {
    const std::size_t start = static_cast<std::size_t>(parts.lpszUrlPath - url.c_str());
    if (start <= url.size()) cracked.object = url.substr(start);
  }
  return cracked;
}

namespace {

// Deletes any old file and writes the response body to a new one. A destination that
// cannot be deleted or created fails before anything is written, so the body is never
// appended to old contents.
bool WriteBody(HINTERNET request, const std::wstring& destination, std::uint64_t deadline) {
  if (!files::ClearReparsePoint(destination) ||
      (files::Exists(destination) && !::DeleteFileW(destination.c_str()))) {
    return false;
  }
  ScopedHandle file(::CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;

  // A declared length the body does not reach means it was cut short.
  DWORD declared = 0;
  DWORD declared_size = sizeof(declared);
  const bool has_length =
      ::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &declared, &declared_size,
                            WINHTTP_NO_HEADER_INDEX) != FALSE;
  if (has_length && declared > kMaxDownloadBytes) return false;

  std::uint64_t total = 0;
  for (;;) {
    if (::GetTickCount64() > deadline) {
      ZTRACE(tp::kRequestTimeLimit, static_cast<std::int32_t>(kRequestLimitMs / 1000));
      return false;
    }
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) return false;
    if (available == 0) break;
    if (total + available > kMaxDownloadBytes) return false;
    std::vector<std::uint8_t> buffer;
    try {
      buffer.assign(available, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    DWORD read = 0;
    if (!::WinHttpReadData(request, buffer.data(), available, &read) || read > available) {
      return false;
    }
    if (read == 0) break;
    DWORD written = 0;
    if (!::WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) {
      return false;
    }
    total += read;
  }
  return !has_length || total == declared;
}

}  // namespace

std::optional<OpenedRequest> OpenRequest(const wchar_t* user_agent,
                                         const std::wstring& proxy_server, const wchar_t* verb,
                                         const std::wstring& url) {
  const auto cracked = CrackUrl(url);
  if (!cracked) return std::nullopt;
  const bool use_proxy = !proxy_server.empty();
  OpenedRequest opened;
  opened.session.reset(::WinHttpOpen(
      user_agent, use_proxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
      use_proxy ? proxy_server.c_str() : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!opened.session) return std::nullopt;
  opened.deadline = ::GetTickCount64() + kRequestLimitMs;
  if (!::WinHttpSetTimeouts(opened.session.get(), kResolveTimeoutMs, kConnectTimeoutMs,
                            kSendTimeoutMs, kReceiveTimeoutMs)) {
    return std::nullopt;
  }
  // Port 0 is the scheme's default, and without the secure flag that is plain HTTP on 80.
  opened.connection.reset(
      ::WinHttpConnect(opened.session.get(), cracked->host.c_str(), INTERNET_DEFAULT_PORT, 0));
  if (!opened.connection) return std::nullopt;
  opened.request.reset(::WinHttpOpenRequest(
      opened.connection.get(), verb, cracked->object.empty() ? nullptr : cracked->object.c_str(),
      nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!opened.request) return std::nullopt;
  DWORD headers_timeout = kHeadersTimeoutMs;
  if (!::WinHttpSetOption(opened.request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                          &headers_timeout, sizeof(headers_timeout))) {
    return std::nullopt;
  }
  return opened;
}

bool DownloadFile(const std::wstring& url, const std::wstring& destination,
                  const hostsdk::ProxySettings& proxy, const std::wstring& user_agent) {
  ZTRACE(tp::kDownloadBegins, url, destination);
  const auto opened = OpenRequest(user_agent.c_str(), proxy.server, L"GET", url);
  if (!opened) return false;
  const bool use_proxy = !proxy.server.empty();
  const HINTERNET request = opened->request.get();

  bool credentials_pending = false;
  DWORD scheme = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (credentials_pending &&
        !::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, proxy.user.c_str(),
                                 proxy.password.c_str(), nullptr)) {
      return false;
    }
    if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                              0, 0) ||
        !::WinHttpReceiveResponse(request, nullptr)) {
      return false;
    }
    DWORD status = 0;
    DWORD status_size = sizeof(status);
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
                               WINHTTP_NO_HEADER_INDEX)) {
      return false;
    }
    if (status == HTTP_STATUS_OK) return WriteBody(request, destination, opened->deadline);
    // Only the proxy's own challenge gets the proxy's credentials: a 401 comes from the
    // origin, which must never see them.
    if (status != HTTP_STATUS_PROXY_AUTH_REQ || attempt != 0 || !use_proxy) return false;
    DWORD supported = 0;
    DWORD first = 0;
    DWORD target = 0;
    if (!::WinHttpQueryAuthSchemes(request, &supported, &first, &target) ||
        target != WINHTTP_AUTH_TARGET_PROXY) {
      return false;
    }
    const auto chosen = ChooseProxyScheme(supported);
    if (!chosen) {
      ZTRACE(tp::kProxySchemeRefused, static_cast<std::int32_t>(supported));
      return false;
    }
    scheme = *chosen;
    credentials_pending = true;
  }
  return false;
}

}  // namespace zentrak::transport
