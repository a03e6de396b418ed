// The stand-in host SDK as the program meets it: found through the activation context of
// the program's SDK manifest (or through its registration), created in any class context,
// run, and called by slot through the stand-in's own interface declarations.
#include <gtest/gtest.h>
#include <objbase.h>
#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Json.h"
#include "SdkInterfaces.h"
#include "support/ComPtr.h"
#include "support/Scoped.h"
#include "support/ScopedBstr.h"
#include "support/ScopedVariant.h"

namespace {

using standin::json::Value;
using zentrak::ScopedActCtx;

using zentrak::ComPtr;
using zentrak::ScopedBstr;
using zentrak::ScopedVariant;

ScopedBstr Bstr(const wchar_t* text) { return ScopedBstr(::SysAllocString(text)); }

VARIANT Ui4(ULONG value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_UI4;
  v.ulVal = value;
  return v;
}

VARIANT R8(double value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = value;
  return v;
}

VARIANT BstrValue(const wchar_t* text) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocString(text);
  return v;
}

HRESULT ChangeType(const ScopedVariant& from, VARTYPE type, ScopedVariant& to) {
  return to.AssignChanged(from.get(), type);
}

// A VARIANT made here, owned from now on.
ScopedVariant Own(VARIANT value) { return ScopedVariant(value); }

VARIANT Empty() {
  VARIANT v;
  ::VariantInit(&v);
  return v;
}

// A query whose "DateFilter" is the filter object set from start to end (OLE dates).
void QueryBetween(tessel::IReports& reports, tessel::IExtendedAction& action,
                  tessel::IDateTimeFilter& filter, double start, double end) {
  EXPECT_EQ(filter.SetStart(R8(start)), S_OK);
  EXPECT_EQ(filter.SetEnd(R8(end)), S_OK);
  VARIANT filter_value = Empty();
  filter_value.vt = VT_DISPATCH;
  filter_value.pdispVal = &filter;
  EXPECT_EQ(action.SetProperty(Bstr(L"DateFilter").get(), filter_value), S_OK);
  VARIANT query = Empty();
  query.vt = VT_DISPATCH;
  query.pdispVal = &action;
  ScopedVariant result;
  EXPECT_EQ(reports.Query(query, result.Receive()), S_OK);
}

// The object inside a VARIANT, taken for an interface.
template <typename T>
ComPtr<T> Take(const VARIANT& value, const IID& iid) {
  ComPtr<T> object;
  if ((value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) && value.punkVal != nullptr) {
    value.punkVal->QueryInterface(iid, object.put_void());
  }
  return object;
}

std::wstring Text(const VARIANT& value) {
  return value.vt == VT_BSTR ? std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal))
                             : std::wstring(L"<not a BSTR>");
}

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

SYSTEMTIME DateParts(double date) {
  SYSTEMTIME parts{};
  ::VariantTimeToSystemTime(date, &parts);
  return parts;
}

// The activation context the program makes from its SDK manifest: RT_MANIFEST 101 of its
// own module, with the folder of the program as the assembly directory.
ScopedActCtx CreateSdkContext() {
  static std::wstring folder = ExeFolder();
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID |
                    ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
  request.lpResourceName = MAKEINTRESOURCEW(101);
  request.hModule = ::GetModuleHandleW(nullptr);
  request.lpAssemblyDirectory = folder.c_str();
  return ScopedActCtx(::CreateActCtxW(&request));
}

