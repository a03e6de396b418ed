#include "support/Hash.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace zentrak {
namespace {

constexpr std::size_t kBlockSize = 32768;
// Not a hash algorithm: CryptCreateHash refuses it.
constexpr ALG_ID kNoAlgorithm = 0x2000;

ALG_ID AlgorithmOf(int type) noexcept {
  switch (type) {
    case 1:
      return CALG_HASH_REPLACE_OWF;
    case 2:
      return CALG_MD2;
    case 3:
      return CALG_MD4;
    case 4:
      return CALG_MD5;
    case 5:
    case 6:
      return CALG_SHA1;
    case 7:
      return CALG_SHA_256;
    case 8:
      return CALG_SHA_384;
    case 9:
      return CALG_SHA_512;
    default:
      return kNoAlgorithm;
  }
}

}  // namespace

void CHash::Forget() noexcept {
  hash_.reset();
  provider_.reset();
}

bool CHash::CreateHashObject() noexcept {
  if (!provider_) {
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
      last_error_ = ::GetLastError();
      return false;
    }
    provider_.reset(provider);
  }
  hash_.reset();
  if (!::CryptCreateHash(provider_.get(), AlgorithmOf(type_), 0, 0, hash_.put())) {
    last_error_ = ::GetLastError();
    hash_.release();  // whatever the failed call left there is no handle
    Forget();
    return false;
  }
  return true;
}

bool CHash::SetAlgorithm(int type) {
  type_ = type;
  hash_.reset();
  return CreateHashObject();
}

bool CHash::HashFile(const wchar_t* path, std::uint8_t* digest, std::size_t capacity) {
  if (path == nullptr || *path == L'\0' || digest == nullptr) return false;
  const ScopedFile file(::_wfopen(path, L"rb"));
  if (!file) return false;
  std::vector<std::uint8_t> block;
  try {
    block.resize(kBlockSize);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!CreateHashObject()) return false;

  for (;;) {
    // A read error ends the data like the end of the file does.
    const std::size_t read = std::fread(block.data(), 1, block.size(), file.get());
    if (read == 0) break;
    if (!::CryptHashData(hash_.get(), block.data(), static_cast<DWORD>(read), 0)) {
      last_error_ = ::GetLastError();
      Forget();
      return false;
    }
  }

  DWORD size = 0;
  if (!::CryptGetHashParam(hash_.get(), HP_HASHVAL, nullptr, &size, 0)) {
    last_error_ = ::GetLastError();
    return false;
  }
  if (size > capacity) {
    last_error_ = ERROR_INSUFFICIENT_BUFFER;
    return false;
  }
  if (!::CryptGetHashParam(hash_.get(), HP_HASHVAL, digest, &size, 0)) {
    last_error_ = ::GetLastError();
    return false;
  }
  return true;
}

std::wstring FileMd5Text(const std::wstring& path) {
  CHash hash;
  std::uint8_t digest[CHash::kDigestBufferSize] = {};
  if (!hash.SetAlgorithm(CHash::kMd5) || !hash.HashFile(path.c_str(), digest, sizeof(digest))) {
    return {};
  }
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (std::size_t i = 0; i < 16; ++i) {
    text.push_back(kDigits[digest[i] >> 4]);
    text.push_back(kDigits[digest[i] & 0x0F]);
  }
  return text;
}

}  // namespace zentrak
