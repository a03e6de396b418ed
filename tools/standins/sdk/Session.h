// The stand-in's process-wide state: the fixture (read once, and again only when its
// file changes), the call counts the fault rules refer to, the journal, and the count
// of live objects COM asks about before unloading the DLL.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Fixture.h"
#include "Journal.h"

namespace standin {

// Environment variables naming the fixture and the journal (Windows paths). Without the
// first the data is empty; without the second nothing is journalled.
inline constexpr wchar_t kFixtureVariable[] = L"TESSEL_STANDIN_FIXTURE";
inline constexpr wchar_t kJournalVariable[] = L"TESSEL_STANDIN_JOURNAL";

class Session {
 public:
  static Session& Instance();

  void SetModule(HMODULE module) noexcept { module_ = module; }
  // The DLL's own file.
  [[nodiscard]] std::wstring ModulePath() const;

  // The fixture for a new host entry: read with the first one, again only when the file
  // changed (path, size, write time). E_FAIL (journalled) when the file does not parse; a
  // missing file is the empty fixture.
  HRESULT Acquire(std::shared_ptr<const Fixture>& fixture);

  // The fault rule that applies to this call, or none. Each rule counts the calls it
  // matches since the fixture was loaded, for its "after" and "count".
  const FaultRule* Fault(const Fixture& fixture, Method method, const Subject& subject);

  void Write(std::string line, bool buffered = false) { journal_.Write(std::move(line), buffered); }
  void Flush() { journal_.Flush(); }
  [[nodiscard]] bool Journalling() const noexcept { return journal_.enabled(); }

  void ObjectCreated() noexcept { ++objects_; }
  void ObjectDestroyed();
  // The DLL leaves the process: an "unload" event with the objects still alive, which a
  // caller that released everything it was handed leaves at 0 (never below).
  void Unloading();
  void Lock(bool lock) noexcept { locks_ += lock ? 1 : -1; }
  [[nodiscard]] bool CanUnload() const noexcept { return objects_ == 0 && locks_ == 0; }

 private:
  struct FileStamp {
    std::wstring path;
    bool exists = false;
    std::uint64_t size = 0;
    std::uint64_t written = 0;
    bool operator==(const FileStamp& other) const noexcept {
      return path == other.path && exists == other.exists && size == other.size &&
             written == other.written;
    }
  };

  [[nodiscard]] static std::wstring PathFrom(const wchar_t* variable);
  [[nodiscard]] static FileStamp Stamp(const std::wstring& path);

  HMODULE module_ = nullptr;
  std::mutex mutex_;
  FileStamp stamp_;
  bool loaded_ = false;
  std::shared_ptr<const Fixture> fixture_;  // none when the stamped file did not parse
  std::vector<std::uint32_t> rule_calls_;
  Journal journal_;
  std::atomic<long> objects_{0};
  std::atomic<long> locks_{0};
};

}  // namespace standin