class StandinSdk : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring scratch = ExeFolder() + L"scratch\\";
    ::CreateDirectoryW(scratch.c_str(), nullptr);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info->name();
    const std::wstring base = scratch + std::wstring(name.begin(), name.end());
    fixture_path_ = base + L".fixture.json";
    journal_path_ = base + L".journal.jsonl";
    ::DeleteFileW(journal_path_.c_str());
    ::SetEnvironmentVariableW(L"TESSEL_STANDIN_FIXTURE", fixture_path_.c_str());
    ::SetEnvironmentVariableW(L"TESSEL_STANDIN_JOURNAL", journal_path_.c_str());
  }

  void TearDown() override {
    com_.reset();
    cookie_.reset();
  }

  // As the program starts its session: the activation context (unless the class is to
  // be found through its registration), then the multithreaded apartment.
  void Start(bool activation = true) {
    if (activation) {
      context_ = CreateSdkContext();
      ASSERT_TRUE(context_.valid()) << "CreateActCtxW failed: " << ::GetLastError();
      ULONG_PTR cookie = 0;
      ASSERT_TRUE(::ActivateActCtx(context_.get(), &cookie));
      cookie_.reset(cookie);
    }
    com_.reset(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ASSERT_HRESULT_SUCCEEDED(com_.get());
  }

  void WriteFixture(const std::string& json) {
    std::ofstream(Narrow(fixture_path_), std::ios::binary) << json;
  }

  // CoCreateInstance in any class context, OleRun, then the host entry interface.
  ComPtr<tessel::IHostEntry> CreateHost() {
    ComPtr<IUnknown> unknown;
    const HRESULT created = ::CoCreateInstance(tessel::kClsidHostEntry, nullptr, CLSCTX_ALL,
                                               IID_IUnknown, unknown.put_void());
    EXPECT_HRESULT_SUCCEEDED(created);
    ComPtr<tessel::IHostEntry> host;
    if (FAILED(created)) return host;
    EXPECT_HRESULT_SUCCEEDED(::OleRun(unknown.get()));
    EXPECT_HRESULT_SUCCEEDED(unknown->QueryInterface(tessel::kIidHostEntry, host.put_void()));
    return host;
  }

  template <typename T>
  ComPtr<T> Create(tessel::IHostEntry& host, const wchar_t* name, const IID& iid) {
    ScopedVariant object;
    EXPECT_EQ(host.CreateObject(Bstr(name).get(), object.Receive()), S_OK) << Narrow(name);
    ComPtr<T> typed = Take<T>(object.get(), iid);
    EXPECT_TRUE(typed) << Narrow(name);
    return typed;
  }

  // The three objects a report query with a date filter needs.
  struct QueryObjects {
    ComPtr<tessel::IReports> reports;
    ComPtr<tessel::IExtendedAction> action;
    ComPtr<tessel::IDateTimeFilter> filter;
  };
  QueryObjects CreateQueryObjects(tessel::IHostEntry& host) {
    return {
        Create<tessel::IReports>(host, L"Tessel.Reports", tessel::kIidReports),
        Create<tessel::IExtendedAction>(host, L"Tessel.ExtendedAction", tessel::kIidExtendedAction),
        Create<tessel::IDateTimeFilter>(host, L"Tessel.DateTimeFilterObject",
                                        tessel::kIidDateTimeFilter)};
  }

  // The journal's lines for one method ("Reports.4"), or of one kind of event.
  std::vector<Value> Journal(const std::string& call, const char* kind = "call") const {
    std::ifstream file(Narrow(journal_path_), std::ios::binary);
    std::vector<Value> lines;
    std::string line;
    while (std::getline(file, line)) {
      Value parsed = standin::json::Parse(line);
      const Value* what = parsed.Find(kind);
      if (what != nullptr && what->text == call) lines.push_back(std::move(parsed));
    }
    return lines;
  }

  std::wstring fixture_path_;
  std::wstring journal_path_;

 private:
  // Declared so that they go in reverse order: COM, the activation, the context.
  ScopedActCtx context_;
  zentrak::ScopedActCtxCookie cookie_;
  zentrak::ScopedComApartment com_;
};

std::string Member(const Value& line, const char* name) {
  const Value* member = line.Find(name);
  return member == nullptr ? "<missing>" : member->text;
}

std::string Nested(const Value& line, const char* outer, const char* inner) {
  const Value* object = line.Find(outer);
  return object == nullptr ? "<missing>" : Member(*object, inner);
}

TEST(StandinSdkDeclarations, InterfaceIdentifiersAreTheSdkOnes) {
  const struct {
    const IID& iid;
    const wchar_t* text;
  } cases[] = {
      {tessel::kClsidHostEntry, L"{3003DE76-0439-431D-9684-881C6110504A}"},
      {tessel::kIidHostEntry, L"{48E55D04-996F-4227-9D93-8CCB8235E665}"},
      {tessel::kIidConfiguration, L"{2A7456A9-BCFE-44EE-9184-FEDDBA115B6D}"},
      {tessel::kIidLicense, L"{EC9A2D00-24A9-4B8A-BFE4-8DEC7206B42F}"},
      {tessel::kIidReports, L"{7664854C-020D-4513-BD4F-4C2F509C13C8}"},
      {tessel::kIidExtendedAction, L"{E5072341-94AD-46F9-A296-41EA7259F8C6}"},
      {tessel::kIidDateTimeFilter, L"{1A1BFAFB-CD84-4D7E-99C4-8EB18EE1BF5E}"},
      {tessel::kIidList, L"{8167073D-1889-49F8-BAF2-216FDF46F30D}"},
      {tessel::kIidEntryMap, L"{EE35A2F6-03AB-46EE-A640-55DE05455AFD}"},
      {tessel::kIidDateValue, L"{7B3191F2-5F53-490C-B03B-EE2D4CACF74F}"},
      {tessel::kIidLicenceMap, L"{9B1B5BD7-0883-4A59-BBD1-7A098CCF10BE}"},
  };
  for (const auto& c : cases) {
    wchar_t text[40];
    ASSERT_GT(::StringFromGUID2(c.iid, text, 40), 0);
    EXPECT_EQ(std::wstring(text), c.text);
  }
}

