#include "sysinfo/VersionInfo.h"

#include <windows.h>

#include <cwchar>
#include <exception>
#include <vector>

#include "support/Module.h"
#include "support/Registry.h"
#include "support/Scoped.h"
#include "sysinfo/VersionText.h"

namespace zentrak::sysinfo {
namespace {

constexpr wchar_t kNdpKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP";
constexpr wchar_t kNdp4FullKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
constexpr REGSAM kDotNetAccess = KEY_READ | KEY_WOW64_32KEY;
constexpr std::size_t kSubkeyNameCapacity = 260;
// "Version" is read into 260 bytes.
constexpr std::size_t kVersionCapacity = 260 / sizeof(wchar_t);
constexpr std::size_t kModuleNameCapacity = 260;

// The "Version" of a setup key whose "Install" is 1.
std::optional<std::wstring> InstalledVersion(const RegistryKey& key, bool install_read,
                                             std::uint32_t install) {
  if (!install_read || install != 1) return std::nullopt;
  return key.ReadString(L"Version", kVersionCapacity);
}

std::optional<std::wstring> SubkeyVersion(const RegistryKey& subkey) {
  if (const auto install = subkey.ReadDword(L"Install", RegType::kAny)) {
    return InstalledVersion(subkey, true, *install);
  }
  const auto client = subkey.OpenSubkey(L"Client", kDotNetAccess);
  if (!client) return std::nullopt;
  const auto install = client->ReadDword(L"Install", RegType::kAny);
  return InstalledVersion(*client, install.has_value(), install.value_or(0));
}

std::optional<std::wstring> ModuleFileName() {
  wchar_t name[kModuleNameCapacity] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, name, kModuleNameCapacity);
  if (length == 0 || length >= kModuleNameCapacity) return std::nullopt;
  return std::wstring(name, length);
}

using GetSizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetInfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryValueFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

}  // namespace

bool GetDotNetVersion(std::wstring& text) {
  std::wstring best;
  if (const auto ndp = RegistryKey::Open(HKEY_LOCAL_MACHINE, kNdpKey, kDotNetAccess)) {
    const std::uint32_t count = ndp->SubkeyCount().value_or(0);
    for (std::uint32_t index = 0; index < count; ++index) {
      const auto name = ndp->SubkeyName(index, kSubkeyNameCapacity);
      if (!name || name->empty() || (*name)[0] != L'v') continue;
      const auto subkey = ndp->OpenSubkey(name->c_str(), kDotNetAccess);
      if (!subkey) continue;
      if (auto version = SubkeyVersion(*subkey); version && best < *version) {
        best = std::move(*version);
      }
    }
  }
  text = std::move(best);
  return !text.empty();
}

bool GetDotNetRelease(std::wstring& text) {
  const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, kNdp4FullKey, kDotNetAccess);
  if (!key) return false;
  const auto release = key->ReadDword(L"Release", RegType::kAny);
  if (!release) return false;
  text = std::to_wstring(*release);
  return true;
}

bool GetFileVersionText(std::wstring& text) {
  const ScopedModule library(::LoadLibraryW(L"Version.dll"));
  if (!library) return false;
  const auto get_size = ProcAddress<GetSizeFunction>(library.get(), "GetFileVersionInfoSizeW");
  const auto query_value = ProcAddress<QueryValueFunction>(library.get(), "VerQueryValueW");
  const auto get_info = ProcAddress<GetInfoFunction>(library.get(), "GetFileVersionInfoW");
  if (get_size == nullptr || query_value == nullptr || get_info == nullptr) return false;

  const auto file = ModuleFileName();
  if (!file) return false;
  DWORD handle = 0;
  const DWORD size = get_size(file->c_str(), &handle);
  if (size == 0) return false;
  std::vector<unsigned char> buffer(std::size_t{size} + 1, 0);
  if (!get_info(file->c_str(), 0, size, buffer.data())) return false;

  void* translation = nullptr;
  UINT translation_length = 0;
  if (!query_value(buffer.data(), L"\\VarFileInfo\\Translation", &translation,
                   &translation_length) ||
      translation == nullptr || translation_length < 2 * sizeof(WORD)) {
    return false;
  }
  const auto* words = static_cast<const WORD*>(translation);
  wchar_t path[64] = {};
  std::swprintf(path, 64, L"\\StringFileInfo\\%04x%04x\\%ls", words[0], words[1], L"FileVersion");
  void* value = nullptr;
  UINT value_length = 0;
  if (!query_value(buffer.data(), path, &value, &value_length) || value == nullptr ||
      value_length == 0) {
    return false;
  }
  const auto* chars = static_cast<const wchar_t*>(value);
  std::wstring found(chars, wcsnlen(chars, value_length));
  if (found.empty()) return false;
  text = std::move(found);
  return true;
}

std::wstring GetProductVersionText() {
  try {
    if (::GetModuleHandleW(nullptr) == nullptr) return kProductVersionFallback;
    const auto file = ModuleFileName();
    if (!file) return kProductVersionFallback;
    WORD major = 0, minor = 0, build = 0, revision = 0;
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file->c_str(), &handle);
    if (size != 0) {
      std::vector<unsigned char> buffer(size, 0);
      void* root = nullptr;
      UINT length = 0;
      if (::GetFileVersionInfoW(file->c_str(), 0, size, buffer.data()) &&
          ::VerQueryValueW(buffer.data(), L"\\", &root, &length) && root != nullptr &&
          length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
        if (fixed->dwSignature == 0xFEEF04BD) {
          major = HIWORD(fixed->dwFileVersionMS);
          minor = LOWORD(fixed->dwFileVersionMS);
          build = HIWORD(fixed->dwFileVersionLS);
          revision = LOWORD(fixed->dwFileVersionLS);
        }
      }
    }
    return ProductVersionText(major, minor, build, revision);
  } catch (const std::exception&) {
    return kProductVersionFallback;
  }
}

}  // namespace zentrak::sysinfo
