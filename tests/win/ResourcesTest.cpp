// The resources Zentrak.exe carries, read back from the built file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/BuildSettings.h"
#include "support/Scoped.h"

namespace zentrak {
namespace {

// The program file of this build: bin\Zentrak.exe beside tests\win\win_tests.exe.
std::wstring ProgramFile() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  for (int up = 0; up < 3; ++up) path.erase(path.find_last_of(L"\\/"));
  return path + L"\\bin\\Zentrak.exe";
}

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_.reset(::LoadLibraryExW(ProgramFile().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module_) << "cannot load " << ::testing::PrintToString(ProgramFile());
  }

  std::string Resource(LPCWSTR name, LPCWSTR type) const {
    HRSRC found = ::FindResourceW(module_.get(), name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module_.get(), found);
    const auto* data = static_cast<const char*>(::LockResource(loaded));
    return std::string(data, ::SizeofResource(module_.get(), found));
  }

  ScopedModule module_;
};

TEST_F(ProgramResources, ApplicationManifestRunsAsInvokerAndListsTheFiveSystems) {
  const std::string manifest = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
  EXPECT_NE(manifest.find(R"(level="asInvoker" uiAccess="false")"), std::string::npos);
  for (const char* id :
       {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(id), std::string::npos) << id;
  }
}

TEST_F(ProgramResources, SdkManifestDependsOnTheThreeAssemblies) {
  const std::string manifest = Resource(MAKEINTRESOURCEW(101), RT_MANIFEST);
  for (const char* identity :
       {R"(name="TesselApi" version="1.0.0.1")", R"(name="TesselCoreApi.tlb" version="1.0.0.0")",
        R"(name="PirxaApi.tlb" version="1.0.0.0")"}) {
    EXPECT_NE(manifest.find(identity), std::string::npos) << identity;
  }
}

TEST_F(ProgramResources, SdkDataResourcesCarryTheirTags) {
  const std::string edata = Resource(MAKEINTRESOURCEW(102), MAKEINTRESOURCEW(1000));
  EXPECT_EQ(edata.rfind("tessel-edata:", 0), 0U);
  EXPECT_GT(edata.size(), 13U);
  const std::string atc = Resource(L"TESSELATC", L"TESSELRES");
  ASSERT_EQ(atc.rfind("embedded.atc:", 0), 0U);
  const std::string token = atc.substr(13);
  EXPECT_EQ(token.size(), 280U);
  EXPECT_EQ(
      token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
      std::string::npos);
}

TEST_F(ProgramResources, VersionResourceCarriesTheProjectVersion) {
  const std::wstring file = ProgramFile();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  ASSERT_GT(size, 0U);
  std::string block(size, '\0');
  ASSERT_TRUE(::GetFileVersionInfoW(file.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  // The version is set once, in the build; the resource must carry exactly it.
  unsigned major = 0, minor = 0, patch = 0, revision = 0;
  ASSERT_EQ(std::swscanf(build::kVersionText, L"%u.%u.%u.%u", &major, &minor, &patch, &revision), 4)
      << "the build's version is four numbers";
  EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, (patch << 16) | revision);
  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);
  wchar_t* text = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                               reinterpret_cast<void**>(&text), &length));
  EXPECT_STREQ(text, build::kVersionText);
}

}  // namespace
}  // namespace zentrak