TEST_F(StandinSdk, HostEntryIsFoundThroughTheActivationContextAndTakesTheSdkData) {
  Start();
  WriteFixture("{}");
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    const char bytes_given[] = "tessel-edata:\x01\xff";
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, sizeof bytes_given - 1);
    void* bytes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(::SafeArrayAccessData(array, &bytes));
    std::memcpy(bytes, bytes_given, sizeof bytes_given - 1);
    ::SafeArrayUnaccessData(array);
    VARIANT data = Empty();
    data.vt = VT_ARRAY | VT_UI1;
    data.parray = array;
    ScopedVariant value(data);
    EXPECT_EQ(host->Initialize(value.get()), S_OK);
    EXPECT_EQ(host->Slot2(), E_NOTIMPL) << "a slot the program must not call";
  }
  const auto unexpected = Journal("unexpected", "event");
  ASSERT_EQ(unexpected.size(), 1u);
  EXPECT_EQ(Member(unexpected[0], "call"), "HostEntry.2");
  const auto load = Journal("load", "event");
  ASSERT_EQ(load.size(), 1u);
  EXPECT_EQ(Member(load[0], "fixture"), Narrow(fixture_path_));
  const auto lines = Journal("HostEntry.1");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Member(lines[0], "data_vt"), std::to_string(VT_ARRAY | VT_UI1));
  EXPECT_EQ(Member(lines[0], "size"), "15");
  EXPECT_EQ(Member(lines[0], "bytes_hex"), "74657373656c2d65646174613a01ff");
  EXPECT_EQ(Member(lines[0], "hresult"), "0x0");
}

TEST_F(StandinSdk, ConfigurationItemsComeBackWithTheirTypesAndStatus) {
  Start();
  WriteFixture(R"({"config": {
      "0x4009014": "proxy.example:3128",
      "0x4009025": 1234,
      "0x4012002": 4294967295,
      "0x4009707": true,
      "0x4009013": "secret",
      "0x4009015": "not read",
      "67145755": {"vt": "ui4", "value": 7}},
    "faults": [{"call": "Configuration.3", "match": "0x4009013", "hresult": "0x1",
                "keep_result": true},
               {"call": "Configuration.3", "match": "0x4009015", "hresult": "0x80004005"},
               {"call": "Configuration.3", "match": "0x4009025", "hresult": "0x0",
                "keep_result": true, "delay_ms": 300}]})");
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    auto configuration =
        Create<tessel::IConfiguration>(*host, L"Tessel.Configuration", tessel::kIidConfiguration);
    ASSERT_TRUE(configuration);
    const auto read = [&](long item, HRESULT expected) {
      VARIANT value = Empty();
      value.vt = VT_INT;  // as the program starts its out VARIANT
      value.intVal = 0;
      EXPECT_EQ(configuration->GetItem(0, item, &value), expected) << std::hex << item;
      return ScopedVariant(value);
    };
    EXPECT_EQ(Text(read(0x4009014, S_OK).get()), L"proxy.example:3128");
    const ULONGLONG before_slow_read = ::GetTickCount64();
    ScopedVariant number = read(0x4009025, S_OK);
    // Slow but answered as usual (the tick count may be a timer period coarse).
    EXPECT_GE(::GetTickCount64() - before_slow_read, 280u);
    EXPECT_EQ(number.get().vt, VT_I4);
    EXPECT_EQ(number.get().lVal, 1234);
    EXPECT_EQ(read(0x4012002, S_OK).get().lVal, -1);  // 32 bits written unsigned
    ScopedVariant flag = read(0x4009707, S_OK);
    EXPECT_EQ(flag.get().vt, VT_BOOL);
    EXPECT_EQ(flag.get().boolVal, VARIANT_TRUE);
    EXPECT_EQ(Text(read(0x4009013, S_FALSE).get()), L"secret");
    EXPECT_EQ(read(0x4009015, E_FAIL).get().vt, VT_INT) << "a failed read leaves it as given";
    EXPECT_EQ(read(0x4009019, E_FAIL).get().vt, VT_INT) << "an item not in the fixture";
    ScopedVariant typed = read(0x400901B, S_OK);
    EXPECT_EQ(typed.get().vt, VT_UI4);
    EXPECT_EQ(typed.get().ulVal, 7u);
    EXPECT_EQ(Journal("Configuration.3").size(), 8u) << "each line is written as its call returns";
  }
  const auto lines = Journal("Configuration.3");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(Member(lines[0], "item"), "0x4009014");
  EXPECT_EQ(Member(lines[0], "reserved"), "0");
  EXPECT_EQ(Member(lines[0], "result"), "proxy.example:3128");
  EXPECT_EQ(Member(lines[0], "result_vt"), std::to_string(VT_BSTR));
  EXPECT_EQ(Member(lines[0], "hresult"), "0x0");
  EXPECT_EQ(Member(lines[4], "hresult"), "0x1");
  EXPECT_NE(lines[4].Find("fault"), nullptr);
  EXPECT_EQ(Member(lines[5], "hresult"), "0x80004005");
  EXPECT_EQ(Member(lines[6], "item"), "0x4009019");
  EXPECT_EQ(Member(lines[6], "hresult"), "0x80004005");
  EXPECT_EQ(lines[6].Find("fault"), nullptr);
  EXPECT_EQ(lines[6].Find("result"), nullptr) << "nothing handed back";
}

