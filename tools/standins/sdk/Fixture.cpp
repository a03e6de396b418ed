#include "Fixture.h"

#include <ole2.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "Json.h"
#include "Text.h"

namespace standin {
namespace {

using json::Value;
using Type = ValueSpec::Type;

constexpr std::string_view kMethodNames[kMethodCount] = {
    "HostEntry.create",
    "HostEntry.1",
    "HostEntry.3",
    "Configuration.3",
    "License.3",
    "Reports.1",
    "Reports.4",
    "ExtendedAction.7",
    "DateTimeFilterObject.20",
    "DateTimeFilterObject.21",
    "List.4",
    "List.5",
    "List.10",
    "EntryMap.12",
    "DateValue.20",
    "LicenceMap.4",
    "LicenceMap.10",
    "LicenceMap.11",
    "LicenceMap.12",
};

struct HresultName {
  const char* name;
  HRESULT hr;
};
// Names a fixture may use instead of the number.
constexpr HresultName kHresults[] = {
    {"S_OK", S_OK},
    {"S_FALSE", S_FALSE},
    {"E_FAIL", E_FAIL},
    {"E_NOTIMPL", E_NOTIMPL},
    {"E_NOINTERFACE", E_NOINTERFACE},
    {"E_POINTER", E_POINTER},
    {"E_UNEXPECTED", E_UNEXPECTED},
    {"E_ACCESSDENIED", E_ACCESSDENIED},
    {"E_OUTOFMEMORY", E_OUTOFMEMORY},
    {"E_INVALIDARG", E_INVALIDARG},
    {"DISP_E_TYPEMISMATCH", DISP_E_TYPEMISMATCH},
    {"DISP_E_BADINDEX", DISP_E_BADINDEX},
    {"REGDB_E_CLASSNOTREG", REGDB_E_CLASSNOTREG},
    {"CO_E_CLASSSTRING", CO_E_CLASSSTRING},
};

struct TypeName {
  const char* name;
  Type type;
};
constexpr TypeName kTypes[] = {
    {"empty", Type::kEmpty},
    {"null", Type::kNull},
    {"i2", Type::kI2},
    {"i4", Type::kI4},
    {"ui4", Type::kUi4},
    {"int", Type::kInt},
    {"uint", Type::kUint},
    {"i8", Type::kI8},
    {"ui8", Type::kUi8},
    {"r8", Type::kR8},
    {"bool", Type::kBool},
    {"bstr", Type::kBstr},
    {"date", Type::kDate},
    {"error", Type::kError},
    {"date_object", Type::kDateObject},
    {"dispatch_null", Type::kDispatch},
    {"dispatch", Type::kDispatch},
    {"unknown", Type::kUnknown},
};

// Where a fixture value sits, rendered only for an error message.
struct Where {
  const Where* parent;
  std::string_view key;
  long index;  // -1: a member (key), else an array element

