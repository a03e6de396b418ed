// Stand-in for the suite's CommsWrapper.dll, for tests and demonstrations. It checks what
// it is handed as the real library needs it, writes one JSON line per call to a journal,
// fails on demand and, in delivery mode, really sends tracks and documents over HTTP.
// Its objects are laid out slot by slot as the program calls them; see README.md.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

using Flag = std::uint8_t;

struct ProxyRecord {
  std::uint32_t size;
  const wchar_t* server;
  const wchar_t* user;
  const wchar_t* password;
};

struct ChannelOptions {
  std::uint32_t size;
  std::uint32_t reserved[4];
  const char* application_key;
  std::uint32_t application_key_length;
  const wchar_t* product_code;
  const wchar_t* application_id;
};

// The records' sizes as the library's callers fill them in: the 32-bit library's, or, in
// the x86-64 test build, the same declarations in that platform's natural layout.
#ifdef _WIN64
constexpr std::uint32_t kProxyRecordSize = 32;
constexpr std::uint32_t kChannelOptionsSize = 56;
#else
constexpr std::uint32_t kProxyRecordSize = 16;
constexpr std::uint32_t kChannelOptionsSize = 36;
#endif
static_assert(sizeof(ProxyRecord) == kProxyRecordSize && sizeof(ChannelOptions) == kChannelOptionsSize,
              "the records as the library lays them out");

// ---------------------------------------------------------------- settings

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[2048];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 2048);
  if (length == 0 || length >= 2048) return {};
  return std::wstring(buffer, length);
}

// ZENTRAK_COMMS_FAIL: comma-separated operation names; "AddTrackParameter:3" fails the
// third parameter of a request.
bool FailRequested(const std::wstring& operation, int call = 0) {
  const std::wstring list = L"," + Environment(L"ZENTRAK_COMMS_FAIL") + L",";
  if (list.find(L"," + operation + L",") != std::wstring::npos) return true;
  return call > 0 &&
         list.find(L"," + operation + L":" + std::to_wstring(call) + L",") != std::wstring::npos;
}

bool DeliveryMode() { return Environment(L"ZENTRAK_COMMS_DELIVER") == L"1"; }

// ZENTRAK_COMMS_HOLD: comma-separated "Operation=ms" or "Operation:N=ms" (the N-th call of
// the operation in this process, from 1): that call waits so long before it returns,
// after its work is done, so that a test can end the process at that moment.
DWORD HoldRequested(const std::wstring& operation, int call) {
  const std::wstring list = Environment(L"ZENTRAK_COMMS_HOLD");
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(L',', start);
    if (end == std::wstring::npos) end = list.size();
    const std::wstring entry = list.substr(start, end - start);
    const std::size_t equals = entry.find(L'=');
    if (equals != std::wstring::npos) {
      const std::wstring name = entry.substr(0, equals);
      if (name == operation || name == operation + L":" + std::to_wstring(call)) {
        return static_cast<DWORD>(std::wcstoul(entry.c_str() + equals + 1, nullptr, 10));
      }
    }
    start = end + 1;
  }
  return 0;
}

// ---------------------------------------------------------------- journal

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::string JsonString(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      escaped += L'\\';
      escaped += c;
    } else if (c < 0x20) {
      wchar_t code[8];
      std::swprintf(code, 8, L"\\u%04x", static_cast<unsigned>(c));
      escaped += code;
    } else {
      escaped += c;
    }
  }
  return "\"" + Utf8(escaped) + "\"";
}

std::string JsonText(const wchar_t* text) { return text == nullptr ? "null" : JsonString(text); }

std::string JsonNarrow(const char* text, std::size_t max) {
  if (text == nullptr) return "null";
  std::wstring wide;
  for (std::size_t i = 0; i < max && text[i] != '\0'; ++i) {
    wide += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  }
  return JsonString(wide);
}

class Line {
 public:
  explicit Line(const char* call) { text_ = std::string("{\"call\":\"") + call + "\""; }
  Line& Add(const char* name, const std::string& json) {
    text_ += std::string(",\"") + name + "\":" + json;
    return *this;
  }
  Line& Text(const char* name, const wchar_t* value) { return Add(name, JsonText(value)); }
  Line& Number(const char* name, long long value) { return Add(name, std::to_string(value)); }
  Line& Bool(const char* name, bool value) { return Add(name, value ? "true" : "false"); }
  void Error(const std::string& what) { errors_.push_back(what); }
  [[nodiscard]] bool HasErrors() const { return !errors_.empty(); }