TEST_F(StandinSdk, ProductsAndLicencesAreLicenceMapsInFixtureOrder) {
  Start();
  WriteFixture(R"({"products": {
      "PROD-1": {"VersionType": 3, "MyAccountID": "acc-1",
                 "Licenses": {"CODE-A": {"ClientID": "client-a", "ProductLicenseID": "pl-a",
                                          "VersionType": 2,
                                          "ActivationDate": {"vt": "date",
                                                             "value": "2018-03-26T10:30:00"}}}},
      "PROD-2": {"ClientID": "client-b", "ActivationCode": "CODE-B",
                 "ActivationDate": "2019-01-02", "VersionType": "not a number"}}})");
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    auto license = Create<tessel::ILicense>(*host, L"Tessel.License", tessel::kIidLicense);
    ASSERT_TRUE(license);
    ScopedVariant root;
    ASSERT_EQ(license->GetLicenses(Empty(), root.Receive()), S_OK);
    ASSERT_EQ(root.get().vt, VT_DISPATCH);
    auto top = Take<tessel::ILicenceMap>(root.get(), tessel::kIidLicenceMap);
    ASSERT_TRUE(top);

    const auto get = [](tessel::ILicenceMap& map, const wchar_t* key, HRESULT expected) {
      ScopedVariant k = Own(BstrValue(key));
      ScopedVariant value;
      EXPECT_EQ(map.GetValue(k.get(), value.Receive()), expected) << Narrow(key);
      return value;
    };
    ScopedVariant products_value = get(*top, L"Products", S_OK);
    auto products = Take<tessel::ILicenceMap>(products_value.get(), tessel::kIidLicenceMap);
    ASSERT_TRUE(products);
    long count = 0;
    ASSERT_EQ(products->GetCount(&count), S_OK);
    ASSERT_EQ(count, 2);
    ScopedVariant key;
    ASSERT_EQ(products->GetKey(1, key.Receive()), S_OK);
    EXPECT_EQ(Text(key.get()), L"PROD-2");
    ASSERT_EQ(products->GetKey(0, key.Receive()), S_OK);
    EXPECT_EQ(Text(key.get()), L"PROD-1");
    ScopedVariant missing;
    EXPECT_EQ(products->GetKey(2, missing.Receive()), DISP_E_BADINDEX);

    ScopedVariant first_value;
    ASSERT_EQ(products->GetValueAt(0, first_value.Receive()), S_OK);
    auto first = Take<tessel::ILicenceMap>(first_value.get(), tessel::kIidLicenceMap);
    ASSERT_TRUE(first);
    ScopedVariant version = get(*first, L"VersionType", S_OK);
    EXPECT_EQ(version.get().vt, VT_I4);
    EXPECT_EQ(version.get().lVal, 3);
    EXPECT_EQ(get(*first, L"ClientID", E_FAIL).get().vt, VT_EMPTY);  // not in the fixture

    ScopedVariant licences_value = get(*first, L"Licenses", S_OK);
    auto licences = Take<tessel::ILicenceMap>(licences_value.get(), tessel::kIidLicenceMap);
    ASSERT_TRUE(licences);
    ASSERT_EQ(licences->GetKey(0, key.Receive()), S_OK);
    EXPECT_EQ(Text(key.get()), L"CODE-A");
    ScopedVariant licence_value;
    ASSERT_EQ(licences->GetValueAt(0, licence_value.Receive()), S_OK);
    auto licence = Take<tessel::ILicenceMap>(licence_value.get(), tessel::kIidLicenceMap);
    ASSERT_TRUE(licence);
    EXPECT_EQ(Text(get(*licence, L"ProductLicenseID", S_OK).get()), L"pl-a");
    ScopedVariant licence_type = get(*licence, L"VersionType", S_OK);
    ScopedVariant as_ui4;
    EXPECT_EQ(ChangeType(licence_type, VT_UI4, as_ui4), S_OK);
    EXPECT_EQ(as_ui4.get().ulVal, 2u);
    ScopedVariant date = get(*licence, L"ActivationDate", S_OK);
    ASSERT_EQ(date.get().vt, VT_DATE);
    const SYSTEMTIME parts = DateParts(date.get().date);
    EXPECT_EQ(parts.wYear, 2018);
    EXPECT_EQ(parts.wMonth, 3);
    EXPECT_EQ(parts.wDay, 26);
    EXPECT_EQ(parts.wHour, 10);
    EXPECT_EQ(parts.wMinute, 30);

    ScopedVariant second_value;
    ASSERT_EQ(products->GetValueAt(1, second_value.Receive()), S_OK);
    auto second = Take<tessel::ILicenceMap>(second_value.get(), tessel::kIidLicenceMap);
    ASSERT_TRUE(second);
    ScopedVariant bad_type = get(*second, L"VersionType", S_OK);
    ScopedVariant no_ui4;
    EXPECT_EQ(ChangeType(bad_type, VT_UI4, no_ui4), DISP_E_TYPEMISMATCH);
  }
  const auto reads = Journal("LicenceMap.12");
  ASSERT_GE(reads.size(), 4u);
  EXPECT_EQ(Member(reads[0], "path"), "");
  EXPECT_EQ(Member(reads[0], "key"), "Products");
  EXPECT_EQ(Member(reads[0], "key_vt"), std::to_string(VT_BSTR));
  EXPECT_EQ(Member(reads[0], "result_vt"), std::to_string(VT_DISPATCH));
  EXPECT_EQ(Member(reads[3], "path"), "/Products/PROD-1");
  EXPECT_EQ(Member(reads[3], "key"), "Licenses");
}

