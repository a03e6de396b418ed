// The registry reader against a scratch key of the real (Wine) registry.
#include <gtest/gtest.h>

#include <string>

#include "TestRegistry.h"
#include "support/Registry.h"

namespace zentrak {
namespace {

constexpr wchar_t kScratch[] = L"Software\\ZentrakTests\\Registry";

class RegistryReader : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                key_.put(), nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(::RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  void SetText(const wchar_t* name, const std::wstring& text, bool terminated = true) {
    Set(name, REG_SZ, text.c_str(),
        static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t)));
  }
  RegistryKey Open() {
    auto key = RegistryKey::Open(HKEY_CURRENT_USER, kScratch, KEY_QUERY_VALUE);
    EXPECT_TRUE(key.has_value());
    return std::move(*key);
  }

  ScopedRegKey key_;
};

TEST_F(RegistryReader, TextThatFitsItsBufferWithTheTerminatorIsRead) {
  SetText(L"short", L"C:\\Dumps");
  SetText(L"longest", std::wstring(259, L'x'));
  SetText(L"expand", L"%TEMP%");
  const RegistryKey key = Open();
  EXPECT_EQ(key.ReadString(L"short", 260), L"C:\\Dumps");
  EXPECT_EQ(key.ReadString(L"longest", 260), std::wstring(259, L'x'));
  EXPECT_EQ(key.ReadString(L"expand", 260), L"%TEMP%");  // not expanded
}

TEST_F(RegistryReader, TextLongerThanItsBufferCountsAsNotRead) {
  SetText(L"too-long", std::wstring(260, L'x'));
  SetText(L"unterminated", std::wstring(260, L'x'), false);
  SetText(L"unterminated-short", L"abc", false);
  const RegistryKey key = Open();
  EXPECT_FALSE(key.ReadString(L"too-long", 260));
  EXPECT_FALSE(key.ReadString(L"unterminated", 260));
  EXPECT_EQ(key.ReadString(L"unterminated-short", 260), L"abc");
  EXPECT_FALSE(key.ReadString(L"missing", 260));
}

TEST_F(RegistryReader, ValuesOfTheWrongTypeAreNotReadUnlessAnyTypeIsAccepted) {
  const DWORD one = 1;
  Set(L"number", REG_DWORD, &one, sizeof(one));
  SetText(L"text", L"1");
  const unsigned char two_bytes[] = {0x34, 0x12};
  Set(L"binary", REG_BINARY, two_bytes, 2);
  const RegistryKey key = Open();
  EXPECT_EQ(key.ReadDword(L"number"), 1U);
  EXPECT_FALSE(key.ReadDword(L"text"));
  EXPECT_FALSE(key.ReadString(L"number", 260));
  EXPECT_EQ(key.ReadDword(L"binary", RegType::kAny), 0x1234U);
  EXPECT_EQ(key.ReadString(L"number", 260, RegType::kAny), std::wstring(1, L'\x0001'));
}

TEST_F(RegistryReader, NumberLongerThanFourBytesIsNotRead) {
  const unsigned char five[] = {1, 2, 3, 4, 5};
  Set(L"five", REG_BINARY, five, 5);
  const RegistryKey key = Open();
  EXPECT_FALSE(key.ReadDword(L"five", RegType::kAny));
  EXPECT_EQ(key.ReadBytes(L"five", 5)->size(), 5U);
  EXPECT_FALSE(key.ReadBytes(L"five", 4));
}

TEST_F(RegistryReader, MissingKeyCannotBeOpened) {
  EXPECT_FALSE(
      RegistryKey::Open(HKEY_CURRENT_USER, L"Software\\ZentrakTests\\Missing", KEY_QUERY_VALUE));
}

#ifdef _WIN64
// The x86-64 test build reads where the 32-bit program reads: a value that exists only in
// the 64-bit view of HKEY_LOCAL_MACHINE\SOFTWARE is not there for it.
TEST(RegistryView, TheSixtyFourBitViewIsNotRead) {
  constexpr wchar_t kKey[] = L"SOFTWARE\\ZentrakTests\\View";
  testing::DeleteSuiteTree(kKey, KEY_WOW64_64KEY);
  testing::DeleteSuiteTree(kKey);
  {
    const ScopedRegKey only64 = testing::CreateSuiteKey(kKey, KEY_WOW64_64KEY);
    ASSERT_TRUE(only64);
    const DWORD seven = 7;
    ASSERT_EQ(::RegSetValueExW(only64.get(), L"Value", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&seven), sizeof(seven)),
              ERROR_SUCCESS);
  }
  EXPECT_FALSE(RegistryKey::Open(HKEY_LOCAL_MACHINE, kKey, KEY_QUERY_VALUE));

  {
    const ScopedRegKey in32 = testing::CreateSuiteKey(kKey);
    ASSERT_TRUE(in32);
    const DWORD nine = 9;
    ASSERT_EQ(::RegSetValueExW(in32.get(), L"Value", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&nine), sizeof(nine)),
              ERROR_SUCCESS);
  }
  const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, kKey, KEY_QUERY_VALUE);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadDword(L"Value"), 9U);
  testing::DeleteSuiteTree(kKey, KEY_WOW64_64KEY);
  testing::DeleteSuiteTree(kKey);
}
#endif

}  // namespace
}  // namespace zentrak
