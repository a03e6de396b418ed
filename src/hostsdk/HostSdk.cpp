#include "hostsdk/HostSdk.h"

#include <objbase.h>

namespace zentrak::hostsdk {

const SdkActivationContext* GetActivationContext() { return nullptr; }

ActivationScope::ActivationScope(const SdkActivationContext& context) noexcept {
  const HANDLE handle = context.handle();
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    activated_ = ::ActivateActCtx(handle, &cookie_) != FALSE;
  }
}

ActivationScope::~ActivationScope() {
  if (activated_) ::DeactivateActCtx(0, cookie_);
}

ComScope::ComScope() noexcept : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}

ComScope::~ComScope() {
  if (SUCCEEDED(result_)) ::CoUninitialize();
}

HostEntry CreateHostEntry() { return HostEntry{}; }

Configuration::Configuration(const HostEntry& /*host*/) {}

std::optional<std::wstring> Configuration::ReadAsText(std::uint32_t /*item*/) const {
  return std::nullopt;
}

std::optional<std::wstring> Configuration::ReadText(std::uint32_t /*item*/) const {
  return std::nullopt;
}

std::optional<std::int32_t> Configuration::ReadNumber(std::uint32_t /*item*/) const {
  return std::nullopt;
}

std::optional<std::int32_t> HostSdkSession::ReadNumber(std::uint32_t /*item*/) const {
  return std::nullopt;
}

bool HostSdkSession::ReadProxySettings(ProxySettings& /*proxy*/) const { return false; }

std::optional<std::wstring> HostSdkSession::ReadText(std::uint32_t /*item*/) const {
  return std::nullopt;
}

std::wstring HostSdkSession::InstallationDateText() const { return {}; }

}  // namespace zentrak::hostsdk