constexpr char kReportsFixture[] = R"({"reports": [
    {"EventId": 1048579, "ReportDateTime": "2024-05-01T10:00:00", "DetectionID": 11,
     "MalwareID": 21},
    {"EventId": 1048582, "ReportDateTime": {"vt": "date_object", "value": 45413.75},
     "DetectionID": 12, "MalwareID": 22},
    {"EventId": 2097157, "ReportDateTime": 7, "DetectionID": 13, "MalwareID": 23}]})";

TEST_F(StandinSdk, ReportPagesHoldAtMostTheRequestedEntriesAndTheQueryIsJournalled) {
  Start();
  WriteFixture(kReportsFixture);
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    auto [reports, action, filter] = CreateQueryObjects(*host);
    ASSERT_TRUE(reports && action && filter);
    EXPECT_EQ(action->SetProperty(Bstr(L"Action").get(), Ui4(3)), S_OK);
    QueryBetween(*reports, *action, *filter, 45000.5, 45010.25);

    ComPtr<tessel::IList> page;
    ASSERT_EQ(reports->GetPage(Ui4(0), Ui4(2), page.put()), S_OK);
    ASSERT_TRUE(page);
    long count = 0;
    EXPECT_EQ(page->GetPageCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(page->GetCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    ScopedVariant entry_value;
    ASSERT_EQ(page->GetItem(0, entry_value.Receive()), S_OK);
    auto entry = Take<tessel::IEntryMap>(entry_value.get(), tessel::kIidEntryMap);
    ASSERT_TRUE(entry);
    const auto get = [](tessel::IEntryMap& map, const wchar_t* key, HRESULT expected) {
      ScopedVariant value;
      EXPECT_EQ(map.GetValue(Bstr(key).get(), value.Receive()), expected) << Narrow(key);
      return value;
    };
    ScopedVariant event = get(*entry, L"EventId", S_OK);
    EXPECT_EQ(event.get().vt, VT_I4);
    EXPECT_EQ(event.get().lVal, 1048579);
    EXPECT_EQ(get(*entry, L"DetectionID", S_OK).get().lVal, 11);
    EXPECT_EQ(get(*entry, L"MalwareID", S_OK).get().lVal, 21);
    EXPECT_EQ(get(*entry, L"Unknown", E_FAIL).get().vt, VT_EMPTY);
    ScopedVariant when = get(*entry, L"ReportDateTime", S_OK);
    ASSERT_EQ(when.get().vt, VT_DISPATCH);
    auto date = Take<tessel::IDateValue>(when.get(), tessel::kIidDateValue);
    ASSERT_TRUE(date);
    ScopedVariant ole;
    ASSERT_EQ(date->GetDate(ole.Receive()), S_OK);
    ASSERT_EQ(ole.get().vt, VT_R8);
    const SYSTEMTIME parts = DateParts(ole.get().dblVal);
    EXPECT_EQ(parts.wYear, 2024);
    EXPECT_EQ(parts.wMonth, 5);
    EXPECT_EQ(parts.wDay, 1);
    EXPECT_EQ(parts.wHour, 10);
    ScopedVariant beyond;
    EXPECT_EQ(page->GetItem(2, beyond.Receive()), DISP_E_BADINDEX);

    ASSERT_EQ(reports->GetPage(Ui4(2), Ui4(50), page.put()), S_OK);
    EXPECT_EQ(page->GetPageCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(page->GetItem(0, entry_value.Receive()), S_OK);
    entry = Take<tessel::IEntryMap>(entry_value.get(), tessel::kIidEntryMap);
    ASSERT_TRUE(entry);
    ScopedVariant no_date = get(*entry, L"ReportDateTime", S_OK);
    EXPECT_EQ(no_date.get().vt, VT_I4);  // no date object

    ASSERT_EQ(reports->GetPage(Ui4(3), Ui4(50), page.put()), S_OK);
    EXPECT_EQ(Journal("EntryMap.12").size(), 6u) << "entry reads are written with their page";
    EXPECT_EQ(page->GetPageCount(&count), S_OK);
    EXPECT_EQ(count, 0);
  }
  const auto queries = Journal("Reports.1");
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(Member(queries[0], "query_vt"), std::to_string(VT_DISPATCH));
  EXPECT_EQ(Member(queries[0], "action_vt"), std::to_string(VT_UI4));
  EXPECT_EQ(Member(queries[0], "action"), "3");
  EXPECT_EQ(Nested(queries[0], "date_filter", "start_vt"), std::to_string(VT_R8));
  EXPECT_EQ(Nested(queries[0], "date_filter", "start"), "45000.5");
  EXPECT_EQ(Nested(queries[0], "date_filter", "end"), "45010.25");
  const auto pages = Journal("Reports.4");
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(Member(pages[1], "first"), "2");
  EXPECT_EQ(Member(pages[1], "first_vt"), std::to_string(VT_UI4));
  EXPECT_EQ(Member(pages[1], "count"), "50");
  EXPECT_EQ(Member(pages[1], "entries"), "1");
  const auto keys = Journal("EntryMap.12");
  ASSERT_EQ(keys.size(), 6u);
  EXPECT_EQ(Member(keys[0], "map"), "entry");
  EXPECT_EQ(Member(keys[0], "entry"), "0");
  EXPECT_EQ(Member(keys[0], "key"), "EventId");
  EXPECT_EQ(Member(keys[5], "entry"), "2");
}

TEST_F(StandinSdk, FilteringByDateListsOnlyTheEntriesTheQueryWindowAdmits) {
  Start();
  // 10:00 is before the window, 18:00 inside it; an entry without a date is listed.
  std::string fixture = kReportsFixture;
  fixture.insert(1, R"("filter_by_date": true, )");
  WriteFixture(fixture);
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    auto [reports, action, filter] = CreateQueryObjects(*host);
    ASSERT_TRUE(reports && action && filter);
    QueryBetween(*reports, *action, *filter, 45413.5, 45414.0);  // 2024-05-01 12:00 to 05-02

    ComPtr<tessel::IList> page;
    ASSERT_EQ(reports->GetPage(Ui4(0), Ui4(50), page.put()), S_OK);
    long count = 0;
    EXPECT_EQ(page->GetPageCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    std::vector<long> ids;
    for (long i = 0; i < count; ++i) {
      ScopedVariant entry_value;
      ASSERT_EQ(page->GetItem(i, entry_value.Receive()), S_OK);
      auto entry = Take<tessel::IEntryMap>(entry_value.get(), tessel::kIidEntryMap);
      ASSERT_TRUE(entry);
      ScopedVariant id;
      ASSERT_EQ(entry->GetValue(Bstr(L"DetectionID").get(), id.Receive()), S_OK);
      ids.push_back(id.get().lVal);
    }
    EXPECT_EQ(ids, (std::vector<long>{12, 13}));
  }
  const auto queries = Journal("Reports.1");
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(Member(queries[0], "listed"), "2");
  const auto items = Journal("List.10");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(Member(items[0], "entry"), "1");  // the entry's place in the fixture
  EXPECT_EQ(Member(items[1], "entry"), "2");
}

TEST_F(StandinSdk, VpnTrafficValuesHaveTheirTypes) {
  Start();
  WriteFixture(R"({"vpn": {"TrafficIsUnlimited": false,
                           "TrafficRemaining": {"vt": "i8", "value": "1024"},
                           "TrafficLimit": {"vt": "ui8", "value": 10737418240}}})");
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    auto traffic = Create<tessel::IEntryMap>(*host, L"VPN_GetTraffic", tessel::kIidEntryMap);
    ASSERT_TRUE(traffic);
    ScopedVariant unlimited;
    ASSERT_EQ(traffic->GetValue(Bstr(L"TrafficIsUnlimited").get(), unlimited.Receive()), S_OK);
    EXPECT_EQ(unlimited.get().vt, VT_BOOL);
    EXPECT_EQ(unlimited.get().boolVal, VARIANT_FALSE);
    ScopedVariant remaining;
    ASSERT_EQ(traffic->GetValue(Bstr(L"TrafficRemaining").get(), remaining.Receive()), S_OK);
    EXPECT_EQ(remaining.get().vt, VT_I8);
    EXPECT_EQ(remaining.get().llVal, 1024);
    ScopedVariant limit;
    ASSERT_EQ(traffic->GetValue(Bstr(L"TrafficLimit").get(), limit.Receive()), S_OK);
    ScopedVariant as_ui8;
    EXPECT_EQ(limit.get().vt, VT_UI8);
    ASSERT_EQ(ChangeType(limit, VT_UI8, as_ui8), S_OK);
    EXPECT_EQ(as_ui8.get().ullVal, 10737418240ULL);
  }
  const auto keys = Journal("EntryMap.12");
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(Member(keys[1], "map"), "vpn");
  EXPECT_EQ(Member(keys[1], "key"), "TrafficRemaining");
  EXPECT_EQ(Member(keys[1], "result"), "1024");
  EXPECT_EQ(Member(keys[1], "result_vt"), std::to_string(VT_I8));
}

