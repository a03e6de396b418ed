// Proxy settings read from the host SDK's Configuration items. Portable.
#pragma once

#include <string>

namespace zentrak::hostsdk {

struct ProxySettings {
  std::wstring server;
  std::wstring user;
  std::wstring password;
};

}  // namespace zentrak::hostsdk
