#include "SdkFixture.h"

#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "TestRegistry.h"
#include "support/Scoped.h"
#include "support/SetupRegistry.h"
#include "support/Text.h"

namespace zentrak::hostsdk::testing {
namespace {

std::wstring TempPath(const std::string& name, const wchar_t* extension) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"zentrak-hostsdk-" + text::FromSingleByte(name) + extension;
}

void SetVariable(const wchar_t* name, const std::wstring& value) {
  ::SetEnvironmentVariableW(name, value.c_str());
  ::_wputenv_s(name, value.c_str());  // the C runtime's copy too
}

std::string& LoadedFixture() {
  static std::string name;
  return name;
}

std::wstring& JournalPath() {
  static std::wstring path;
  return path;
}

std::size_t& JournalLinesRead() {
  static std::size_t count = 0;
  return count;
}

}  // namespace

std::string Typed(const std::string& type, const std::string& json_value) {
  return "{\"vt\":\"" + type + "\",\"value\":" + json_value + "}";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string DateText(double date) {
  return text::ToUtf8(FormatDate(OleDate::FromDouble(date), kDateFormat));
}

std::string ItemKey(std::uint32_t item) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(item));
  return buffer;
}

std::string InstallTimeItems(std::uint64_t local_filetime) {
  const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(local_filetime));
  const auto high = static_cast<std::int32_t>(static_cast<std::uint32_t>(local_filetime >> 32));
  return "\"" + ItemKey(0x4012002) + "\":" + std::to_string(low) + ",\"" + ItemKey(0x4012001) +
         "\":" + std::to_string(high);
}

std::uint64_t LocalFileTimeNow() {
  FILETIME utc{};
  ::GetSystemTimeAsFileTime(&utc);
  FILETIME local{};
  ::FileTimeToLocalFileTime(&utc, &local);
  return (std::uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime;
}

std::wstring ProgramFolder() {
  wchar_t name[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::wstring path(name);
  return path.substr(0, path.find_last_of(L'\\'));
}

void SetSetupPath(const std::wstring* folder) {
  const ScopedRegKey key = zentrak::testing::CreateSuiteKey(setup::kSetupKey);
  ASSERT_TRUE(key);
  if (folder != nullptr) {
    ::RegSetValueExW(key.get(), setup::kPathValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(folder->c_str()),
                     static_cast<DWORD>((folder->size() + 1) * sizeof(wchar_t)));
  } else {
    ::RegDeleteValueW(key.get(), setup::kPathValue);
  }
}

SdkSuite::SdkSuite(const std::string& name, const std::string& fixture_json) {
  // The stand-in reads its fixture once per process: one suite per process.
  if (!LoadedFixture().empty() && LoadedFixture() != name) {
    ADD_FAILURE() << "fixture " << LoadedFixture() << " already loaded; run each SDK suite in "
                  << "its own process (--gtest_filter=" << name << ".*)";
  }
  LoadedFixture() = name;
  const std::wstring fixture = TempPath(name, L".json");
  {
    std::ofstream out(fixture.c_str(), std::ios::binary | std::ios::trunc);
    out << fixture_json;
  }
  JournalPath() = TempPath(name, L".journal");
  ::DeleteFileW(JournalPath().c_str());
  JournalLinesRead() = 0;
  SetVariable(L"TESSEL_STANDIN_FIXTURE", fixture);
  SetVariable(L"TESSEL_STANDIN_JOURNAL", JournalPath());

  const std::wstring folder = ProgramFolder();
  SetSetupPath(&folder);
  context_ = GetActivationContext();
  if (context_ != nullptr) activation_ = std::make_unique<ActivationScope>(*context_);
  com_ = std::make_unique<ComScope>();
}

SdkSuite::~SdkSuite() {
  com_.reset();
  activation_.reset();
}

std::vector<boost::property_tree::ptree> NewJournalLines() {
  std::vector<boost::property_tree::ptree> lines;
  std::ifstream in(JournalPath().c_str(), std::ios::binary);
  std::string line;
  std::size_t number = 0;
  while (std::getline(in, line)) {
    if (number++ < JournalLinesRead() || line.empty()) continue;
    std::istringstream json(line);
    boost::property_tree::ptree tree;
    try {
      boost::property_tree::read_json(json, tree);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "journal line is no JSON: " << line << " (" << error.what() << ")";
      continue;
    }
    lines.push_back(std::move(tree));
  }
  JournalLinesRead() = number;
  return lines;
}

std::vector<boost::property_tree::ptree> Calls(
    const std::vector<boost::property_tree::ptree>& lines, const std::string& call) {
  std::vector<boost::property_tree::ptree> found;
  for (const auto& line : lines) {
    if (line.get<std::string>("call", "") == call) found.push_back(line);
  }
  return found;
}

std::string JournalValue(const boost::property_tree::ptree& line, const std::string& key) {
  const auto member = line.get_child_optional(key);
  if (!member) return {};
  if (const auto typed = member->get_optional<std::string>("value")) {
    if (member->count("vt") != 0) return *typed;
  }
  return member->get_value<std::string>();
}

}  // namespace zentrak::hostsdk::testing
