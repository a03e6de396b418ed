#include "Objects.h"

#include <cstdio>

#include "Text.h"

namespace standin {
namespace {

using Type = ValueSpec::Type;

std::wstring_view View(BSTR text) noexcept { return {text ? text : L"", ::SysStringLen(text)}; }

const char* KindName(Origin::Kind kind) noexcept {
  switch (kind) {
    case Origin::Kind::kLicence:
      return "licence";
    case Origin::Kind::kEntry:
      return "entry";
    case Origin::Kind::kVpn:
      return "vpn";
    case Origin::Kind::kNew:
      return "new";
    case Origin::Kind::kValue:
      break;
  }
  return "value";
}

// A VARIANT as an unsigned 32-bit number (VT_UI4 as is, else changed to VT_UI4).
bool ToUnsigned(const VARIANT& value, ULONG& number) {
  if (value.vt == VT_UI4) {
    number = value.ulVal;
    return true;
  }
  zentrak::ScopedVariant changed;
  const HRESULT hr =
      ::VariantChangeType(changed.Receive(), const_cast<VARIANT*>(&value), 0, VT_UI4);
  if (FAILED(hr)) return false;
  number = changed.get().ulVal;
  return true;
}

// Fills out (whatever it held: an out parameter) with what the fixture says: S_OK, or
// E_OUTOFMEMORY. key is the value's key in the map it comes from (none for a top-level
// value), for the path of a map in it.
HRESULT Deliver(const ValueSpec& spec, const Origin& origin, std::optional<std::wstring_view> key,
                const std::shared_ptr<const Fixture>& fixture, VARIANT& out) {
  ::VariantInit(&out);
  switch (spec.type) {
    case Type::kEmpty:
      break;
    case Type::kNull:
      out.vt = VT_NULL;
      break;
    case Type::kI2:
      out.vt = VT_I2;
      out.iVal = static_cast<SHORT>(spec.integer);
      break;
    case Type::kI4:
      out.vt = VT_I4;
      out.lVal = static_cast<LONG>(static_cast<std::uint32_t>(spec.integer));
      break;
    case Type::kUi4:
      out.vt = VT_UI4;
      out.ulVal = static_cast<ULONG>(spec.integer);
      break;
    case Type::kInt:
      out.vt = VT_INT;
      out.intVal = static_cast<INT>(static_cast<std::uint32_t>(spec.integer));
      break;
    case Type::kUint:
      out.vt = VT_UINT;
      out.uintVal = static_cast<UINT>(spec.integer);
      break;
    case Type::kI8:
      out.vt = VT_I8;
      out.llVal = spec.integer;
      break;
    case Type::kUi8:
      out.vt = VT_UI8;
      out.ullVal = static_cast<ULONGLONG>(spec.integer);
      break;
    case Type::kR8:
      out.vt = VT_R8;
      out.dblVal = spec.real;
      break;
    case Type::kBool:
      out.vt = VT_BOOL;
      out.boolVal = static_cast<VARIANT_BOOL>(spec.integer);
      break;
    case Type::kBstr:
      out.bstrVal = ::SysAllocStringLen(spec.text.data(), static_cast<UINT>(spec.text.size()));
      if (out.bstrVal == nullptr) return E_OUTOFMEMORY;
      out.vt = VT_BSTR;
      break;
    case Type::kDate:
      out.vt = VT_DATE;
      out.date = spec.real;
      break;
    case Type::kError:
      out.vt = VT_ERROR;
      out.scode = static_cast<SCODE>(spec.integer);
      break;
    case Type::kDateObject:
      out.vt = VT_DISPATCH;
      out.pdispVal = new DateValue(fixture, spec.real, origin);
      break;
    case Type::kDispatch:
    case Type::kUnknown: {
      IDispatch* map = nullptr;
      if (spec.map) {
        Origin inner = origin;
        if (key) {
          inner.path += L'/';
          inner.path += *key;
        }
        if (origin.kind == Origin::Kind::kLicence) {
          map = new LicenceMap(fixture, spec.map.get(), std::move(inner));
        } else {
          map = new EntryMap(fixture, spec.map.get(), std::move(inner));
        }
      }
      out.vt = spec.type == Type::kDispatch ? VT_DISPATCH : VT_UNKNOWN;
      out.pdispVal = map;  // the same pointer serves as IUnknown
      break;
    }
  }
  return S_OK;
}

// What a skipped call hands back: the fault rule's value (true), or the out VARIANT left
// as the caller gave it.
bool Replace(const Call& call, const std::shared_ptr<const Fixture>& fixture, VARIANT& out) {
  const ValueSpec* value = call.Replacement();
  if (value == nullptr) return false;
  Deliver(*value, Origin{Origin::Kind::kValue, -1, {}}, std::nullopt, fixture, out);
  return true;
}

long ReplacementCount(const Call& call) {
  const ValueSpec* value = call.Replacement();
  return value ? static_cast<long>(value->integer) : 0;
}

template <typename Self>
Self* Own(const VARIANT& value, const IID& self_iid) {
  if ((value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) || value.punkVal == nullptr) {
    return nullptr;
  }
  void* self = nullptr;
  if (FAILED(value.punkVal->QueryInterface(self_iid, &self))) return nullptr;
  auto* object = static_cast<Self*>(self);
  object->Release();  // the VARIANT keeps it alive for the caller's use
  return object;
}

// The query as Reports.1 receives it: the ExtendedAction's "Action" and "DateFilter".
void DescribeQuery(const VARIANT& query, JournalLine& line) {
  const ExtendedAction* action = Own<ExtendedAction>(query, kIidSelfExtendedAction);
  const auto code = action ? action->Property(L"Action") : std::nullopt;
  if (code) {
    line.Variant("action", *code);
  } else {
    line.Null("action");
  }
  const auto filter_value = action ? action->Property(L"DateFilter") : std::nullopt;
  if (!filter_value) {
    line.Null("date_filter");
    return;
  }
  const auto* filter = Own<DateTimeFilterObject>(*filter_value, kIidSelfDateTimeFilterObject);
  if (filter == nullptr) {  // not a date filter of the stand-in's
    line.Raw("date_filter", "{" + JournalLine::VariantMembers("value", *filter_value) + "}");
    return;
  }
  line.Raw("date_filter", "{" + JournalLine::VariantMembers("start", filter->start()) + "," +
                              JournalLine::VariantMembers("end", filter->end()) + "}");
}

// The query's date filter as OLE dates (start, end), when it has one of the stand-in's
// with both dates given as doubles.
std::optional<std::pair<double, double>> FilterWindow(const VARIANT& query) {
  const ExtendedAction* action = Own<ExtendedAction>(query, kIidSelfExtendedAction);
  const auto filter_value = action ? action->Property(L"DateFilter") : std::nullopt;
  if (!filter_value) return std::nullopt;
  const auto* filter = Own<DateTimeFilterObject>(*filter_value, kIidSelfDateTimeFilterObject);
  if (filter == nullptr || filter->start().vt != VT_R8 || filter->end().vt != VT_R8) {
    return std::nullopt;
  }
  return std::make_pair(filter->start().dblVal, filter->end().dblVal);
}

// The entries a query lists: all of them, or with filter_by_date those whose report
// time lies in the filter's window (an entry without a date is listed).
std::vector<std::size_t> ListedEntries(const Fixture& fixture, const VARIANT& query) {
  const auto window = fixture.filter_by_date ? FilterWindow(query) : std::nullopt;
  std::vector<std::size_t> listed;
  for (std::size_t i = 0; i < fixture.reports.size(); ++i) {
    const ValueSpec* time = fixture.reports[i].Find(L"ReportDateTime");
    const bool dated = time != nullptr && (time->type == ValueSpec::Type::kDateObject ||
                                           time->type == ValueSpec::Type::kDate);
    if (!window || !dated || (window->first <= time->real && time->real <= window->second)) {
      listed.push_back(i);
    }
  }
  return listed;
}

}  // namespace

void Origin::Describe(JournalLine& line) const {
  line.Ascii("map", KindName(kind));
  if (entry >= 0) line.Integer("entry", entry);
  if (kind == Kind::kLicence || !path.empty()) line.Text("path", path);
}

Call::Call(const Fixture& fixture, Method method, const Subject& subject, bool entry_read)
    : fault_(Session::Instance().Fault(fixture, method, subject)), entry_read_(entry_read) {
  if (Session::Instance().Journalling() &&
      (fixture.journal == JournalLevel::kAll ||
       (fixture.journal == JournalLevel::kPages && !entry_read))) {
    line_.emplace("call", MethodName(method));
  }
}

HRESULT Call::Finish(HRESULT hr) {
  if (fault_ != nullptr) hr = fault_->hr;
  if (line_) {
    line_->Hresult(hr);
    if (fault_ != nullptr) line_->Raw("fault", "true");
    Session::Instance().Write(std::move(*line_).Finish(), entry_read_);
    line_.reset();
  }
  return hr;
}

// ---- What the program sends

namespace {

// An argument the SDK does not take in that form: an "error" line in the journal, so
// that a scenario sees the program sent what the real SDK would refuse or misread.
void ExpectSent(const char* call, const char* argument, bool as_expected, const VARIANT& sent) {
  if (as_expected) return;
  JournalLine line("event", "error");
  // "about", not "call": the line is no call line of its own.
  line.Ascii("about", call).Ascii("argument", argument).Variant("sent", sent);
  Session::Instance().Write(std::move(line).Finish());
}

bool IsUi4(const VARIANT& v, std::optional<ULONG> value = std::nullopt) {
  return v.vt == VT_UI4 && (!value || v.ulVal == *value);
}

bool IsObject(const VARIANT& v) { return v.vt == VT_DISPATCH && v.pdispVal != nullptr; }

}  // namespace

// ---- HostEntry

HRESULT HostEntry::Initialize(VARIANT data) {
  ExpectSent("HostEntry.1", "data", data.vt == (VT_ARRAY | VT_UI1) && data.parray != nullptr, data);
  Call call(*fixture_, Method::kHostEntry1);
  if (JournalLine* line = call.line()) {
    line->Integer("data_vt", data.vt);
    if (data.vt == (VT_ARRAY | VT_UI1)) line->Bytes(data.parray);
  }
  return call.Finish(S_OK);
}

HRESULT HostEntry::CreateObject(BSTR name, VARIANT* object) {
  Call call(*fixture_, Method::kHostEntry3, Subject{View(name), std::nullopt, -1});
  JournalLine* line = call.line();
  if (line) line->Text("progid", View(name));
  if (object == nullptr) return call.Finish(E_POINTER);
  ::VariantInit(object);  // no object unless one is made
  HRESULT hr = S_OK;
  if (call.Skipped()) {
    Replace(call, fixture_, *object);
  } else {
    hr = Make(View(name), *object);
  }
  if (line) line->Variant("result", *object);
  return call.Finish(hr);
}

HRESULT HostEntry::Make(std::wstring_view name, VARIANT& object) const {
  if (fixture_->IsMissing(name)) return S_OK;  // no object
  IDispatch* made = nullptr;
  if (EqualsIgnoreCase(name, L"Tessel.Configuration")) {
    made = new Configuration(fixture_);
  } else if (EqualsIgnoreCase(name, L"Tessel.License")) {
    made = new License(fixture_);
  } else if (EqualsIgnoreCase(name, L"Tessel.Reports")) {
    made = new Reports(fixture_);
  } else if (EqualsIgnoreCase(name, L"Tessel.ExtendedAction")) {
    made = new ExtendedAction(fixture_);
  } else if (EqualsIgnoreCase(name, L"Tessel.DateTimeFilterObject")) {
    made = new DateTimeFilterObject(fixture_);
  } else if (EqualsIgnoreCase(name, L"Tessel.List")) {
    made = new List(fixture_, 0, {}, false);
  } else if (EqualsIgnoreCase(name, L"Tessel.StringMap")) {
    made = new EntryMap(fixture_, nullptr, Origin{Origin::Kind::kNew, -1, {}});
  } else if (EqualsIgnoreCase(name, L"VPN_GetTraffic")) {
    if (!fixture_->vpn) return S_OK;  // no "vpn" in the fixture: no object
    made = new EntryMap(fixture_, fixture_->vpn.get(), Origin{Origin::Kind::kVpn, -1, {}});
  } else {
    return CO_E_CLASSSTRING;  // a name the SDK does not know
  }
  object.vt = VT_DISPATCH;
  object.pdispVal = made;
  return S_OK;
}

// ---- Configuration

HRESULT Configuration::GetItem(long reserved, long item, VARIANT* value) {
  if (reserved != 0) {
    VARIANT sent;
    sent.vt = VT_I4;
    sent.lVal = reserved;
    ExpectSent("Configuration.3", "reserved", false, sent);
  }
  const auto id = static_cast<std::uint32_t>(item);
  Call call(*fixture_, Method::kConfiguration3, Subject{{}, id, -1});
  JournalLine* line = call.line();
  if (line) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%lX", static_cast<unsigned long>(id));
    line->Integer("reserved", reserved).Ascii("item", hex);
  }
  if (value == nullptr) return call.Finish(E_POINTER);
  HRESULT hr = E_FAIL;  // an item the fixture does not have: the VARIANT stays as given
  bool filled = false;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *value);
  } else if (const auto found = fixture_->config.find(id); found != fixture_->config.end()) {
    hr = Deliver(found->second, Origin{Origin::Kind::kValue, -1, {}}, std::nullopt, fixture_,
                 *value);
    filled = true;
  }
  if (line && filled) line->Variant("result", *value);
  return call.Finish(hr);
}

