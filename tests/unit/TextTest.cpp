#include <gtest/gtest.h>

#include <string>

#include "support/Text.h"

namespace zentrak::text {
namespace {

TEST(Text, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreCase(L"/UnInstall", L"/UNINSTALL"));
  EXPECT_FALSE(EqualsIgnoreCase(L"\u00e9", L"\u00c9"));
  EXPECT_FALSE(EqualsIgnoreCase(L"abc", L"abcd"));
  EXPECT_TRUE(StartsWithIgnoreCase(L"/testmode2", L"/TestMode"));
  EXPECT_FALSE(StartsWithIgnoreCase(L"/test", L"/TestMode"));
  EXPECT_EQ(ToUpperAscii(L"0a9fz\u00e9"), L"0A9FZ\u00e9");
}

TEST(Text, SingleBytePrefixEndsAtTheFirstCharacterAboveLatin1) {
  EXPECT_EQ(SingleBytePrefix(L"caf\u00e9"), "caf\xE9");
  EXPECT_EQ(SingleBytePrefix(L"ab\u0100cd"), "ab");
  EXPECT_EQ(SingleBytePrefix(L""), "");
}

TEST(Text, Utf8OfLatin1SupplementaryAndUnpairedSurrogates) {
  EXPECT_EQ(ToUtf8(L"a\u00f3\u20ac"), "a\xC3\xB3\xE2\x82\xAC");
  EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
  const std::wstring lone(1, static_cast<wchar_t>(0xD800));
  EXPECT_EQ(ToUtf8(lone), "\xEF\xBF\xBD");
}

struct EscapeCase {
  std::wstring input;
  std::wstring keep_non_latin1;
  std::wstring escape_non_latin1;
};

TEST(Text, JsonEscapingFollowsRfc8259) {
  const EscapeCase cases[] = {
      {L"plain", L"plain", L"plain"},
      {L"a\"b\\c", L"a\\\"b\\\\c", L"a\\\"b\\\\c"},
      {L"\b\f\n\r\t", L"\\b\\f\\n\\r\\t", L"\\b\\f\\n\\r\\t"},
      {std::wstring(1, L'\0') + L"\x1f", L"\\u0000\\u001f", L"\\u0000\\u001f"},
      {L"/\u007f\u00ff", L"/\u007f\u00ff", L"/\u007f\u00ff"},
      {L"\u0100\u20ac", L"\u0100\u20ac", L"\\u0100\\u20ac"},
      {L"\U0001F600", L"\U0001F600", L"\\ud83d\\ude00"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(JsonEscape(c.input, JsonEscapeNonLatin1::kNo), c.keep_non_latin1);
    EXPECT_EQ(JsonEscape(c.input, JsonEscapeNonLatin1::kYes), c.escape_non_latin1);
  }
}

TEST(Text, UnpairedSurrogateIsEscapedAsTheReplacementCharacter) {
  const std::wstring lone_low = L"a" + std::wstring(1, static_cast<wchar_t>(0xDE00)) + L"b";
  const std::wstring lone_high = std::wstring(1, static_cast<wchar_t>(0xD83D)) + L"x";
  EXPECT_EQ(JsonEscape(lone_low, JsonEscapeNonLatin1::kYes), L"a\\ufffdb");
  EXPECT_EQ(JsonEscape(lone_high, JsonEscapeNonLatin1::kYes), L"\\ufffdx");
}

}  // namespace
}  // namespace zentrak::text