TEST_F(StandinSdk, FixtureFaultsReplaceResultsAndObjects) {
  Start();
  WriteFixture(R"({"reports": [{"EventId": 1}],
      "missing_progids": ["Tessel.License"],
      "faults": [{"call": "HostEntry.3", "match": "tessel.extendedaction", "hresult": "0x0",
                  "value": 5},
                 {"call": "Reports.4", "hresult": "0x80004005", "from": 2, "count": 1},
                 {"call": "Reports.4", "hresult": "0x80004005", "from": 3, "count": 1,
                  "keep_result": true},
                 {"call": "Reports.1", "hresult": "0x1"}]})");
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    ScopedVariant object;
    EXPECT_EQ(host->CreateObject(Bstr(L"Tessel.License").get(), object.Receive()), S_OK);
    EXPECT_EQ(object.get().vt, VT_EMPTY) << "a missing ProgID";
    EXPECT_EQ(host->CreateObject(Bstr(L"VPN_GetTraffic").get(), object.Receive()), S_OK);
    EXPECT_EQ(object.get().vt, VT_EMPTY) << "no \"vpn\" in the fixture";
    EXPECT_EQ(host->CreateObject(Bstr(L"Tessel.ExtendedAction").get(), object.Receive()), S_OK);
    EXPECT_EQ(object.get().vt, VT_I4);
    EXPECT_EQ(host->CreateObject(Bstr(L"Tessel.NoSuchThing").get(), object.Receive()),
              CO_E_CLASSSTRING);
    EXPECT_EQ(object.get().vt, VT_EMPTY);

    auto reports = Create<tessel::IReports>(*host, L"Tessel.Reports", tessel::kIidReports);
    ASSERT_TRUE(reports);
    ScopedVariant result;
    EXPECT_EQ(reports->Query(Empty(), result.Receive()), S_FALSE);
    ComPtr<tessel::IList> page;
    EXPECT_EQ(reports->GetPage(Ui4(0), Ui4(50), page.put()), S_OK);
    EXPECT_TRUE(page);
    EXPECT_EQ(reports->GetPage(Ui4(0), Ui4(50), page.put()), E_FAIL);
    EXPECT_FALSE(page);  // a failed page request hands back no List
    EXPECT_EQ(reports->GetPage(Ui4(0), Ui4(50), page.put()), E_FAIL);
    EXPECT_TRUE(page) << "the result kept";
    EXPECT_EQ(reports->GetPage(Ui4(0), Ui4(50), page.put()), S_OK);
    EXPECT_TRUE(page);
  }
  const auto pages = Journal("Reports.4");
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(Member(pages[1], "hresult"), "0x80004005");
  EXPECT_NE(pages[1].Find("fault"), nullptr);
  EXPECT_EQ(pages[0].Find("fault"), nullptr);
  EXPECT_EQ(pages[3].Find("fault"), nullptr);
  const auto created = Journal("HostEntry.3");
  ASSERT_EQ(created.size(), 5u);
  EXPECT_EQ(Member(created[3], "progid"), "Tessel.NoSuchThing");
  EXPECT_EQ(Member(created[3], "hresult"), "0x800401F3");
}