// ---- License

HRESULT License::GetLicenses(VARIANT filter, VARIANT* licences) {
  ExpectSent("License.3", "filter", filter.vt == VT_EMPTY, filter);
  Call call(*fixture_, Method::kLicense3);
  JournalLine* line = call.line();
  if (line) line->Variant("filter", filter);
  if (licences == nullptr) return call.Finish(E_POINTER);
  bool filled = true;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *licences);
  } else {
    ::VariantInit(licences);
    licences->vt = VT_DISPATCH;
    licences->pdispVal =
        new LicenceMap(fixture_, fixture_->licences.get(), Origin{Origin::Kind::kLicence, -1, {}});
  }
  if (line && filled) line->Variant("result", *licences);
  return call.Finish(S_OK);
}

// ---- Reports

HRESULT Reports::Query(VARIANT action, VARIANT* result) {
  ExpectSent("Reports.1", "query", IsObject(action), action);
  Call call(*fixture_, Method::kReports1);
  if (JournalLine* line = call.line()) {
    line->Variant("query", action);
    DescribeQuery(action, *line);
  }
  if (result == nullptr) return call.Finish(E_POINTER);
  if (call.Skipped()) {
    Replace(call, fixture_, *result);
  } else {
    ::VariantInit(result);  // its content is not used
    listed_ = ListedEntries(*fixture_, action);
    queried_ = true;
    if (JournalLine* line = call.line()) line->Unsigned("listed", listed_.size());
  }
  return call.Finish(S_OK);
}

