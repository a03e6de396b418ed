// Decoding of the agent's Base64 values and the reading of a decrypted host name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Base64.h"

namespace zentrak::base64 {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct DecodeCase {
  const char* input;
  bool decodes;
  Bytes bytes;
};

class Base64Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Base64Decode, FollowsTheAgentsRules) {
  const DecodeCase& c = GetParam();
  const auto decoded = Decode(c.input);
  ASSERT_EQ(decoded.has_value(), c.decodes) << c.input;
  if (c.decodes) {
    EXPECT_EQ(*decoded, c.bytes) << c.input;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Base64Decode,
    ::testing::Values(DecodeCase{"", false, {}},  // nothing to decode
                      DecodeCase{"QUJD", true, {'A', 'B', 'C'}},
                      DecodeCase{"QUJDRA==", true, {'A', 'B', 'C', 'D'}},  // two padding: one byte
                      DecodeCase{"QUJDREU=", true, {'A', 'B', 'C', 'D', 'E'}},  // one padding: two
                      DecodeCase{"QUJDREU", false, {}},                         // length 7
                      DecodeCase{"QUJDRE", false, {}},                          // length 6
                      DecodeCase{"QU JD", false, {}},                           // blank
                      DecodeCase{"QUJ-", false, {}},     // URL alphabet is not accepted
                      DecodeCase{"QUJ\x80", false, {}},  // byte above ASCII
                      DecodeCase{"+/+/", true, {0xFB, 0xFF, 0xBF}},
                      DecodeCase{"AAAA", true, {0, 0, 0}},
                      DecodeCase{"====", true, {}},  // all padding leaves nothing
                      DecodeCase{"A===", true, {}}));

TEST(Base64Decode, EmbeddedNullFailsTheDecoding) { EXPECT_FALSE(Decode(std::string("QU\0D", 4))); }

TEST(HostNameFromPlaintext, ReadsLittleEndianUtf16UpToTheFirstNull) {
  const Bytes bytes = {'h', 0, 'o', 0, 's', 0, 't', 0, 0, 0, 'x', 0};
  EXPECT_EQ(HostNameFromPlaintext(bytes.data(), bytes.size()), L"host");
  const Bytes odd = {'a', 0, 'b'};  // the last byte meets a zero of the buffer
  EXPECT_EQ(HostNameFromPlaintext(odd.data(), odd.size()), L"ab");
  const Bytes non_ascii = {0xE9, 0x00, 0x34, 0x12};
  EXPECT_EQ(HostNameFromPlaintext(non_ascii.data(), non_ascii.size()),
            std::wstring({L'\u00e9', static_cast<wchar_t>(0x1234)}));
  EXPECT_EQ(HostNameFromPlaintext(nullptr, 10), L"");
}

TEST(HostNameFromPlaintext, KeepsWithinTheBufferWhateverTheInputLength) {
  // Longer than the buffer and without a terminator: cut at 520 bytes, never beyond.
  const Bytes long_text(2000, 'a');
  const std::wstring text = HostNameFromPlaintext(long_text.data(), long_text.size());
  EXPECT_EQ(text.size(), kHostNameBufferBytes / 2);
  EXPECT_EQ(text, std::wstring(kHostNameBufferBytes / 2, static_cast<wchar_t>(0x6161)));
}

}  // namespace
}  // namespace zentrak::base64