  // Appends the line to the journal. The file stays open (opening a file per call costs
  // more under Wine than the program's own work) and is flushed per line, so a reader
  // still sees every finished call; a changed journal variable opens the new file.
  void Write(bool result) {
    std::string errors = "[";
    for (std::size_t i = 0; i < errors_.size(); ++i) {
      errors += (i ? "," : "") + JsonString(std::wstring(errors_[i].begin(), errors_[i].end()));
    }
    errors += "]";
    Add("errors", errors);
    Bool("result", result);
    const std::wstring path = Environment(L"ZENTRAK_COMMS_JOURNAL");
    static std::wstring open_path;
    static std::FILE* file = nullptr;
    if (path != open_path) {
      if (file != nullptr) std::fclose(file);
      file = path.empty() ? nullptr : ::_wfopen(path.c_str(), L"ab");
      open_path = path;
    }
    if (file == nullptr) return;
    const std::string line = text_ + "}\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  }

 private:
  std::string text_;
  std::vector<std::string> errors_;
};

bool IsLowerHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }

void CheckProxy(Line& line, const ProxyRecord* proxy) {
  if (proxy == nullptr) {
    line.Add("proxy", "null");
    return;
  }
  line.Add("proxy", "{\"size\":" + std::to_string(proxy->size) + ",\"server\":" +
                        JsonText(proxy->server) + ",\"user\":" + JsonText(proxy->user) +
                        ",\"password\":" + JsonText(proxy->password) + "}");
  if (proxy->size != kProxyRecordSize) line.Error("ProxyRecord size is not " + std::to_string(kProxyRecordSize));
  if (proxy->server == nullptr || *proxy->server == L'\0') line.Error("proxy server is empty");
}

// Holds the calling operation when ZENTRAK_COMMS_HOLD asks for it; the journal says so
// first, so that a test sees the moment has come.
void Hold(const char* operation, int call) {
  const std::wstring name(operation, operation + std::strlen(operation));
  const DWORD ms = HoldRequested(name, call);
  if (ms == 0) return;
  Line line("Hold");
  line.Add("operation", JsonString(name));
  line.Number("nth", call);  // "call" names the line's own kind
  line.Number("ms", ms);
  line.Write(true);
  ::Sleep(ms);
}

// ---------------------------------------------------------------- delivery

struct Target {
  std::wstring host;
  INTERNET_PORT port = 80;
  std::wstring object;
};

bool CrackTarget(const std::wstring& url, Target& target) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return false;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr)
    target.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (target.object.empty()) target.object = L"/";
  return true;
}