HRESULT Reports::GetPage(VARIANT first, VARIANT count, tessel::IList** page) {
  ExpectSent("Reports.4", "first", IsUi4(first), first);
  ExpectSent("Reports.4", "count", IsUi4(count, 50), count);
  ULONG from = 0;
  ULONG most = 0;
  const bool numbers = ToUnsigned(first, from) && ToUnsigned(count, most);
  Call call(*fixture_, Method::kReports4,
            Subject{{}, numbers ? std::optional<std::int64_t>(from) : std::nullopt, -1});
  JournalLine* line = call.line();
  if (line) line->Variant("first", first).Variant("count", count);
  if (page == nullptr) return call.Finish(E_POINTER);
  *page = nullptr;
  if (call.Skipped()) return call.Finish(S_OK);
  if (!numbers) return call.Finish(DISP_E_TYPEMISMATCH);
  if (!queried_) listed_ = ListedEntries(*fixture_, VARIANT{});  // no query: every entry
  const std::size_t total = listed_.size();
  const std::size_t begin = from < total ? from : total;
  const std::size_t size = most < total - begin ? most : total - begin;  // never more than asked
  *page = new List(
      fixture_, begin,
      std::vector<std::size_t>(listed_.begin() + static_cast<std::ptrdiff_t>(begin),
                               listed_.begin() + static_cast<std::ptrdiff_t>(begin + size)),
      true);
  if (line) line->Unsigned("entries", size);
  return call.Finish(S_OK);
}

