#include "support/Registry.h"

namespace zentrak {
namespace {

bool TypeAccepted(RegType wanted, DWORD stored) noexcept {
  switch (wanted) {
    case RegType::kAny:
      return true;
    case RegType::kString:
      return stored == REG_SZ || stored == REG_EXPAND_SZ;
    case RegType::kDword:
      return stored == REG_DWORD;
  }
  return false;
}

}  // namespace

std::optional<RegistryKey> RegistryKey::Open(HKEY root, const wchar_t* path,
                                             REGSAM access) noexcept {
  HKEY key = nullptr;
  // The suite's 32-bit installer writes its values in the 32-bit view; a 64-bit build
  // (the x86-64 test build) must read them there too, as the 32-bit program does.
  if (::RegOpenKeyExW(root, path, 0, access | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegistryKey(key);
}

std::optional<RegistryKey> RegistryKey::OpenSubkey(const wchar_t* path,
                                                   REGSAM access) const noexcept {
  return Open(key_.get(), path, access);
}

std::optional<std::vector<std::uint8_t>> RegistryKey::ReadBytes(const wchar_t* name,
                                                                std::size_t capacity,
                                                                RegType type) const {
  std::vector<std::uint8_t> buffer(capacity, 0);
  DWORD stored_type = REG_NONE;
  DWORD size = static_cast<DWORD>(capacity);
  if (::RegQueryValueExW(key_.get(), name, nullptr, &stored_type,
                         capacity == 0 ? nullptr : buffer.data(), &size) != ERROR_SUCCESS ||
      size > capacity || !TypeAccepted(type, stored_type)) {
    return std::nullopt;
  }
  buffer.resize(size);
  return buffer;
}

std::optional<std::uint32_t> RegistryKey::ReadDword(const wchar_t* name, RegType type) const {
  const auto bytes = ReadBytes(name, sizeof(std::uint32_t), type);
  if (!bytes) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes->size(); ++i) value |= std::uint32_t{(*bytes)[i]} << (8 * i);
  return value;
}

std::optional<std::wstring> RegistryKey::ReadString(const wchar_t* name, std::size_t capacity,
                                                    RegType type) const {
  const auto bytes = ReadBytes(name, capacity * sizeof(wchar_t), type);
  if (!bytes) return std::nullopt;
  std::wstring text(bytes->size() / sizeof(wchar_t), L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>((*bytes)[2 * i] | ((*bytes)[2 * i + 1] << 8));
  }
  const std::size_t end = text.find(L'\0');
  // A buffer filled to its last unit without a terminator did not fit.
  if (end == std::wstring::npos && text.size() >= capacity) return std::nullopt;
  if (end != std::wstring::npos) text.resize(end);
  return text;
}

std::optional<std::uint32_t> RegistryKey::SubkeyCount() const noexcept {
  DWORD count = 0;
  if (::RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return count;
}

std::optional<std::wstring> RegistryKey::SubkeyName(std::uint32_t index,
                                                    std::size_t capacity) const {
  std::wstring name(capacity, L'\0');
  DWORD length = static_cast<DWORD>(capacity);
  if (capacity == 0 || ::RegEnumKeyExW(key_.get(), index, name.data(), &length, nullptr, nullptr,
                                       nullptr, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  name.resize(length);
  return name;
}

}  // namespace zentrak
