#include "support/AgentValue.h"

#include <new>

#include "support/Base64.h"
#include "support/BuildSettings.h"
#include "support/Scoped.h"
#include "transport/TransportTracePoints.h"

namespace zentrak {
namespace {

namespace tp = transport::tp;

static_assert(sizeof(build::kAgentKey) == kAgentKeyLength + 1,
              "the agent key is 16 single-byte characters");

}  // namespace

std::vector<std::uint8_t> BuildAgentKeyRecord(std::string_view key) {
  std::vector<std::uint8_t> record(kAgentKeyRecordSize, 0);
  record[0] = PLAINTEXTKEYBLOB;
  record[1] = CUR_BLOB_VERSION;
  const std::uint32_t algorithm = CALG_RC2;
  const std::uint32_t length = kAgentKeyLength;
  for (std::size_t i = 0; i < 4; ++i) {
    record[4 + i] = static_cast<std::uint8_t>(algorithm >> (8 * i));
    record[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  }
  for (std::size_t i = 0; i < kAgentKeyLength && i < key.size(); ++i) {
    record[12 + i] = static_cast<std::uint8_t>(key[i]);
  }
  return record;
}

std::optional<std::wstring> DecryptAgentValueWithKey(HCRYPTKEY key, std::string_view value) {
  const auto decoded = base64::Decode(value);
  if (!decoded) {
    ZTRACE(tp::kAgentValueNotBase64);
    return std::nullopt;
  }
  std::vector<std::uint8_t> data = *decoded;
  DWORD length = static_cast<DWORD>(data.size());
  if (!::CryptDecrypt(key, 0, TRUE, 0, data.empty() ? nullptr : data.data(), &length) ||
      length > data.size()) {
    ZTRACE(tp::kAgentValueNotDecrypted);
    return std::nullopt;
  }
  std::wstring host = base64::HostNameFromPlaintext(data.data(), length);
  ZTRACE(tp::kAgentHostName, host);
  return host;
}

std::optional<std::wstring> DecryptAgentValue(std::string_view value) {
  std::vector<std::uint8_t> record;
  try {
    record = BuildAgentKeyRecord(build::kAgentKey);
  } catch (const std::bad_alloc&) {
    ZTRACE(tp::kKeyRecordNotAllocated);
    return std::nullopt;
  }

  ScopedCryptProv provider;
  if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, 0)) {
    provider.release();
    if (::GetLastError() != static_cast<DWORD>(NTE_BAD_KEYSET) ||
        !::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET)) {
      provider.release();
      ZTRACE(tp::kKeyNotImported);
      return std::nullopt;
    }
  }
  ScopedCryptKey key;
  // The flag lets the provider take an RC2 key longer than its default limit.
  if (!::CryptImportKey(provider.get(), record.data(), static_cast<DWORD>(record.size()), 0,
                        CRYPT_IPSEC_HMAC_KEY, key.put())) {
    key.release();
    ZTRACE(tp::kKeyNotImported);
    return std::nullopt;
  }
  // The key goes before the provider (reverse order of the owners).
  return DecryptAgentValueWithKey(key.get(), value);
}

}  // namespace zentrak
