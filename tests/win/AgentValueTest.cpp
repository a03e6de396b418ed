// Decryption of the agent's enciphered host name through the real CryptoAPI under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TraceCapture.h"
#include "support/AgentValue.h"
#include "support/BuildSettings.h"
#include "support/Scoped.h"
#include "transport/TransportTracePoints.h"

namespace zentrak {
namespace {

namespace tp = transport::tp;
using testing::TraceCapture;
using trace::Unit;

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t b0 = bytes[i];
    const std::uint32_t b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    const std::uint32_t b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    const std::uint32_t bits = (b0 << 16) | (b1 << 8) | b2;
    out += kAlphabet[(bits >> 18) & 63];
    out += kAlphabet[(bits >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(bits >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[bits & 63] : '=';
  }
  return out;
}

std::vector<std::uint8_t> Utf16Bytes(const std::wstring& text) {
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

// Under Wine, importing with CRYPT_IPSEC_HMAC_KEY makes an HMAC key that cannot decrypt,
// so the program's own import cannot be used to check what follows it. These tests
// import the same key record into the same default PROV_RSA_FULL provider without that
// flag, which gives an RC2 key with the provider's defaults (mode, padding, IV,
// effective length). A value enciphered with that key is what the agent stores, and the
// decrypt-and-copy step must turn it back into the host name.
class AgentValueWithKey : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(::CryptAcquireContextW(provider_.put(), nullptr, nullptr, PROV_RSA_FULL,
                                       CRYPT_VERIFYCONTEXT))
        << ::GetLastError();
    const auto record = BuildAgentKeyRecord(build::kAgentKey);
    ASSERT_TRUE(::CryptImportKey(provider_.get(), record.data(), static_cast<DWORD>(record.size()),
                                 0, 0, key_.put()))
        << std::hex << ::GetLastError();
  }
  // What the agent writes after its nine-character prefix.
  std::string Encipher(std::vector<std::uint8_t> plain) {
    DWORD length = static_cast<DWORD>(plain.size());
    DWORD capacity = length;
    EXPECT_TRUE(::CryptEncrypt(key_.get(), 0, TRUE, 0, nullptr, &capacity, 0));
    plain.resize(capacity);
    EXPECT_TRUE(::CryptEncrypt(key_.get(), 0, TRUE, 0, plain.data(), &length, capacity))
        << std::hex << ::GetLastError();
    plain.resize(length);
    return Base64(plain);
  }

  ScopedCryptProv provider_;
  ScopedCryptKey key_;
};

TEST_F(AgentValueWithKey, DecryptsTheHostNameAndReportsIt) {
  TraceCapture capture;
  const std::wstring host = L"agent-host.corp.example";
  const auto result = DecryptAgentValueWithKey(key_.get(), Encipher(Utf16Bytes(host)));
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, host);
  const auto* reported = capture.Find(tp::kAgentHostName);
  ASSERT_NE(reported, nullptr);
  EXPECT_EQ(reported->texts, std::vector<std::wstring>{host});
}

TEST_F(AgentValueWithKey, ReadsThePlaintextOnlyUpToItsFirstNullAndWithin520Bytes) {
  std::vector<std::uint8_t> plain = Utf16Bytes(L"short");
  plain.push_back(0);
  plain.push_back(0);
  const auto tail = Utf16Bytes(L"ignored");
  plain.insert(plain.end(), tail.begin(), tail.end());
  EXPECT_EQ(DecryptAgentValueWithKey(key_.get(), Encipher(plain)), L"short");

  // Longer than the buffer and never terminated: cut at 260 characters.
  const std::wstring long_name(300, L'h');
  EXPECT_EQ(DecryptAgentValueWithKey(key_.get(), Encipher(Utf16Bytes(long_name))),
            std::wstring(260, L'h'));
}

TEST_F(AgentValueWithKey, EachFailedStepGivesItsTracePointAndNoHostName) {
  struct Case {
    const char* name;
    std::string value;
    trace::Point expected;
  };
  // Eight bytes of Base64 that decrypt to a wrong padding, and bytes that are no
  // whole cipher block.
  const Case cases[] = {
      {"empty", "", tp::kAgentValueNotBase64},
      {"length 6", "QUJDRE", tp::kAgentValueNotBase64},
      {"not the alphabet", "QUJD!!!!", tp::kAgentValueNotBase64},
      {"not a whole block", Base64({1, 2, 3}), tp::kAgentValueNotDecrypted},
      {"garbage block", Base64({0x13, 0x37, 0xC0, 0xDE, 0x00, 0xFF, 0x42, 0x99}),
       tp::kAgentValueNotDecrypted},
  };
  for (const Case& c : cases) {
    TraceCapture capture;
    EXPECT_FALSE(DecryptAgentValueWithKey(key_.get(), c.value).has_value()) << c.name;
    EXPECT_EQ(capture.Numbers(Unit::kTransport), std::vector<std::uint16_t>{c.expected.number})
        << c.name;
  }
}

TEST(AgentKeyRecord, IsAPlaintextRc2BlobOf28BytesCarryingTheKeyCharacters) {
  const auto record = BuildAgentKeyRecord("0123456789abcdef");
  const std::vector<std::uint8_t> expected = {8,   2,   0,   0,   0x02, 0x66, 0,   0,   16,  0,
                                              0,   0,   '0', '1', '2',  '3',  '4', '5', '6', '7',
                                              '8', '9', 'a', 'b', 'c',  'd',  'e', 'f'};
  EXPECT_EQ(record, expected);
}

TEST(AgentValue, NotBase64FailsAfterTheKeyImport) {
  // The whole decryption with the program's own import: the import succeeds, so the
  // failure is the decoding's.
  TraceCapture capture;
  EXPECT_FALSE(DecryptAgentValue("QUJD!").has_value());
  EXPECT_EQ(capture.Numbers(Unit::kTransport),
            std::vector<std::uint16_t>{tp::kAgentValueNotBase64.number});
}

}  // namespace
}  // namespace zentrak