// ---- ExtendedAction

HRESULT ExtendedAction::SetProperty(BSTR name, VARIANT value) {
  const std::wstring_view key = View(name);
  if (key == L"Action") {
    ExpectSent("ExtendedAction.7", "Action", IsUi4(value, 3), value);
  } else if (key == L"DateFilter") {
    ExpectSent("ExtendedAction.7", "DateFilter", IsObject(value), value);
  } else {
    ExpectSent("ExtendedAction.7", "name", false, value);
  }
  Call call(*fixture_, Method::kExtendedAction7, Subject{key, std::nullopt, -1});
  if (JournalLine* line = call.line()) line->Text("name", key).Variant("value", value);
  if (call.Skipped()) return call.Finish(S_OK);
  zentrak::ScopedVariant copy;
  const HRESULT copied = ::VariantCopy(copy.Receive(), const_cast<VARIANT*>(&value));
  if (FAILED(copied)) return call.Finish(copied);
  for (auto& [property, stored] : properties_) {
    if (property == key) {
      stored = std::move(copy);
      return call.Finish(S_OK);
    }
  }
  properties_.emplace_back(std::wstring(key), std::move(copy));
  return call.Finish(S_OK);
}

std::optional<VARIANT> ExtendedAction::Property(std::wstring_view name) const noexcept {
  for (const auto& [property, stored] : properties_) {
    if (property == name) return stored.get();
  }
  return std::nullopt;
}