  [[nodiscard]] std::string Text() const {
    std::string head = parent ? parent->Text() : std::string();
    if (index >= 0) return head + "[" + std::to_string(index) + "]";
    return head.empty() ? std::string(key) : head + "." + std::string(key);
  }
};

[[noreturn]] void Fail(const Where& where, const std::string& what) {
  throw std::runtime_error(where.Text() + ": " + what);
}

// The kind of map a JSON object becomes, and the typing rules of the section.
enum class Section : std::uint8_t { kConfig, kLicence, kEntry };

bool ParseInteger(std::string_view text, std::int64_t& value) noexcept {
  bool negative = false;
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
    return false;
  }
  if (negative) {
    if (magnitude > 0x8000000000000000ULL) return false;
    value = static_cast<std::int64_t>(0 - magnitude);
  } else {
    value = static_cast<std::int64_t>(magnitude);  // UI8 values above INT64_MAX wrap here
  }
  return true;
}

// An integer from a JSON number without fraction or a string of digits ("0x" for hex).
std::int64_t IntegerOf(const Value& value, const Where& where) {
  std::int64_t result = 0;
  const bool is_text =
      value.kind == Value::Kind::kString || (value.kind == Value::Kind::kNumber && value.integer);
  if (!is_text || !ParseInteger(value.text, result)) Fail(where, "expected an integer");
  return result;
}

bool FitsI32(const Value& value) {
  std::int64_t n = 0;
  return ParseInteger(value.text, n) && n >= INT32_MIN && n <= INT32_MAX;
}

double RealOf(const Value& value, const Where& where) {
  if (value.kind != Value::Kind::kNumber) Fail(where, "expected a number");
  return std::strtod(value.text.c_str(), nullptr);
}

double DateOf(const Value& value, const Where& where) {
  if (value.kind == Value::Kind::kNumber) return RealOf(value, where);
  double date = 0;
  if (value.kind != Value::Kind::kString || !ParseOleDate(value.text, date)) {
    Fail(where, "expected a date \"YYYY-MM-DDTHH:MM:SS\" or an OLE date number");
  }
  return date;
}

std::int64_t RangeChecked(std::int64_t n, std::int64_t low, std::int64_t high, const Where& where) {
  if (n < low || n > high) Fail(where, "integer out of range for its type");
  return n;
}

HRESULT HresultOf(const Value& value, const Where& where) {
  if (value.kind == Value::Kind::kString) {
    for (const auto& entry : kHresults) {
      if (value.text == entry.name) return entry.hr;
    }
  }
  std::int64_t n = 0;
  if ((value.kind == Value::Kind::kString || value.kind == Value::Kind::kNumber) &&
      ParseInteger(value.text, n) && n >= INT32_MIN && n <= UINT32_MAX) {
    return static_cast<HRESULT>(static_cast<std::uint32_t>(n));
  }
  Fail(where,
       "expected an HRESULT: a number such as \"0x80004005\" or a name such as "
       "\"E_FAIL\"");
}

class Reader {
 public:
  explicit Reader(Fixture& fixture) : fixture_(fixture) {}

  void Document(const Value& root) {
    const Where top{nullptr, "fixture", -1};
    if (root.kind != Value::Kind::kObject) Fail(top, "expected an object");
    for (const Value& member : root.items) {
      const Where where{nullptr, member.key, -1};
      if (member.key == "config") {
        Config(member, where);
      } else if (member.key == "products") {
        Products(member, where);
      } else if (member.key == "reports") {
        Reports(member, where);
      } else if (member.key == "vpn") {
        if (member.kind != Value::Kind::kObject || IsTyped(member)) {
          Fail(where, "expected an object of keys and values");
        }
        fixture_.vpn = Map(member, Section::kEntry, where);
      } else if (member.key == "missing_progids") {
        MissingProgIds(member, where);
      } else if (member.key == "faults") {
        Faults(member, where);
      } else if (member.key == "journal") {
        Journal(member, where);
      } else if (member.key == "filter_by_date") {
        if (member.kind != Value::Kind::kBool) Fail(where, "expected true or false");
        fixture_.filter_by_date = member.boolean;
      } else if (member.key != "comment") {
        Fail(where, "unknown member");
      }
    }
  }

 private:
  const std::wstring* Intern(const std::string& key) {
    const auto cached = interned_.find(key);
    if (cached != interned_.end()) return cached->second;
    const std::wstring* pooled = &*fixture_.key_pool.insert(Utf8ToWide(key)).first;
    interned_.emplace(key, pooled);
    return pooled;
  }

  std::shared_ptr<const MapData> Map(const Value& object, Section section, const Where& where) {
    auto map = std::make_shared<MapData>();
    MapFill(*map, object, section, where);
    return map;
  }

  void MapFill(MapData& map, const Value& object, Section section, const Where& where) {
    map.pairs.reserve(object.items.size());
    for (const Value& member : object.items) {
      const Where inner{&where, member.key, -1};
      map.pairs.emplace_back(Intern(member.key), Spec(member, section, member.key, inner));
    }
  }

  // {"vt": "ui4", "value": 7}: an object of "vt" (a text) and, optionally, "value".
  static bool IsTyped(const Value& value) {
    if (value.kind != Value::Kind::kObject || value.items.empty() || value.items.size() > 2) {
      return false;
    }
    const Value* vt = value.Find("vt");
    return vt != nullptr && vt->kind == Value::Kind::kString &&
           (value.items.size() == 1 || value.Find("value") != nullptr);
  }