struct Handle {
  HINTERNET h = nullptr;
  explicit Handle(HINTERNET handle) : h(handle) {}
  ~Handle() {
    if (h != nullptr) ::WinHttpCloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

// One request with an optional body; true for a 2xx answer. A proxy that asks for
// credentials gets the record's user and password once.
bool HttpSend(const wchar_t* verb, const std::wstring& url, const ProxyRecord* proxy,
              const std::string& body, const wchar_t* headers, std::string& outcome) {
  Target target;
  if (!CrackTarget(url, target)) {
    outcome = "bad url";
    return false;
  }
  const bool named = proxy != nullptr && proxy->server != nullptr && *proxy->server != L'\0';
  Handle session(
      ::WinHttpOpen(L"CommsWrapper stand-in",
                    named ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                    named ? proxy->server : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.h == nullptr) return false;
  Handle connection(::WinHttpConnect(session.h, target.host.c_str(), target.port, 0));
  if (connection.h == nullptr) {
    outcome = "connect failed";
    return false;
  }
  Handle request(::WinHttpOpenRequest(connection.h, verb, target.object.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (request.h == nullptr) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!::WinHttpSendRequest(request.h, headers, headers ? static_cast<DWORD>(-1L) : 0,
                              body.empty() ? nullptr : const_cast<char*>(body.data()),
                              static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()),
                              0) ||
        !::WinHttpReceiveResponse(request.h, nullptr)) {
      outcome = "send failed, error " + std::to_string(::GetLastError());
      return false;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    ::WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    outcome = "status " + std::to_string(status);
    if (status == 407 && attempt == 0 && named) {
      DWORD supported = 0, first = 0, target_kind = 0;
      if (!::WinHttpQueryAuthSchemes(request.h, &supported, &first, &target_kind) ||
          !::WinHttpSetCredentials(request.h, WINHTTP_AUTH_TARGET_PROXY, first,
                                   proxy->user ? proxy->user : L"",
                                   proxy->password ? proxy->password : L"", nullptr)) {
        return false;
      }
      continue;
    }
    return status >= 200 && status < 300;
  }
  return false;
}

std::wstring UrlEncode(const std::wstring& text) {
  const std::string utf8 = Utf8(text);
  std::wstring out;
  for (unsigned char c : utf8) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out += static_cast<wchar_t>(c);
    } else {
      wchar_t code[4];
      std::swprintf(code, 4, L"%%%02X", c);
      out += code;
    }
  }
  return out;
}

// ---------------------------------------------------------------- objects

class TransferChannel final {
 public:
  explicit TransferChannel(std::wstring name) : name_(std::move(name)) {}
  virtual void Slot0() { Unexpected("TransferChannel slot 0"); }
  virtual void SetProxy(const ProxyRecord* proxy) {
    Line line("SetProxy");
    CheckProxy(line, proxy);
    if (proxy != nullptr) {
      server_ = proxy->server ? proxy->server : L"";
      user_ = proxy->user ? proxy->user : L"";
      password_ = proxy->password ? proxy->password : L"";
      has_proxy_ = true;
    }
    line.Write(!line.HasErrors());
  }
  virtual void Slot2() { Unexpected("TransferChannel slot 2"); }
  virtual void Slot3() { Unexpected("TransferChannel slot 3"); }
  virtual Flag TransferFile(const wchar_t* channel, const wchar_t* path) {
    Line line("TransferFile");
    line.Text("channel", channel).Text("path", path);
    if (channel == nullptr || std::wcscmp(channel, L"gccpeventsci") != 0) {
      line.Error("channel name is not gccpeventsci");
    }
    std::string bytes;
    bool read = false;
    if (path != nullptr) {
      if (std::FILE* file = ::_wfopen(path, L"rb")) {
        char block[4096];
        std::size_t n;
        while ((n = std::fread(block, 1, sizeof(block), file)) > 0) bytes.append(block, n);
        std::fclose(file);
        read = true;
      }
    }
    if (!read) line.Error("file cannot be read");
    // The program deletes the file right after: keep its bytes (one per character).
    std::wstring content;
    for (unsigned char c : bytes) content += static_cast<wchar_t>(c);
    line.Add("content", read ? JsonString(content) : "null");
    line.Number("size", static_cast<long long>(bytes.size()));
    // A slow service, for runs that must overlap.
    const std::wstring delay = Environment(L"ZENTRAK_COMMS_DELAY_MS");
    if (!delay.empty()) ::Sleep(static_cast<DWORD>(std::wcstoul(delay.c_str(), nullptr, 10)));
    bool ok = !line.HasErrors() && !FailRequested(L"TransferFile");
    if (ok && DeliveryMode()) {
      std::wstring collector = Environment(L"ZENTRAK_COMMS_COLLECTOR");
      std::string outcome;
      if (collector.empty()) {
        line.Error("ZENTRAK_COMMS_COLLECTOR is not set");
        ok = false;
      } else {
        std::wstring name = path;
        const std::size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos) name = name.substr(slash + 1);
        collector += (collector.find(L'?') == std::wstring::npos ? L"?" : L"&");
        collector += L"channel=" + UrlEncode(channel) + L"&file=" + UrlEncode(name);
        const ProxyRecord record{kProxyRecordSize, server_.c_str(), user_.c_str(), password_.c_str()};
        ok = HttpSend(L"POST", collector, has_proxy_ ? &record : nullptr, bytes,
                      L"Content-Type: application/json\r\n", outcome);
        line.Add("delivery", JsonString(std::wstring(outcome.begin(), outcome.end())));
      }
    }
    line.Write(ok);
    static int calls = 0;
    Hold("TransferFile", ++calls);
    return ok ? 1 : 0;
  }

 private:
  ~TransferChannel() = default;  // no virtual destructor: it would take a slot
  friend class CommsUtil;
  static void Unexpected(const char* what) {
    Line line("Unexpected");
    line.Add("slot", JsonNarrow(what, 64));
    line.Error("slot the program does not use");
    line.Write(false);
  }
  std::wstring name_;
  std::wstring server_, user_, password_;
  bool has_proxy_ = false;
};

