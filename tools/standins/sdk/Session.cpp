#include "Session.h"

#include <stdexcept>

namespace standin {
namespace {

// The whole file; false when it cannot be read.
bool ReadFile(const std::wstring& path, std::string& contents) {
  zentrak::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x40000000) return false;
  contents.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < contents.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), contents.data() + done, static_cast<DWORD>(contents.size() - done),
                    &read, nullptr) ||
        read == 0) {
      return false;
    }
    done += read;
  }
  return true;
}

}  // namespace

namespace {
// Constructed before DllMain runs, so that DllMain only sets and flushes.
Session session;
}  // namespace

Session& Session::Instance() { return session; }

std::wstring Session::ModulePath() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(module_, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

std::wstring Session::PathFrom(const wchar_t* variable) {
  wchar_t buffer[1024];
  const DWORD length = ::GetEnvironmentVariableW(variable, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

Session::FileStamp Session::Stamp(const std::wstring& path) {
  FileStamp stamp;
  stamp.path = path;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!path.empty() && ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    stamp.exists = true;
    stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.written = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
  }
  return stamp;
}

HRESULT Session::Acquire(std::shared_ptr<const Fixture>& fixture) {
  journal_.SetPath(PathFrom(kJournalVariable));
  std::lock_guard<std::mutex> lock(mutex_);
  FileStamp stamp = Stamp(PathFrom(kFixtureVariable));
  if (!loaded_ || !(stamp == stamp_)) {
    loaded_ = true;
    stamp_ = std::move(stamp);
    rule_calls_.clear();
    fixture_.reset();
    std::string error;
    std::string contents;
    try {
      if (!stamp_.exists) {
        fixture_ = std::make_shared<const Fixture>();
      } else if (!ReadFile(stamp_.path, contents)) {
        error = "the file cannot be read";
      } else {
        fixture_ = ParseFixture(contents);
      }
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    JournalLine line("event", fixture_ ? "load" : "fixture_error");
    line.Text("fixture", stamp_.path).Raw("found", stamp_.exists ? "true" : "false");
    if (fixture_) {
      line.Unsigned("entries", fixture_->reports.size());
    } else {
      line.Text("message", Utf8ToWide(error));
    }
    line.Unsigned("pid", ::GetCurrentProcessId());
    journal_.Write(std::move(line).Finish());
  }
  fixture = fixture_;
  return fixture ? S_OK : E_FAIL;
}

const FaultRule* Session::Fault(const Fixture& fixture, Method method, const Subject& subject) {
  const auto& rules = fixture.FaultsOf(method);
  if (rules.empty()) return nullptr;
  const FaultRule* applies = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (rule_calls_.size() < fixture.fault_count) rule_calls_.resize(fixture.fault_count);
    for (const FaultRule& rule : rules) {
      if (!rule.Matches(subject)) continue;
      const std::uint32_t call = ++rule_calls_[rule.id];
      if (applies == nullptr && call >= rule.from &&
          (!rule.count || call - rule.from < *rule.count)) {
        applies = &rule;
      }
    }
  }
  // Outside the lock: a slow call holds up its caller only.
  if (applies != nullptr && applies->delay_ms != 0) ::Sleep(applies->delay_ms);
  return applies;
}

void Session::ObjectDestroyed() {
  if (--objects_ == 0) journal_.Flush();
}

void Session::Unloading() {
  if (loaded_) {
    JournalLine line("event", "unload");
    line.Integer("live_objects", objects_.load());
    line.Unsigned("pid", ::GetCurrentProcessId());
    journal_.Write(std::move(line).Finish());
  }
  journal_.Flush();
}

}  // namespace standin
