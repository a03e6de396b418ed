// The stand-in's data and faults for one scenario, read from a JSON fixture (format in the
// README). Immutable once loaded; every object of a host entry shares it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace standin {

// The SDK methods the stand-in answers, by object and method number, as the journal and
// the fault rules name them ("Reports.4"). HostEntry.create is the class factory's
// CreateInstance.
enum class Method : std::uint8_t {
  kHostEntryCreate,
  kHostEntry1,
  kHostEntry3,
  kConfiguration3,
  kLicense3,
  kReports1,
  kReports4,
  kExtendedAction7,
  kDateTimeFilterObject20,
  kDateTimeFilterObject21,
  kList4,
  kList5,
  kList10,
  kEntryMap12,
  kDateValue20,
  kLicenceMap4,
  kLicenceMap10,
  kLicenceMap11,
  kLicenceMap12,
  kCount
};
inline constexpr std::size_t kMethodCount = static_cast<std::size_t>(Method::kCount);

[[nodiscard]] std::string_view MethodName(Method method) noexcept;

struct MapData;

// A value the stand-in hands back in a VARIANT.
struct ValueSpec {
  enum class Type : std::uint8_t {
    kEmpty,
    kNull,
    kI2,
    kI4,
    kUi4,
    kInt,
    kUint,
    kI8,
    kUi8,
    kR8,
    kBool,
    kBstr,
    kDate,
    kError,
    kDateObject,  // a date value object inside VT_DISPATCH
    kDispatch,    // a map object (or a null pointer) inside VT_DISPATCH
    kUnknown,     // the same inside VT_UNKNOWN
  };

  Type type = Type::kEmpty;
  std::int64_t integer = 0;            // integer types, VT_BOOL (as the 16-bit value), VT_ERROR
  double real = 0;                     // VT_R8, VT_DATE, date objects
  std::wstring text;                   // VT_BSTR
  std::shared_ptr<const MapData> map;  // kDispatch, kUnknown: the map, or none for null
};

// The pairs of a licence map or a string map, in fixture order. Keys point into the
// fixture's key pool, so the report entries do not each carry copies of their keys.
struct MapData {
  std::vector<std::pair<const std::wstring*, ValueSpec>> pairs;

  [[nodiscard]] const ValueSpec* Find(std::wstring_view key) const noexcept;
};

// What a call is about, for the "match" and "entry" of the fault rules.
struct Subject {
  std::wstring_view text;              // a ProgID, a key, a property name
  std::optional<std::int64_t> number;  // an item, an index
  long entry = -1;                     // the report entry it concerns
};

struct FaultRule {
  HRESULT hr = E_FAIL;
  std::optional<std::wstring> match_text;
  std::optional<std::int64_t> match_number;
  long entry = -1;                     // -1: any
  std::uint32_t from = 1;              // the first matching call it applies to (1 = first)
  std::optional<std::uint32_t> count;  // how many matching calls it applies to; none: all
  bool keep_result = false;            // the out parameter as without the fault
  std::optional<ValueSpec> value;      // or this in the out parameter (default: empty)
  std::uint32_t delay_ms = 0;          // the call waits this long first (a slow SDK)
  std::size_t id = 0;                  // its place among all rules (for its call count)

  [[nodiscard]] bool Matches(const Subject& subject) const noexcept;
};

enum class JournalLevel : std::uint8_t {
  kAll,    // every call
  kPages,  // every call but the reads of single report entries (List.10, their keys, dates)
  kNone,
};

struct Fixture {
  std::unordered_set<std::wstring> key_pool;
  std::unordered_map<std::uint32_t, ValueSpec> config;
  std::shared_ptr<const MapData> licences;  // what License.3 hands back: {"Products": ...}
  std::vector<MapData> reports;             // the report entries, in page order
  std::shared_ptr<const MapData> vpn;       // what "VPN_GetTraffic" hands back; none: no object
  std::vector<std::wstring> missing_progids;
  std::vector<std::vector<FaultRule>> faults = std::vector<std::vector<FaultRule>>(kMethodCount);
  std::size_t fault_count = 0;
  JournalLevel journal = JournalLevel::kAll;
  // The pages hold only the entries the query's date filter admits, as the SDK keeps
  // reports made after a query out of it (off: every entry, whatever the filter).
  bool filter_by_date = false;

  Fixture();  // the empty fixture: no items, no products, no entries, no VPN map

  [[nodiscard]] const std::vector<FaultRule>& FaultsOf(Method method) const noexcept {
    return faults[static_cast<std::size_t>(method)];
  }
  [[nodiscard]] bool IsMissing(std::wstring_view progid) const noexcept;
};

// Reads a fixture from its JSON text; throws std::runtime_error (JSON errors included)
// with a message naming the member at fault.
[[nodiscard]] std::unique_ptr<Fixture> ParseFixture(std::string_view json);

// "YYYY-MM-DDTHH:MM:SS" (or "YYYY-MM-DD") as an OLE date; false when it is not one.
[[nodiscard]] bool ParseOleDate(std::string_view text, double& date) noexcept;

// UTF-8 (the fixture's texts) as UTF-16.
[[nodiscard]] std::wstring Utf8ToWide(std::string_view utf8);

// "0x%X" ("0x0", "0x80004005"), as the journal writes an HRESULT.
[[nodiscard]] std::string HresultText(HRESULT hr);

}  // namespace standin
