// The program's session with the suite's host SDK: activation context, COM apartment,
// host entry object, Configuration reads, and the SDK session with its queries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostsdk/DetectionRecord.h"
#include "hostsdk/InstallationData.h"
#include "hostsdk/OleDate.h"
#include "hostsdk/ProxySettings.h"
#include "hostsdk/SdkInterfaces.h"
#include "hostsdk/Variant.h"
#include "support/ComPtr.h"
#include "support/Scoped.h"
#include "support/ScopedVariant.h"

namespace zentrak::hostsdk {

// The process's activation context for the SDK's side-by-side assemblies, built from the
// program's manifest resource 101 with the installation folder as assembly directory.
class SdkActivationContext {
 public:
  explicit SdkActivationContext(std::wstring installation_folder);

  // INVALID_HANDLE_VALUE when creation failed.
  [[nodiscard]] HANDLE handle() const noexcept { return handle_.get(); }
  // The Windows error code of a failed creation, else 0.
  [[nodiscard]] DWORD error() const noexcept { return error_; }
  [[nodiscard]] const std::wstring& installation_folder() const noexcept { return folder_; }

 private:
  std::wstring folder_;
  ScopedActCtx handle_;
  DWORD error_ = 0;
};

// Created by the first call and kept for the process; none (now and on every later call)
// when the setup's "Path" cannot be read.
[[nodiscard]] const SdkActivationContext* GetActivationContext();

// Activates the context for the length of the run, when it has a usable handle.
class ActivationScope {
 public:
  explicit ActivationScope(const SdkActivationContext& context) noexcept;
  ~ActivationScope();
  ActivationScope(const ActivationScope&) = delete;
  ActivationScope& operator=(const ActivationScope&) = delete;
  [[nodiscard]] bool activated() const noexcept { return cookie_.valid(); }

 private:
  ScopedActCtxCookie cookie_;
};

// The thread's COM apartment (multithreaded), left only if entering it succeeded.
class ComScope {
 public:
  ComScope() noexcept;
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  [[nodiscard]] HRESULT result() const noexcept { return apartment_.get(); }

 private:
  ScopedComApartment apartment_;
};

// The host entry object; empty when it could not be created.
using HostEntry = ComPtr<IHostEntry>;

// Creates and initialises a host entry object with the program's SDK data resource.
// Every failure but E_NOINTERFACE raises the COM error; an empty object raises E_POINTER
// when it is initialised.
[[nodiscard]] HostEntry CreateHostEntry();

// What the host entry's method 3 gives for a ProgID (or a named entry map such as
// "VPN_GetTraffic"); the HRESULT is not looked at.
[[nodiscard]] ScopedVariant CreateObjectVariant(const HostEntry& host, const wchar_t* progid);

// The object of a ProgID as the interface the caller holds it as; empty when the host
// entry is empty or the SDK gives no object.
template <typename I>
[[nodiscard]] ComPtr<I> CreateObject(const HostEntry& host, const wchar_t* progid) {
  if (!host) return {};
  const ScopedVariant object = CreateObjectVariant(host, progid);
  return VariantToInterface<I>(object.get());
}

// Reads of Configuration items. An item counts as read only when the SDK answers exactly
// S_OK; a number only when it is a 32-bit integer VARIANT and a text only when it is a
// BSTR.
class Configuration {
 public:
  // A "Tessel.Configuration" object of the host entry.
  explicit Configuration(const HostEntry& host);
  explicit Configuration(ComPtr<IConfiguration> object) noexcept : object_(std::move(object)) {}

  [[nodiscard]] bool exists() const noexcept { return !object_.empty(); }
  // The item's VARIANT (starting as VT_INT 0); none unless the SDK answered S_OK.
  [[nodiscard]] std::optional<ScopedVariant> Read(std::uint32_t item) const;
  // An item returned with a value (not VT_EMPTY), converted to text. These never raise:
  // an error during the read, or a value that does not convert, makes it fail.
  [[nodiscard]] std::optional<std::wstring> ReadAsText(std::uint32_t item) const;
  [[nodiscard]] std::optional<std::wstring> ReadText(std::uint32_t item) const;
  [[nodiscard]] std::optional<std::int32_t> ReadNumber(std::uint32_t item) const;

 private:
  ComPtr<IConfiguration> object_;
};

// The SDK session: its own host entry object and the Configuration, License and Reports
// objects. Any of them may be empty; each operation checks what it needs.
class HostSdkSession {
 public:
  // A session without the SDK: every read and query fails.
  HostSdkSession() = default;
  // Creates the Configuration, License and Reports objects from the host entry.
  explicit HostSdkSession(HostEntry host);
  // Releases Configuration, License and Reports (in that order), then the host entry.
  ~HostSdkSession();
  HostSdkSession(const HostSdkSession&) = default;
  HostSdkSession& operator=(const HostSdkSession&) = default;

  [[nodiscard]] const HostEntry& host() const noexcept { return host_; }
  [[nodiscard]] Configuration configuration() const { return Configuration(configuration_); }

  // The value only when the Configuration object answered S_OK.
  [[nodiscard]] std::optional<std::int32_t> ReadNumber(std::uint32_t item) const;
  [[nodiscard]] std::optional<std::wstring> ReadText(std::uint32_t item) const;
  // Server, user and password, each read only after the previous one was; a text is stored
  // as soon as it is read (so a failed later read leaves the earlier ones stored). True only
  // when all three were stored. Conversion errors are not caught.
  [[nodiscard]] bool ReadProxySettings(ProxySettings& proxy) const;
  // The installation time as a local-time date; the converted zero FILETIME when it
  // cannot be read.
  [[nodiscard]] OleDate InstallationDate() const;
  // "%Y-%m-%dT%H:%M:%S" of the installation time in UTC (the SDK's local FILETIME
  // converted with the offset in force at the installation); empty when it cannot be
  // read.
  [[nodiscard]] std::wstring InstallationDateText() const;

  // The selected detections reported since the start date (0: since the installation,
  // and never more than max_age_days back), one record per detection with its latest
  // report time. The result list is cleared first; records found before an error stay.
  // True when the list is not empty and no error ended the query. Pages of 50 are asked
  // while they come back full, at most 20,000 of them (a million reports); no page is
  // walked past 50 entries, whatever count it gives. With coverage, also what the query
  // covered: its end ("now", UTC) and whether it read every page without an error.
  [[nodiscard]] bool DetectionQuery(const OleDate& start, std::int32_t max_age_days,
                                    const std::vector<DetectionRecord>& selection,
                                    std::vector<DetectionRecord>& result,
                                    QueryCoverage* coverage = nullptr) const;

  // Products, operating-system facts and suite facts. Fields whose read fails keep their
  // value. True when at least one product was read and the Configuration object exists.
  [[nodiscard]] bool FillInstallationData(InstallationData& data) const;
  // Appends the products of the licence data; true when the list is not empty afterwards.
  [[nodiscard]] bool ReadProducts(std::vector<ProductRecord>& products) const;
  // False only without the Configuration object.
  [[nodiscard]] bool ReadOsFacts(OsFacts& facts) const;

 private:
  HostEntry host_;
  ComPtr<IConfiguration> configuration_;
  ComPtr<ILicense> license_;
  ComPtr<IReports> reports_;
};

}  // namespace zentrak::hostsdk