class TrackRequest final {
 public:
  explicit TrackRequest(std::wstring url) : url_(std::move(url)) {}
  virtual Flag SetTrackFields(const wchar_t* product_code, const wchar_t* suite_version,
                              const wchar_t* product_type, const wchar_t* machine_id,
                              const wchar_t* custom_id, const wchar_t* event_type) {
    Line line("SetTrackFields");
    const wchar_t* values[] = {product_code, suite_version, product_type,
                               machine_id,   custom_id,     event_type};
    static const char* const names[] = {"product_code", "suite_version", "product_type",
                                        "machine_id",   "custom_id",     "event_type"};
    fields_.clear();
    for (int i = 0; i < 6; ++i) {
      line.Text(names[i], values[i]);
      if (values[i] == nullptr) line.Error(std::string(names[i]) + " is null");
      fields_.emplace_back(std::wstring(names[i], names[i] + std::strlen(names[i])),
                           values[i] ? values[i] : L"");
    }
    const bool ok = !line.HasErrors() && !FailRequested(L"SetTrackFields");
    line.Write(ok);
    return ok ? 1 : 0;
  }
  virtual Flag AddTrackParameter(const wchar_t* name, const wchar_t* value) {
    Line line("AddTrackParameter");
    ++parameter_calls_;
    line.Text("name", name).Text("value", value).Number("index", parameter_calls_);
    if (name == nullptr || *name == L'\0') line.Error("parameter name is empty");
    if (value == nullptr) line.Error("parameter value is null");
    if (!begun_) line.Error("BeginParameters was not called");
    const bool ok = !line.HasErrors() && !FailRequested(L"AddTrackParameter", parameter_calls_);
    if (ok) parameters_.emplace_back(name, value);
    line.Write(ok);
    return ok ? 1 : 0;
  }
  virtual Flag BeginParameters() {
    Line line("BeginParameters");
    begun_ = true;
    const bool ok = !FailRequested(L"BeginParameters");
    line.Write(ok);
    return ok ? 1 : 0;
  }
  virtual Flag SendTrack(const ProxyRecord* proxy, std::int32_t mode) {
    Line line("SendTrack");
    line.Text("url", url_.c_str());
    CheckProxy(line, proxy);
    line.Number("mode", mode);
    if (mode != 7) line.Error("SendTrack value is not 7");
    bool ok = !line.HasErrors() && !FailRequested(L"SendTrack");
    if (ok && DeliveryMode()) {
      std::wstring url = url_ + (url_.find(L'?') == std::wstring::npos ? L"?" : L"&");
      bool first = true;
      for (const auto* list : {&fields_, &parameters_}) {
        for (const auto& [name, value] : *list) {
          if (!first) url += L"&";
          first = false;
          url += UrlEncode(name) + L"=" + UrlEncode(value);
        }
      }
      std::string outcome;
      ok = HttpSend(L"GET", url, proxy, std::string(), nullptr, outcome);
      line.Add("delivery", JsonString(std::wstring(outcome.begin(), outcome.end())));
    }
    line.Write(ok);
    static int calls = 0;
    Hold("SendTrack", ++calls);
    return ok ? 1 : 0;
  }

 private:
  ~TrackRequest() = default;  // no virtual destructor: it would take a slot
  friend class CommsUtil;
  std::wstring url_;
  std::vector<std::pair<std::wstring, std::wstring>> fields_;
  std::vector<std::pair<std::wstring, std::wstring>> parameters_;
  int parameter_calls_ = 0;
  bool begun_ = false;
};

