// The program's session with the suite's host SDK: activation context, COM apartment,
// host entry object, Configuration reads and the SDK session.
//
// The SDK access is not built yet: GetActivationContext gives none, so a run stops
// before any SDK call, and every read below reports failure.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "hostsdk/ProxySettings.h"

namespace zentrak::hostsdk {

// The process's activation context for the SDK's side-by-side assemblies.
class SdkActivationContext {
 public:
  [[nodiscard]] HANDLE handle() const noexcept { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Created once per process; none when the setup's installation folder is unknown.
[[nodiscard]] const SdkActivationContext* GetActivationContext();

// Activates the context for the length of the run, when it has a usable handle.
class ActivationScope {
 public:
  explicit ActivationScope(const SdkActivationContext& context) noexcept;
  ~ActivationScope();
  ActivationScope(const ActivationScope&) = delete;
  ActivationScope& operator=(const ActivationScope&) = delete;

 private:
  ULONG_PTR cookie_ = 0;
  bool activated_ = false;
};

// The thread's COM apartment (multithreaded), left only if entering it succeeded.
class ComScope {
 public:
  ComScope() noexcept;
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

// The host entry object; empty when it could not be created.
class HostEntry {
 public:
  [[nodiscard]] bool empty() const noexcept { return true; }
};

[[nodiscard]] HostEntry CreateHostEntry();

// The "Tessel.Configuration" object of a host entry.
class Configuration {
 public:
  explicit Configuration(const HostEntry& host);
  // An item the SDK returns with a value, converted to text.
  [[nodiscard]] std::optional<std::wstring> ReadAsText(std::uint32_t item) const;
  [[nodiscard]] std::optional<std::wstring> ReadText(std::uint32_t item) const;
  [[nodiscard]] std::optional<std::int32_t> ReadNumber(std::uint32_t item) const;
};

class HostSdkSession {
 public:
  HostSdkSession() = default;
  // True with the value only when the Configuration object answered S_OK.
  [[nodiscard]] std::optional<std::int32_t> ReadNumber(std::uint32_t item) const;
  [[nodiscard]] std::optional<std::wstring> ReadText(std::uint32_t item) const;
  // True only when server, user and password were all stored.
  [[nodiscard]] bool ReadProxySettings(ProxySettings& proxy) const;
  // "%Y-%m-%dT%H:%M:%S"; empty when the installation time cannot be read.
  [[nodiscard]] std::wstring InstallationDateText() const;
};

}  // namespace zentrak::hostsdk
