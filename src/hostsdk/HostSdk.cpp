#include "hostsdk/HostSdk.h"

#include <objbase.h>
#include <ole2.h>

#include <cstring>
#include <exception>

#include "hostsdk/ConfigItems.h"
#include "hostsdk/HostSdkTracePoints.h"
#include "support/Registry.h"
#include "support/ScopedBstr.h"
#include "support/ScopedSafeArray.h"
#include "support/SetupRegistry.h"

namespace zentrak::hostsdk {
namespace {

// The program's resources for the SDK.
constexpr WORD kSdkManifestId = 101;
constexpr WORD kSdkDataType = 1000;
constexpr WORD kSdkDataId = 102;

// Assembly directory, resource name and module handle are valid.
constexpr DWORD kActivationFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID |
                                   ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
static_assert(kActivationFlags == 0x8C);
#ifdef _WIN64
static_assert(sizeof(ACTCTXW) == 56, "the 64-bit activation request (x86-64 test build)");
#else
static_assert(sizeof(ACTCTXW) == 32, "the 32-bit activation request");
#endif

std::optional<SdkActivationContext> CreateActivationContext() {
  const auto setup = RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kSetupKey, KEY_READ);
  if (!setup) return std::nullopt;
  auto folder = setup->ReadString(setup::kPathValue, setup::kTextCapacity);
  if (!folder) return std::nullopt;
  return SdkActivationContext(std::move(*folder));
}

HRESULT LastErrorResult() noexcept {
  const DWORD error = ::GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The data resource, tag included, as a one-dimensional VT_UI1 array from index 0.
ScopedSafeArray LoadSdkData() {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC found =
      ::FindResourceW(module, MAKEINTRESOURCEW(kSdkDataId), MAKEINTRESOURCEW(kSdkDataType));
  if (found == nullptr) throw ComError(LastErrorResult());
  const HGLOBAL loaded = ::LoadResource(module, found);
  if (loaded == nullptr) throw ComError(LastErrorResult());
  const void* bytes = ::LockResource(loaded);
  const DWORD size = ::SizeofResource(module, found);
  if (bytes == nullptr && size != 0) throw ComError(LastErrorResult());

  ScopedSafeArray array(::SafeArrayCreateVector(VT_UI1, 0, size));
  if (!array) throw ComError(E_OUTOFMEMORY);
  void* data = nullptr;
  ThrowIfFailed(::SafeArrayAccessData(array.get(), &data));
  if (size != 0) std::memcpy(data, bytes, size);
  ThrowIfFailed(::SafeArrayUnaccessData(array.get()));
  return array;
}

}  // namespace

SdkActivationContext::SdkActivationContext(std::wstring installation_folder)
    : folder_(std::move(installation_folder)) {
  ACTCTXW request{};
  request.cbSize = sizeof(request);
  request.dwFlags = kActivationFlags;
  request.lpAssemblyDirectory = folder_.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(kSdkManifestId);
  request.hModule = ::GetModuleHandleW(nullptr);
  handle_.reset(::CreateActCtxW(&request));
  if (!handle_) {
    error_ = ::GetLastError();
    ZTRACE(tp::kActivationContextCreateFailed, error_);
  }
}

const SdkActivationContext* GetActivationContext() {
  static const std::optional<SdkActivationContext> context = [] {
    auto created = CreateActivationContext();
    if (!created) ZTRACE(tp::kNoInstallationFolder);
    return created;
  }();
  return context ? &*context : nullptr;
}

ActivationScope::ActivationScope(const SdkActivationContext& context) noexcept {
  const HANDLE handle = context.handle();
  ULONG_PTR cookie = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && ::ActivateActCtx(handle, &cookie)) {
    cookie_.reset(cookie);
  }
}

ActivationScope::~ActivationScope() = default;

ComScope::ComScope() noexcept : apartment_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}

ComScope::~ComScope() = default;

