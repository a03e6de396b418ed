// The client of the suite's communications library for one event document transfer or
// one download: it holds the proxy settings, the agent host name and the loaded library.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "hostsdk/HostSdk.h"
#include "hostsdk/ProxySettings.h"
#include "support/Scoped.h"
#include "transport/CommsLibrary.h"

namespace zentrak::transport {

// Where the device-management agent keeps its enciphered host name.
inline constexpr wchar_t kAgentKeyPath[] =
    L"Software\\Kelvo Security\\Orvix Agent\\Config\\Services\\DEFAULTS";
inline constexpr wchar_t kAgentValueName[] = L"Hostname";
// The value's buffer: 260 bytes, 129 UTF-16 characters and the terminator.
inline constexpr std::size_t kAgentValueCapacity = 130;
// Characters in front of the enciphered part of the value.
inline constexpr std::size_t kAgentValuePrefixLength = 9;

class CommsClient {
 public:
  // Never fails: each part that cannot be had (host name, proxy settings, library)
  // stays empty. The session is not owned and may be absent.
  explicit CommsClient(const hostsdk::HostSdkSession* session);
  ~CommsClient() = default;  // unloads the library
  CommsClient(const CommsClient&) = delete;
  CommsClient& operator=(const CommsClient&) = delete;

  // Hands the file to the library on the events channel; true when the library reports
  // it transferred and the channel closed.
  [[nodiscard]] bool TransferEvents(const std::wstring& path);

  // GET of `url` into `destination` with this client's proxy settings (HttpDownload.h).
  [[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& destination,
                                  const std::wstring& user_agent) const;

  [[nodiscard]] const std::wstring& agent_host_name() const noexcept { return host_name_; }
  [[nodiscard]] const hostsdk::ProxySettings& proxy() const noexcept { return proxy_; }
  [[nodiscard]] bool library_loaded() const noexcept { return get_util_ != nullptr; }

 private:
  void ReadAgentHostName();
  void LoadCommsLibrary();

  hostsdk::ProxySettings proxy_;
  const hostsdk::HostSdkSession* session_;
  std::wstring host_name_;
  ScopedModule module_;
  comms::GetUtilFunction get_util_ = nullptr;
};

// The agent value as the comms client reads it: converted to the thread's ANSI code page
// and without its first nine characters. None when it is shorter than that.
[[nodiscard]] std::optional<std::string> EncipheredPartOfAgentValue(const std::wstring& value);

}  // namespace zentrak::transport
