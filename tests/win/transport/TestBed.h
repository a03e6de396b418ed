// What the transport tests share: the stand-in library's journal and settings, the
// servers started by servers.sh (their recordings), scratch files and the agent's
// registry value.
#pragma once

#include <windows.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "TestRegistry.h"
#include "support/Scoped.h"
#include "support/Text.h"
#include "transport/CommsClient.h"

namespace zentrak::testing {

using Tree = boost::property_tree::ptree;

inline std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
  return length == 0 || length >= 4096 ? std::wstring() : std::wstring(buffer, length);
}

inline std::string Utf8(const std::wstring& text) { return text::ToUtf8(text); }

inline std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  if (std::FILE* in = ::_wfopen(path.c_str(), L"rb")) {
    char block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof(block), in)) > 0) bytes.append(block, n);
    std::fclose(in);
  }
  return bytes;
}

inline std::vector<Tree> ReadJsonLines(const std::wstring& path) {
  std::vector<Tree> lines;
  std::istringstream in(ReadFileBytes(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream stream(line);
    Tree tree;
    boost::property_tree::read_json(stream, tree);
    lines.push_back(tree);
  }
  return lines;
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  if (std::FILE* out = ::_wfopen(path.c_str(), L"wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
}

inline bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A scratch folder of its own for each test.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"zentrak-" + name;
    Clean();
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    Clean();
    ::RemoveDirectoryW(path_.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  [[nodiscard]] std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }
  [[nodiscard]] const std::wstring& path() const { return path_; }

 private:
  void Clean() {
    WIN32_FIND_DATAW found;
    const HANDLE find = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = path_ + L"\\" + name;
      ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryW(full.c_str());
      } else {
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
  }
  std::wstring path_;
};

// The stand-in library's settings for one test, with a journal of its own. Everything
// is cleared again at the end. The library keeps a journal open until the variable
// names another file, so each test's journal has a name of its own.
class StandinSettings {
 public:
  explicit StandinSettings(const ScratchFolder& folder)
      : journal_(folder.File((L"journal-" + std::to_wstring(NextJournal()) + L".jsonl").c_str())) {
    ::DeleteFileW(journal_.c_str());
    ::SetEnvironmentVariableW(L"ZENTRAK_COMMS_JOURNAL", journal_.c_str());
    Fail(L"");
    ::SetEnvironmentVariableW(L"ZENTRAK_COMMS_DELIVER", nullptr);
    ::SetEnvironmentVariableW(L"ZENTRAK_COMMS_COLLECTOR", nullptr);
  }
  ~StandinSettings() {
    for (const wchar_t* name : {L"ZENTRAK_COMMS_JOURNAL", L"ZENTRAK_COMMS_FAIL",
                                L"ZENTRAK_COMMS_DELIVER", L"ZENTRAK_COMMS_COLLECTOR"}) {
      ::SetEnvironmentVariableW(name, nullptr);
    }
  }
  StandinSettings(const StandinSettings&) = delete;
  StandinSettings& operator=(const StandinSettings&) = delete;

  static int NextJournal() {
    static int count = 0;
    return ++count;
  }

  void Fail(const std::wstring& operations) {
    ::SetEnvironmentVariableW(L"ZENTRAK_COMMS_FAIL",
                              operations.empty() ? nullptr : operations.c_str());
  }
  void Deliver(const std::wstring& collector_url) {
    ::SetEnvironmentVariableW(L"ZENTRAK_COMMS_DELIVER", L"1");
    ::SetEnvironmentVariableW(L"ZENTRAK_COMMS_COLLECTOR", collector_url.c_str());
  }
  [[nodiscard]] std::vector<Tree> Calls() const { return ReadJsonLines(journal_); }
  // The operation names in call order.
  [[nodiscard]] std::vector<std::string> CallNames() const {
    std::vector<std::string> names;
    for (const Tree& call : Calls()) names.push_back(call.get<std::string>("call"));
    return names;
  }
  [[nodiscard]] Tree Call(const std::string& name) const {
    for (const Tree& call : Calls()) {
      if (call.get<std::string>("call") == name) return call;
    }
    return {};
  }

 private:
  std::wstring journal_;
};

// The servers of servers.sh: their folder comes from the environment as a Unix path,
// reached under Wine through drive Z:.
inline std::wstring ServersFolder() {
  std::wstring unix_path = Environment(L"ZENTRAK_TEST_SERVERS");
  if (unix_path.empty()) return {};
  for (wchar_t& c : unix_path) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + unix_path;
}

inline constexpr wchar_t kOrigin[] = L"127.0.0.121";
inline constexpr wchar_t kCredentialProxy[] = L"127.0.0.122:8080";
inline constexpr wchar_t kTinyproxy[] = L"127.0.0.123:8888";

// The requests a server recorded, optionally only those whose request target starts
// with `prefix`.
inline std::vector<Tree> Recorded(const wchar_t* server, const std::string& prefix = "") {
  std::vector<Tree> selected;
  for (const Tree& entry : ReadJsonLines(ServersFolder() + L"\\" + server + L".jsonl")) {
    const std::string target = entry.get<std::string>("target", "");
    if (target.compare(0, prefix.size(), prefix) == 0) selected.push_back(entry);
  }
  return selected;
}

// The agent's "Hostname" value in the (Wine prefix's) HKLM, removed again at the end.
class AgentRegistry {
 public:
  AgentRegistry() { Remove(); }
  ~AgentRegistry() { Remove(); }
  AgentRegistry(const AgentRegistry&) = delete;
  AgentRegistry& operator=(const AgentRegistry&) = delete;

  void CreateKey() {
    testing::CreateSuiteKey(transport::kAgentKeyPath);
  }
  bool Set(DWORD type, const void* data, DWORD size) {
    const ScopedRegKey key = testing::CreateSuiteKey(transport::kAgentKeyPath);
    if (!key) return false;
    return ::RegSetValueExW(key.get(), transport::kAgentValueName, 0, type,
                            static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  }
  bool SetText(const std::wstring& text, bool terminated = true) {
    return Set(REG_SZ, text.c_str(),
               static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t)));
  }
  static void Remove() { testing::DeleteSuiteTree(transport::kAgentKeyPath); }
};

}  // namespace zentrak::testing