HostEntry CreateHostEntry() {
  HostEntry host;
  {
    ComPtr<IUnknown> unknown;
    HRESULT hr =
        ::CoCreateInstance(kHostEntryClsid, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.put_void());
    if (SUCCEEDED(hr)) hr = ::OleRun(unknown.get());
    if (SUCCEEDED(hr)) hr = unknown->QueryInterface(__uuidof(IHostEntry), host.put_void());
    if (FAILED(hr) && hr != E_NOINTERFACE) throw ComError(hr);
  }
  const ScopedSafeArray data = LoadSdkData();
  const ScopedVariant argument = ArrayToVariant(data.get());
  (void)host->Initialize(argument.get());
  return host;
}

ScopedVariant CreateObjectVariant(const HostEntry& host, const wchar_t* progid) {
  ScopedVariant object;
  const ScopedBstr name{std::wstring_view(progid)};
  (void)host->CreateObject(name.get(), object.Receive());
  return object;
}

Configuration::Configuration(const HostEntry& host)
    : object_(CreateObject<IConfiguration>(host, progid::kConfiguration)) {}

std::optional<ScopedVariant> Configuration::Read(std::uint32_t item) const {
  if (!object_) return std::nullopt;
  ScopedVariant value = ConfigurationOutStart();
  const HRESULT hr = object_->GetItem(0, static_cast<long>(item), value.Mutable());
  if (hr != S_OK) {
    ZTRACE(tp::kConfigurationReadError, item, hr);
    return std::nullopt;
  }
  return value;
}

std::optional<std::wstring> Configuration::ReadAsText(std::uint32_t item) const {
  // Caught here, as at every Configuration read: a value that does not convert (an object
  // where a text belongs) must not end the run before it reported anything.
  try {
    const auto value = Read(item);
    if (!value || value->type() == VT_EMPTY) return std::nullopt;
    return VariantToText(value->get());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::wstring> Configuration::ReadText(std::uint32_t item) const {
  try {
    const auto value = Read(item);
    return value ? BstrField(value->get()) : std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::int32_t> Configuration::ReadNumber(std::uint32_t item) const {
  try {
    const auto value = Read(item);
    return value ? Int32Value(value->get()) : std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

HostSdkSession::HostSdkSession(HostEntry host) : host_(std::move(host)) {
  configuration_ = CreateObject<IConfiguration>(host_, progid::kConfiguration);
  license_ = CreateObject<ILicense>(host_, progid::kLicense);
  reports_ = CreateObject<IReports>(host_, progid::kReports);
}

HostSdkSession::~HostSdkSession() {
  configuration_.reset();
  license_.reset();
  reports_.reset();
}

std::optional<std::int32_t> HostSdkSession::ReadNumber(std::uint32_t item) const {
  return configuration().ReadNumber(item);
}

std::optional<std::wstring> HostSdkSession::ReadText(std::uint32_t item) const {
  return configuration().ReadText(item);
}

bool HostSdkSession::ReadProxySettings(ProxySettings& proxy) const {
  const Configuration config = configuration();
  if (!config.exists()) return false;
  const auto server = config.Read(item::kProxyServer);
  if (!server) return false;
  proxy.server = VariantToText(server->get());
  const auto user = config.Read(item::kProxyUser);
  if (!user) return false;
  proxy.user = VariantToText(user->get());
  const auto password = config.Read(item::kProxyPassword);
  if (!password) return false;
  proxy.password = VariantToText(password->get());
  return true;
}

namespace {

// The installation FILETIME (local time) from its two Configuration items.
std::optional<FILETIME> InstallationFileTime(const HostSdkSession& session) {
  const auto low = session.ReadNumber(item::kInstallTimeLow);
  const auto high = session.ReadNumber(item::kInstallTimeHigh);
  if (!low || !high) return std::nullopt;
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(*low);
  time.dwHighDateTime = static_cast<DWORD>(*high);
  return time;
}

}  // namespace

OleDate HostSdkSession::InstallationDate() const {
  const auto local = InstallationFileTime(*this);
  FILETIME utc{};
  if (local && !::LocalFileTimeToFileTime(&*local, &utc)) return OleDate::Invalid();
  return FileTimeToDate(utc);
}

std::wstring HostSdkSession::InstallationDateText() const {
  const auto local = InstallationFileTime(*this);
  if (!local) return {};
  // UTC, like every time the run compares it with and the state file keeps.
  return FormatDate(LocalFileTimeToUtcDate(*local), kDateFormat);
}

}  // namespace zentrak::hostsdk