// The size of the later benchmark: 100,000 entries (about 10 MB), 2,000 pages of 50.
// Wall-clock time depends on the machine (under i386 emulation a load takes seconds), so
// the check is on growth: ten times the entries may cost about ten times the time, while a
// loader that rescans what it has read would cost about a hundred times.
TEST_F(StandinSdk, AHundredThousandEntriesLoadQuicklyAndPageByFifty) {
  const auto fixture_of = [](long entries) {
    std::string json = R"({"journal": "pages", "reports": [)";
    json.reserve(static_cast<std::size_t>(entries) * 110 + 64);
    char text[160];
    for (long i = 0; i < entries; ++i) {
      std::snprintf(text, sizeof text,
                    R"(%s{"EventId": 1048579, "ReportDateTime": "2024-05-%02ldT%02ld:%02ld:00", )"
                    R"("DetectionID": %ld, "MalwareID": %ld})",
                    i == 0 ? "" : ",", 1 + i % 28, i % 24, i % 60, i, 100000 + i);
      json += text;
    }
    json += "]}";
    return json;
  };
  Start();
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  // A new size is a new fixture to the stand-in, so each creation loads its file again.
  const auto load = [&](long entries, ComPtr<tessel::IHostEntry>& host) {
    const std::string json = fixture_of(entries);
    WriteFixture(json);
    LARGE_INTEGER start{}, loaded{};
    ::QueryPerformanceCounter(&start);
    host = CreateHost();
    ::QueryPerformanceCounter(&loaded);
    const double seconds = double(loaded.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("fixture of %zu bytes loaded in %.3f s\n", json.size(), seconds);
    return seconds;
  };
  constexpr long kEntries = 100000;
  ComPtr<tessel::IHostEntry> host;
  const double tenth = load(kEntries / 10, host);
  ASSERT_TRUE(host);
  host.reset();
  const double whole = load(kEntries, host);
  ASSERT_TRUE(host);
  EXPECT_LT(whole, 30 * tenth) << "ten times the entries took " << whole / tenth
                               << " times as long";
  const auto loads = Journal("load", "event");
  ASSERT_EQ(loads.size(), 2u);
  EXPECT_EQ(Member(loads[0], "entries"), "10000");
  EXPECT_EQ(Member(loads[1], "entries"), "100000");

  auto reports = Create<tessel::IReports>(*host, L"Tessel.Reports", tessel::kIidReports);
  ASSERT_TRUE(reports);
  long walked = 0;
  long pages = 0;
  for (long count = 50; count == 50; ++pages) {
    ComPtr<tessel::IList> page;
    ASSERT_EQ(reports->GetPage(Ui4(static_cast<ULONG>(walked)), Ui4(50), page.put()), S_OK);
    ASSERT_EQ(page->GetPageCount(&count), S_OK);
    ASSERT_LE(count, 50);
    ScopedVariant entry_value;
    if (count > 0) {
      ASSERT_EQ(page->GetItem(count - 1, entry_value.Receive()), S_OK);
      auto entry = Take<tessel::IEntryMap>(entry_value.get(), tessel::kIidEntryMap);
      ASSERT_TRUE(entry);
      ScopedVariant id;
      ASSERT_EQ(entry->GetValue(Bstr(L"DetectionID").get(), id.Receive()), S_OK);
      EXPECT_EQ(id.get().lVal, walked + count - 1);
    }
    walked += count;
  }
  EXPECT_EQ(walked, kEntries);
  EXPECT_EQ(pages, kEntries / 50 + 1);  // the last request finds the end
}

TEST_F(StandinSdk, FixtureThatDoesNotParseFailsTheCreationAndSaysWhy) {
  Start();
  WriteFixture(R"({"reports": [{"EventId": 1}], "config": {"proxy": "x"}})");
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(::CoCreateInstance(tessel::kClsidHostEntry, nullptr, CLSCTX_ALL, IID_IUnknown,
                               unknown.put_void()),
            E_FAIL);
  const auto errors = Journal("fixture_error", "event");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(Member(errors[0], "message").find("config.proxy"), std::string::npos)
      << Member(errors[0], "message");
}

TEST_F(StandinSdk, RegistrationFindsTheClassWithoutActivationContext) {
  Start(false);
  WriteFixture(R"({"config": {"0x4009025": 77}})");
  const std::wstring dll = ExeFolder() + L"TesselApi.dll";
  zentrak::ScopedModule module(::LoadLibraryW(dll.c_str()));
  ASSERT_TRUE(module);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  const auto entry = [&](const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name)));
  };
  const Entry register_server = entry("DllRegisterServer");
  const Entry unregister_server = entry("DllUnregisterServer");
  ASSERT_NE(register_server, nullptr);
  ASSERT_NE(unregister_server, nullptr);
  ASSERT_EQ(unregister_server(), S_OK);
  {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(::CoCreateInstance(tessel::kClsidHostEntry, nullptr, CLSCTX_ALL, IID_IUnknown,
                                 unknown.put_void()),
              REGDB_E_CLASSNOTREG);
  }
  ASSERT_EQ(register_server(), S_OK);
  {
    ComPtr<tessel::IHostEntry> host = CreateHost();
    ASSERT_TRUE(host);
    auto configuration =
        Create<tessel::IConfiguration>(*host, L"Tessel.Configuration", tessel::kIidConfiguration);
    ASSERT_TRUE(configuration);
    ScopedVariant value;
    EXPECT_EQ(configuration->GetItem(0, 0x4009025, value.Receive()), S_OK);
    EXPECT_EQ(value.get().lVal, 77);
  }
  EXPECT_EQ(unregister_server(), S_OK);
  EXPECT_EQ(Journal("Configuration.3").size(), 1u);
}

}  // namespace
