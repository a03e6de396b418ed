// File digests through CryptoAPI.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/Scoped.h"

namespace zentrak {

class CHash {
 public:
  // The MD5 type, the only one the program asks for.
  static constexpr int kMd5 = 4;
  // What a caller of HashFile provides; MD5 takes 16 bytes of it.
  static constexpr std::size_t kDigestBufferSize = 260;

  CHash() noexcept = default;
  virtual ~CHash() = default;  // the hash object goes before the provider
  CHash(const CHash&) = delete;
  CHash& operator=(const CHash&) = delete;

  // Stores the type and creates a fresh hash object for it. An unknown type gets an
  // identifier that is no hash algorithm, so the creation fails.
  [[nodiscard]] bool SetAlgorithm(int type);
  // The digest of the whole file, into `digest` of `capacity` bytes. A digest larger
  // than the buffer fails instead of being written past its end.
  [[nodiscard]] bool HashFile(const wchar_t* path, std::uint8_t* digest, std::size_t capacity);

  [[nodiscard]] DWORD last_error() const noexcept { return last_error_; }

 private:
  bool CreateHashObject() noexcept;
  void Forget() noexcept;

  DWORD last_error_ = 0;
  int type_ = -1;
  ScopedCryptProv provider_;
  ScopedCryptHash hash_;
};

// The MD5 of a file as 32 lower-case hexadecimal digits; empty when hashing failed.
[[nodiscard]] std::wstring FileMd5Text(const std::wstring& path);

}  // namespace zentrak