class CommsUtil final {
 public:
  virtual void Slot0() { Unexpected(0); }
  virtual void Slot1() { Unexpected(1); }
  virtual TransferChannel* OpenChannel(const wchar_t* product_version, const wchar_t* host_name,
                                       const wchar_t* channel, std::int32_t suite_id,
                                       const wchar_t* suite_version, const wchar_t* muid,
                                       std::int32_t mode, const ChannelOptions* options) {
    Line line("OpenChannel");
    line.Text("product_version", product_version)
        .Text("host_name", host_name)
        .Text("channel", channel)
        .Number("suite_id", suite_id)
        .Text("suite_version", suite_version)
        .Text("muid", muid)
        .Number("mode", mode);
    if (channel == nullptr || std::wcscmp(channel, L"gccppostevents") != 0) {
      line.Error("channel name is not gccppostevents");
    }
    if (product_version == nullptr || host_name == nullptr || suite_version == nullptr ||
        muid == nullptr) {
      line.Error("a text is null");
    }
    if (mode != 1) line.Error("OpenChannel value is not 1");
    CheckOptions(line, options);
    const bool ok = !line.HasErrors() && !FailRequested(L"OpenChannel");
    line.Write(ok);
    return ok ? new TransferChannel(channel) : nullptr;
  }
  virtual Flag CloseChannel(TransferChannel* channel) {
    Line line("CloseChannel");
    line.Bool("channel", channel != nullptr);
    delete channel;
    const bool ok = !FailRequested(L"CloseChannel");
    line.Write(ok);
    static int calls = 0;
    Hold("CloseChannel", ++calls);
    return ok ? 1 : 0;
  }
  virtual void Slot4() { Unexpected(4); }
  virtual void Slot5() { Unexpected(5); }
  virtual void Slot6() { Unexpected(6); }
  virtual TrackRequest* CreateTrackRequest(const wchar_t* url) {
    Line line("CreateTrackRequest");
    line.Text("url", url);
    if (url == nullptr || *url == L'\0') line.Error("target URL is empty");
    const bool ok = !line.HasErrors() && !FailRequested(L"CreateTrackRequest");
    line.Write(ok);
    return ok ? new TrackRequest(url) : nullptr;
  }
  virtual void ReleaseTrackRequest(TrackRequest* request) {
    Line line("ReleaseTrackRequest");
    line.Bool("request", request != nullptr);
    if (request == nullptr) line.Error("no request");
    delete request;
    line.Write(!line.HasErrors());
  }

 private:
  ~CommsUtil() = default;  // never destroyed: the one object lives as long as the library
  friend CommsUtil* MakeUtil();
  static void Unexpected(int slot) {
    Line line("Unexpected");
    line.Number("slot", slot);
    line.Error("CommsUtil slot the program does not use");
    line.Write(false);
  }
  static void CheckOptions(Line& line, const ChannelOptions* options) {
    if (options == nullptr) {
      line.Add("options", "null");
      line.Error("no ChannelOptions");
      return;
    }
    line.Add("options",
             "{\"size\":" + std::to_string(options->size) +
                 ",\"application_key\":" + JsonNarrow(options->application_key, 64) +
                 ",\"application_key_length\":" + std::to_string(options->application_key_length) +
                 ",\"product_code\":" + JsonText(options->product_code) +
                 ",\"application_id\":" + JsonText(options->application_id) + "}");
    if (options->size != kChannelOptionsSize) {
      line.Error("ChannelOptions size is not " + std::to_string(kChannelOptionsSize));
    }
    for (std::uint32_t word : options->reserved) {
      if (word != 0) line.Error("a reserved word is not 0");
    }
    const char* key = options->application_key;
    if (key == nullptr || std::strlen(key) != 32 || options->application_key_length != 32) {
      line.Error("application key is not 32 characters with length 32");
    } else {
      for (int i = 0; i < 32; ++i) {
        if (!IsLowerHex(static_cast<wchar_t>(key[i])))
          line.Error("application key is not lower-case hex");
      }
    }
    if (options->product_code == nullptr || std::wcscmp(options->product_code, L"RNX") != 0) {
      line.Error("product code is not RNX");
    }
    const wchar_t* id = options->application_id;
    if (id == nullptr || std::wcslen(id) != 36) {
      line.Error("application identifier is not 36 characters");
    } else {
      for (int i = 0; i < 36; ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? id[i] != L'-' : !IsLowerHex(id[i])) {
          line.Error("application identifier is not a lower-case GUID");
          break;
        }
      }
    }
  }
};

CommsUtil* MakeUtil() { return new CommsUtil; }
CommsUtil* const g_util = MakeUtil();

}  // namespace

extern "C" __declspec(dllexport) CommsUtil* GetUtil() {
  Line line("GetUtil");
  wchar_t module[MAX_PATH] = {};
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&GetUtil), &self);
  ::GetModuleFileNameW(self, module, MAX_PATH);
  line.Text("module", module);
  const bool ok = !FailRequested(L"GetUtil");
  line.Write(ok);
  return ok ? g_util : nullptr;
}