  // A value written plainly: its type follows from the JSON kind, the section and the key.
  ValueSpec Plain(const Value& value, Section section, std::string_view key, const Where& where) {
    ValueSpec spec;
    if (section == Section::kEntry && key == "ReportDateTime" &&
        value.kind == Value::Kind::kString) {
      spec.type = Type::kDateObject;
      spec.real = DateOf(value, where);
      return spec;
    }
    switch (value.kind) {
      case Value::Kind::kNull:
        spec.type = Type::kNull;
        break;
      case Value::Kind::kBool:
        spec.type = Type::kBool;
        spec.integer = value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case Value::Kind::kString:
        spec.type = Type::kBstr;
        spec.text = Utf8ToWide(value.text);
        break;
      case Value::Kind::kNumber:
        if (!value.integer) {
          spec.type = Type::kR8;
          spec.real = RealOf(value, where);
        } else if (section == Section::kConfig) {
          spec.type = Type::kI4;  // 32 bits, written signed or unsigned
          spec.integer = static_cast<std::int32_t>(static_cast<std::uint32_t>(
              RangeChecked(IntegerOf(value, where), INT32_MIN, UINT32_MAX, where)));
        } else if (FitsI32(value)) {
          spec.type = Type::kI4;
          spec.integer = IntegerOf(value, where);
        } else {
          spec.type = value.text.front() == '-' ? Type::kI8 : Type::kUi8;
          spec.integer = IntegerOf(value, where);
        }
        break;
      case Value::Kind::kObject:
        if (section == Section::kConfig) Fail(where, "a map is not an item value");
        spec.type = Type::kDispatch;
        spec.map = Map(value, section, where);
        break;
      case Value::Kind::kArray:
        Fail(where, "arrays are not values");
    }
    return spec;
  }

  ValueSpec Typed(const Value& value, Section section, const Where& where) {
    const Value& vt = *value.Find("vt");
    const Value* given = value.Find("value");
    std::string name = vt.text;
    for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (name.rfind("vt_", 0) == 0) name.erase(0, 3);
    ValueSpec spec;
    bool known = false;
    for (const auto& entry : kTypes) {
      if (name == entry.name) {
        spec.type = entry.type;
        known = true;
      }
    }
    if (!known) Fail(where, "unknown \"vt\" " + vt.text);
    const bool needs_value = spec.type != Type::kEmpty && spec.type != Type::kNull &&
                             spec.type != Type::kDispatch && spec.type != Type::kUnknown;
    if (needs_value && given == nullptr) Fail(where, "\"vt\" " + vt.text + " needs \"value\"");
    if (given == nullptr) return spec;
    const Where at{&where, "value", -1};
    const Value& v = *given;
    switch (spec.type) {
      case Type::kEmpty:
      case Type::kNull:
        break;
      case Type::kI2:
        spec.integer = RangeChecked(IntegerOf(v, at), INT16_MIN, UINT16_MAX, at);
        break;
      case Type::kI4:
      case Type::kInt:
      case Type::kUi4:
      case Type::kUint:
      case Type::kError:
        spec.integer = RangeChecked(IntegerOf(v, at), INT32_MIN, UINT32_MAX, at);
        break;
      case Type::kI8:
      case Type::kUi8:
        spec.integer = IntegerOf(v, at);
        break;
      case Type::kR8:
        spec.real = RealOf(v, at);
        break;
      case Type::kBool:
        if (v.kind == Value::Kind::kBool) {
          spec.integer = v.boolean ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
          spec.integer = RangeChecked(IntegerOf(v, at), INT16_MIN, UINT16_MAX, at);
        }
        break;
      case Type::kBstr:
        if (v.kind != Value::Kind::kString) Fail(at, "expected a string");
        spec.text = Utf8ToWide(v.text);
        break;
      case Type::kDate:
      case Type::kDateObject:
        spec.real = DateOf(v, at);
        break;
      case Type::kDispatch:
      case Type::kUnknown:
        if (v.kind == Value::Kind::kObject) {
          spec.map = Map(v, section == Section::kLicence ? Section::kLicence : Section::kEntry, at);
        } else if (v.kind != Value::Kind::kNull) {
          Fail(at, "expected a map object or null");
        }
        break;
    }
    return spec;
  }