// ---- DateTimeFilterObject

HRESULT DateTimeFilterObject::Set(Method method, const VARIANT& value,
                                  zentrak::ScopedVariant& bound) {
  ExpectSent(method == Method::kDateTimeFilterObject20 ? "DateTimeFilterObject.20"
                                                       : "DateTimeFilterObject.21",
             "date", value.vt == VT_R8, value);
  Call call(*fixture_, method);
  if (JournalLine* line = call.line()) line->Variant("value", value);
  if (call.Skipped()) return call.Finish(S_OK);
  zentrak::ScopedVariant copy;
  const HRESULT copied = ::VariantCopy(copy.Receive(), const_cast<VARIANT*>(&value));
  if (SUCCEEDED(copied)) bound = std::move(copy);
  return call.Finish(copied);
}

HRESULT DateTimeFilterObject::SetStart(VARIANT start) {
  return Set(Method::kDateTimeFilterObject20, start, start_);
}

HRESULT DateTimeFilterObject::SetEnd(VARIANT end) {
  return Set(Method::kDateTimeFilterObject21, end, end_);
}

// ---- List

void List::DescribePage(JournalLine& line) const {
  if (page_) {
    line.Unsigned("page", first_);
  } else {
    line.Null("page");
  }
}

HRESULT List::Count(Method method, long* count) {
  Call call(*fixture_, method);
  JournalLine* line = call.line();
  if (line) DescribePage(*line);
  if (count == nullptr) return call.Finish(E_POINTER);
  *count = call.Skipped() ? ReplacementCount(call) : static_cast<long>(entries_.size());
  if (line) line->Integer("result", *count);
  return call.Finish(S_OK);
}

HRESULT List::GetPageCount(long* count) { return Count(Method::kList4, count); }

HRESULT List::GetCount(long* count) { return Count(Method::kList5, count); }

HRESULT List::GetItem(long index, VARIANT* entry) {
  const bool inside = index >= 0 && static_cast<std::size_t>(index) < entries_.size();
  const long at = inside ? static_cast<long>(entries_[static_cast<std::size_t>(index)]) : -1;
  Call call(*fixture_, Method::kList10, Subject{{}, index, at}, page_);
  JournalLine* line = call.line();
  if (line) {
    DescribePage(*line);
    line->Integer("index", index);
  }
  if (entry == nullptr) return call.Finish(E_POINTER);
  if (call.Skipped()) {
    Replace(call, fixture_, *entry);
    return call.Finish(S_OK);
  }
  if (!inside) return call.Finish(DISP_E_BADINDEX);
  ::VariantInit(entry);
  entry->vt = VT_DISPATCH;
  entry->pdispVal = new EntryMap(fixture_, &fixture_->reports[static_cast<std::size_t>(at)],
                                 Origin{Origin::Kind::kEntry, at, {}});
  if (line) line->Integer("entry", at);
  return call.Finish(S_OK);
}

// ---- EntryMap

HRESULT EntryMap::GetValue(BSTR key, VARIANT* value) {
  const std::wstring_view name = View(key);
  Call call(*fixture_, Method::kEntryMap12, Subject{name, std::nullopt, origin_.entry},
            origin_.IsEntry());
  JournalLine* line = call.line();
  if (line) {
    origin_.Describe(*line);
    line->Text("key", name);
  }
  if (value == nullptr) return call.Finish(E_POINTER);
  HRESULT hr = E_FAIL;  // a key the map does not have: the VARIANT stays as given
  bool filled = false;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *value);
  } else if (const ValueSpec* found = data_ ? data_->Find(name) : nullptr) {
    hr = Deliver(*found, origin_, name, fixture_, *value);
    filled = true;
  }
  if (line && filled) line->Variant("result", *value);
  return call.Finish(hr);
}

