// File digests through the real CryptoAPI provider under Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/Hash.h"

namespace zentrak {
namespace {

class FileDigest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0U);
    folder_ = std::wstring(temp) + L"zentrak-hash-test";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
  }
  std::wstring Write(const wchar_t* name, const std::string& bytes) {
    const std::wstring path = folder_ + L"\\" + name;
    if (std::FILE* out = ::_wfopen(path.c_str(), L"wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), out);
      std::fclose(out);
    }
    paths_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& path : paths_) ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }

  std::wstring folder_;
  std::vector<std::wstring> paths_;
};

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

TEST_F(FileDigest, IsThe32LowerCaseDigitMd5OfTheWholeFile) {
  struct Case {
    const wchar_t* name;
    std::string bytes;
    const wchar_t* md5;
  };
  const Case cases[] = {
      {L"empty", "", L"d41d8cd98f00b204e9800998ecf8427e"},
      {L"abc", "abc", L"900150983cd24fb0d6963f7d28e17f72"},
      // Its digest holds the byte 0x0a, written as "0a".
      {L"ten", "zentrak18", L"3e5bf8d5d8a929b58c7e6028360a8e3e"},
      // Exactly one block, and several blocks with a short last one.
      {L"one-block", Pattern(32768), L"a9ab613dcfcd605013eccd686ace8922"},
      {L"blocks", Pattern(100000), L"28cb595c158e9b74e34ae9e8da710fff"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileMd5Text(Write(c.name, c.bytes)), c.md5) << c.name;
  }
}

TEST_F(FileDigest, IsEmptyWhenTheFileCannotBeRead) {
  EXPECT_EQ(FileMd5Text(folder_ + L"\\does-not-exist"), L"");
  EXPECT_EQ(FileMd5Text(L""), L"");
}

TEST_F(FileDigest, HashFileRefusesMissingArgumentsAndUnknownAlgorithms) {
  const std::wstring path = Write(L"data", "abc");
  std::uint8_t digest[CHash::kDigestBufferSize] = {};
  CHash hash;
  ASSERT_TRUE(hash.SetAlgorithm(CHash::kMd5));
  EXPECT_FALSE(hash.HashFile(nullptr, digest, sizeof(digest)));
  EXPECT_FALSE(hash.HashFile(L"", digest, sizeof(digest)));
  EXPECT_FALSE(hash.HashFile(path.c_str(), nullptr, sizeof(digest)));

  CHash unknown;
  EXPECT_FALSE(unknown.SetAlgorithm(0));
  EXPECT_FALSE(unknown.SetAlgorithm(10));
  EXPECT_NE(unknown.last_error(), 0U);
  // After a failed creation the object recovers with a known type.
  EXPECT_TRUE(unknown.SetAlgorithm(CHash::kMd5));
  EXPECT_TRUE(unknown.HashFile(path.c_str(), digest, sizeof(digest)));
  EXPECT_EQ(digest[0], 0x90);
}

TEST_F(FileDigest, ADigestLargerThanItsBufferIsNotWrittenPastIt) {
  const std::wstring path = Write(L"data", "abc");
  std::uint8_t digest[24];
  std::fill(std::begin(digest), std::end(digest), 0xEE);
  CHash hash;
  ASSERT_TRUE(hash.SetAlgorithm(CHash::kMd5));
  EXPECT_FALSE(hash.HashFile(path.c_str(), digest, 8));
  for (std::uint8_t byte : digest) EXPECT_EQ(byte, 0xEE);
}

}  // namespace
}  // namespace zentrak