  ValueSpec Spec(const Value& value, Section section, std::string_view key, const Where& where) {
    if (IsTyped(value)) return Typed(value, section, where);
    return Plain(value, section, key, where);
  }

  void Config(const Value& section, const Where& where) {
    if (section.kind != Value::Kind::kObject) Fail(where, "expected an object of items");
    for (const Value& member : section.items) {
      const Where inner{&where, member.key, -1};
      std::int64_t item = 0;
      if (!ParseInteger(member.key, item) || item < INT32_MIN || item > UINT32_MAX) {
        Fail(inner, "an item id is a number (\"0x4009014\" or \"67145748\")");
      }
      fixture_.config[static_cast<std::uint32_t>(item)] =
          Spec(member, Section::kConfig, member.key, inner);
    }
  }

  void Products(const Value& products, const Where& where) {
    if (products.kind != Value::Kind::kObject || IsTyped(products)) {
      Fail(where, "expected an object of products");
    }
    auto root = std::make_shared<MapData>();
    ValueSpec map;
    map.type = Type::kDispatch;
    map.map = Map(products, Section::kLicence, where);
    root->pairs.emplace_back(Intern("Products"), std::move(map));
    fixture_.licences = std::move(root);
  }

  void Reports(const Value& section, const Where& where) {
    if (section.kind != Value::Kind::kArray) Fail(where, "expected an array of entries");
    fixture_.reports.resize(section.items.size());
    for (std::size_t i = 0; i < section.items.size(); ++i) {
      const Value& entry = section.items[i];
      const Where inner{&where, {}, static_cast<long>(i)};
      if (entry.kind != Value::Kind::kObject || IsTyped(entry)) {
        Fail(inner, "an entry is an object of keys and values");
      }
      MapFill(fixture_.reports[i], entry, Section::kEntry, inner);
    }
  }

  void MissingProgIds(const Value& section, const Where& where) {
    if (section.kind != Value::Kind::kArray) Fail(where, "expected an array of ProgIDs");
    for (const Value& name : section.items) {
      if (name.kind != Value::Kind::kString) Fail(where, "a ProgID is a string");
      fixture_.missing_progids.push_back(Utf8ToWide(name.text));
    }
  }

  void Faults(const Value& section, const Where& where) {
    if (section.kind != Value::Kind::kArray) Fail(where, "expected an array of rules");
    for (std::size_t i = 0; i < section.items.size(); ++i) {
      const Value& rule_json = section.items[i];
      const Where inner{&where, {}, static_cast<long>(i)};
      if (rule_json.kind != Value::Kind::kObject) Fail(inner, "a rule is an object");
      const Value* call = rule_json.Find("call");
      if (call == nullptr || call->kind != Value::Kind::kString) {
        Fail(inner, "a rule names its \"call\", such as \"Reports.4\"");
      }
      std::size_t method = kMethodCount;
      for (std::size_t m = 0; m < kMethodCount; ++m) {
        if (call->text == kMethodNames[m]) method = m;
      }
      if (method == kMethodCount) Fail(inner, "unknown call " + call->text);
      FaultRule rule;
      rule.id = fixture_.fault_count++;
      for (const Value& member : rule_json.items) {
        const Where field{&inner, member.key, -1};
        if (member.key == "call" || member.key == "comment") {
          continue;
        } else if (member.key == "hresult") {
          rule.hr = HresultOf(member, field);
        } else if (member.key == "match") {
          if (member.kind != Value::Kind::kString && member.kind != Value::Kind::kNumber) {
            Fail(field, "expected a text or a number");
          }
          std::int64_t number = 0;
          if (ParseInteger(member.text, number)) rule.match_number = number;
          rule.match_text = Utf8ToWide(member.text);
        } else if (member.key == "entry") {
          rule.entry =
              static_cast<long>(RangeChecked(IntegerOf(member, field), 0, INT32_MAX, field));
        } else if (member.key == "from") {
          rule.from = static_cast<std::uint32_t>(
              RangeChecked(IntegerOf(member, field), 1, UINT32_MAX, field));
        } else if (member.key == "count") {
          rule.count = static_cast<std::uint32_t>(
              RangeChecked(IntegerOf(member, field), 0, UINT32_MAX, field));
        } else if (member.key == "keep_result") {
          if (member.kind != Value::Kind::kBool) Fail(field, "expected true or false");
          rule.keep_result = member.boolean;
        } else if (member.key == "value") {
          rule.value = Spec(member, Section::kEntry, {}, field);
        } else if (member.key == "delay_ms") {
          rule.delay_ms =
              static_cast<std::uint32_t>(RangeChecked(IntegerOf(member, field), 0, 600000, field));
        } else {
          Fail(field, "unknown member");
        }
      }
      if (rule.keep_result && rule.value) Fail(inner, "\"keep_result\" or \"value\", not both");
      fixture_.faults[method].push_back(std::move(rule));
    }
  }