// ---- DateValue

HRESULT DateValue::GetDate(VARIANT* date) {
  Call call(*fixture_, Method::kDateValue20, Subject{{}, std::nullopt, origin_.entry},
            origin_.IsEntry());
  JournalLine* line = call.line();
  if (line) origin_.Describe(*line);
  if (date == nullptr) return call.Finish(E_POINTER);
  bool filled = true;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *date);
  } else {
    ::VariantInit(date);
    date->vt = VT_R8;  // the OLE date as a plain double
    date->dblVal = date_;
  }
  if (line && filled) line->Variant("result", *date);
  return call.Finish(S_OK);
}

// ---- LicenceMap

HRESULT LicenceMap::GetCount(long* count) {
  Call call(*fixture_, Method::kLicenceMap4);
  JournalLine* line = call.line();
  if (line) origin_.Describe(*line);
  if (count == nullptr) return call.Finish(E_POINTER);
  *count = call.Skipped() ? ReplacementCount(call) : static_cast<long>(data_->pairs.size());
  if (line) line->Integer("result", *count);
  return call.Finish(S_OK);
}

HRESULT LicenceMap::GetKey(long index, VARIANT* key) {
  Call call(*fixture_, Method::kLicenceMap10, Subject{{}, index, -1});
  JournalLine* line = call.line();
  if (line) {
    origin_.Describe(*line);
    line->Integer("index", index);
  }
  if (key == nullptr) return call.Finish(E_POINTER);
  HRESULT hr = DISP_E_BADINDEX;
  bool filled = false;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *key);
    hr = S_OK;
  } else if (Has(index)) {
    ValueSpec text;
    text.type = ValueSpec::Type::kBstr;
    text.text = *data_->pairs[static_cast<std::size_t>(index)].first;
    hr = Deliver(text, origin_, std::nullopt, fixture_, *key);
    filled = true;
  }
  if (line && filled) line->Variant("result", *key);
  return call.Finish(hr);
}

HRESULT LicenceMap::GetValueAt(long index, VARIANT* value) {
  Call call(*fixture_, Method::kLicenceMap11, Subject{{}, index, -1});
  JournalLine* line = call.line();
  if (line) {
    origin_.Describe(*line);
    line->Integer("index", index);
  }
  if (value == nullptr) return call.Finish(E_POINTER);
  HRESULT hr = DISP_E_BADINDEX;
  bool filled = false;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *value);
    hr = S_OK;
  } else if (Has(index)) {
    const auto& [name, spec] = data_->pairs[static_cast<std::size_t>(index)];
    hr = Deliver(spec, origin_, *name, fixture_, *value);
    filled = true;
    if (line) line->Text("key", *name);
  }
  if (line && filled) line->Variant("result", *value);
  return call.Finish(hr);
}

HRESULT LicenceMap::GetValue(VARIANT key, VARIANT* value) {
  ExpectSent("LicenceMap.12", "key", key.vt == VT_BSTR, key);
  zentrak::ScopedVariant changed;  // the key as text, when it came as another type
  const HRESULT as_text =
      key.vt == VT_BSTR ? S_OK : ::VariantChangeType(changed.Receive(), &key, 0, VT_BSTR);
  const std::wstring_view name =
      FAILED(as_text) ? std::wstring_view()
                      : View(key.vt == VT_BSTR ? key.bstrVal : changed.get().bstrVal);
  Call call(*fixture_, Method::kLicenceMap12, Subject{name, std::nullopt, -1});
  JournalLine* line = call.line();
  if (line) {
    origin_.Describe(*line);
    line->Variant("key", key);
  }
  if (value == nullptr) return call.Finish(E_POINTER);
  HRESULT hr = E_FAIL;  // a key the map does not have: the VARIANT stays as given
  bool filled = false;
  if (call.Skipped()) {
    filled = Replace(call, fixture_, *value);
    hr = S_OK;
  } else if (FAILED(as_text)) {
    hr = DISP_E_TYPEMISMATCH;
  } else if (const ValueSpec* found = data_->Find(name)) {
    hr = Deliver(*found, origin_, name, fixture_, *value);
    filled = true;
  }
  if (line && filled) line->Variant("result", *value);
  return call.Finish(hr);
}

}  // namespace standin
