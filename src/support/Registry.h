// The one registry reader: opens a key with the stated access, always in the 32-bit view,
// and reads a value into a buffer of the stated size. A value that does not fit its
// buffer counts as not read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/Scoped.h"

namespace zentrak {

// Which stored value types a read accepts.
enum class RegType : std::uint8_t {
  kAny,     // the type is not looked at
  kString,  // REG_SZ or REG_EXPAND_SZ (not expanded)
  kDword,   // REG_DWORD
};

class RegistryKey {
 public:
  [[nodiscard]] static std::optional<RegistryKey> Open(HKEY root, const wchar_t* path,
                                                       REGSAM access) noexcept;
  // Relative to this key.
  [[nodiscard]] std::optional<RegistryKey> OpenSubkey(const wchar_t* path,
                                                      REGSAM access) const noexcept;

  // A value of at most 4 bytes, zero-extended.
  [[nodiscard]] std::optional<std::uint32_t> ReadDword(const wchar_t* name,
                                                       RegType type = RegType::kDword) const;
  // Text read into `capacity` UTF-16 units, terminator included: a value that leaves no
  // room for the terminator is not read. The text ends at its first null character.
  [[nodiscard]] std::optional<std::wstring> ReadString(const wchar_t* name, std::size_t capacity,
                                                       RegType type = RegType::kString) const;
  // Raw bytes, at most `capacity` of them.
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadBytes(
      const wchar_t* name, std::size_t capacity, RegType type = RegType::kAny) const;

  // The number of subkeys (RegQueryInfoKeyW); none when it cannot be asked.
  [[nodiscard]] std::optional<std::uint32_t> SubkeyCount() const noexcept;
  // The name of the subkey at an index, read into `capacity` UTF-16 units, terminator
  // included; none when the enumeration fails.
  [[nodiscard]] std::optional<std::wstring> SubkeyName(std::uint32_t index,
                                                       std::size_t capacity) const;

  [[nodiscard]] HKEY get() const noexcept { return key_.get(); }

 private:
  explicit RegistryKey(HKEY key) noexcept : key_(key) {}
  ScopedRegKey key_;
};

}  // namespace zentrak