  void Journal(const Value& value, const Where& where) {
    if (value.kind == Value::Kind::kString && value.text == "all") {
      fixture_.journal = JournalLevel::kAll;
    } else if (value.kind == Value::Kind::kString && value.text == "pages") {
      fixture_.journal = JournalLevel::kPages;
    } else if (value.kind == Value::Kind::kString && value.text == "none") {
      fixture_.journal = JournalLevel::kNone;
    } else {
      Fail(where, "expected \"all\", \"pages\" or \"none\"");
    }
  }

  Fixture& fixture_;
  std::unordered_map<std::string, const std::wstring*> interned_;
};

bool Field(std::string_view text, std::size_t at, std::size_t width, int& value) noexcept {
  if (at + width > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

std::string_view MethodName(Method method) noexcept {
  return kMethodNames[static_cast<std::size_t>(method)];
}

const ValueSpec* MapData::Find(std::wstring_view key) const noexcept {
  for (const auto& [name, spec] : pairs) {
    if (*name == key) return &spec;
  }
  return nullptr;
}

bool FaultRule::Matches(const Subject& subject) const noexcept {
  if (entry >= 0 && subject.entry != entry) return false;
  if (!match_text) return true;
  if (match_number && subject.number) return *match_number == *subject.number;
  return !subject.text.empty() && EqualsIgnoreCase(*match_text, subject.text);
}

Fixture::Fixture() : licences(std::make_shared<const MapData>()) {}

bool Fixture::IsMissing(std::wstring_view progid) const noexcept {
  for (const std::wstring& name : missing_progids) {
    if (EqualsIgnoreCase(name, progid)) return true;
  }
  return false;
}

std::unique_ptr<Fixture> ParseFixture(std::string_view text) {
  const json::Value root = json::Parse(text);
  auto fixture = std::make_unique<Fixture>();
  Reader(*fixture).Document(root);
  return fixture;
}

bool ParseOleDate(std::string_view text, double& date) noexcept {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Field(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !Field(text, 5, 2, month) ||
      text[7] != '-' || !Field(text, 8, 2, day)) {
    return false;
  }
  if (text.size() > 10) {
    if ((text[10] != 'T' && text[10] != ' ') || !Field(text, 11, 2, hour) || text.size() < 16 ||
        text[13] != ':' || !Field(text, 14, 2, minute)) {
      return false;
    }
    if (text.size() > 16 && (text.size() != 19 || text[16] != ':' || !Field(text, 17, 2, second))) {
      return false;
    }
  }
  // The wall time as the OLE functions make it; a date they would roll over is no date.
  SYSTEMTIME parts{};
  parts.wYear = static_cast<WORD>(year);
  parts.wMonth = static_cast<WORD>(month);
  parts.wDay = static_cast<WORD>(day);
  parts.wHour = static_cast<WORD>(hour);
  parts.wMinute = static_cast<WORD>(minute);
  parts.wSecond = static_cast<WORD>(second);
  SYSTEMTIME back{};
  if (!::SystemTimeToVariantTime(&parts, &date) || !::VariantTimeToSystemTime(date, &back)) {
    return false;
  }
  return back.wYear == parts.wYear && back.wMonth == parts.wMonth && back.wDay == parts.wDay &&
         back.wHour == parts.wHour && back.wMinute == parts.wMinute &&
         back.wSecond == parts.wSecond;
}

std::wstring Utf8ToWide(std::string_view utf8) {
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::wstring(utf8.begin(), utf8.end());
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
  return out;
}

std::string HresultText(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%lX", static_cast<unsigned long>(hr));
  return buffer;
}

}  // namespace standin
