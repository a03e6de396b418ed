// The stand-in's COM objects: one reference-counted base for IUnknown and IDispatch, one
// class per SDK object. Every object shares the fixture of the host entry that made it,
// checks the fault rules and journals each call.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Fixture.h"
#include "Journal.h"
#include "SdkInterfaces.h"
#include "Session.h"
#include "support/Scoped.h"
#include "support/ScopedVariant.h"

namespace standin {

// The stand-in's own interface identifiers: they hand out the object itself, so that a
// query object or date filter the program passes back can be read.
// {7865BD71-C17E-46D7-B97F-71B2470D4771}
inline constexpr IID kIidSelfExtendedAction = {
    0x7865BD71, 0xC17E, 0x46D7, {0xB9, 0x7F, 0x71, 0xB2, 0x47, 0x0D, 0x47, 0x71}};
// {8108F4A0-5DE4-42A9-8970-110B0FA3488D}
inline constexpr IID kIidSelfDateTimeFilterObject = {
    0x8108F4A0, 0x5DE4, 0x42A9, {0x89, 0x70, 0x11, 0x0B, 0x0F, 0xA3, 0x48, 0x8D}};

// Where a map or date object comes from, for the journal and for the maps inside it.
struct Origin {
  enum class Kind : std::uint8_t { kLicence, kEntry, kVpn, kNew, kValue };
  Kind kind = Kind::kValue;
  long entry = -1;    // the report entry's index
  std::wstring path;  // the keys from the top map down ("/Products/P1")

  [[nodiscard]] bool IsEntry() const noexcept { return kind == Kind::kEntry; }
  void Describe(JournalLine& line) const;
};

// One call: the fault rule that applies to it and its journal line.
class Call {
 public:
  // entry_read: a read of a single report entry, left out of the journal at level "pages".
  Call(const Fixture& fixture, Method method, const Subject& subject = {}, bool entry_read = false);
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // A fault rule replaces the call's work: the out parameter gets the rule's value (none:
  // empty) instead.
  [[nodiscard]] bool Skipped() const noexcept { return fault_ != nullptr && !fault_->keep_result; }
  [[nodiscard]] const ValueSpec* Replacement() const noexcept {
    return fault_ != nullptr && fault_->value ? &*fault_->value : nullptr;
  }
  // The journal line to add to, or none when this call is not journalled.
  [[nodiscard]] JournalLine* line() noexcept { return line_ ? &*line_ : nullptr; }
  // The HRESULT to return: the fault rule's, else hr. Writes the journal line.
  HRESULT Finish(HRESULT hr);

 private:
  const FaultRule* fault_;
  bool entry_read_;
  std::optional<JournalLine> line_;
};

// The interfaces have no virtual destructor (released, never deleted through them); the
// objects have one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <typename Derived, typename Interface>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, Derived::kIid)) {
      *out = static_cast<Interface*>(this);
    }
    if constexpr (Derived::kSelfIid != nullptr) {
      if (IsEqualIID(iid, *Derived::kSelfIid)) *out = static_cast<Derived*>(this);
    }
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // No type information: the program calls the methods by slot.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return Unexpected("GetTypeInfo", E_NOTIMPL);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return Unexpected("GetIDsOfNames", DISP_E_UNKNOWNNAME);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    // OLE itself asks an object for its value this way when a caller changes a VARIANT
    // holding it to another type (VariantChangeType): an SDK object has no such value.
    // Any other Invoke is a call the program must not make.
    if (member == DISPID_VALUE && (flags & DISPATCH_PROPERTYGET) != 0) {
      JournalLine line("event", "value_asked");
      line.Ascii("object", std::string(Derived::kName));
      Session::Instance().Write(std::move(line).Finish());
      return DISP_E_MEMBERNOTFOUND;
    }
    return Unexpected("Invoke", DISP_E_MEMBERNOTFOUND);
  }

  explicit ComObject(std::shared_ptr<const Fixture> fixture) : fixture_(std::move(fixture)) {
    Session::Instance().ObjectCreated();
  }
  virtual ~ComObject() { Session::Instance().ObjectDestroyed(); }

 protected:
  // A method the program is not expected to call (a placeholder slot, IDispatch).
  HRESULT Unexpected(std::string_view method, HRESULT hr = E_NOTIMPL) {
    JournalLine line("event", "unexpected");
    line.Ascii("call", std::string(Derived::kName) + "." + std::string(method));
    Session::Instance().Write(std::move(line).Finish());
    return hr;
  }

  std::shared_ptr<const Fixture> fixture_;

 private:
  std::atomic<ULONG> references_{1};
};
#pragma GCC diagnostic pop

#define STANDIN_UNUSED(n) \
  HRESULT STDMETHODCALLTYPE Slot##n() override { return Unexpected(#n); }

class HostEntry final : public ComObject<HostEntry, tessel::IHostEntry> {
 public:
  static constexpr const IID& kIid = tessel::kIidHostEntry;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "HostEntry";
  using ComObject::ComObject;

  HRESULT STDMETHODCALLTYPE Initialize(VARIANT data) override;
  STANDIN_UNUSED(2)
  HRESULT STDMETHODCALLTYPE CreateObject(BSTR name, VARIANT* object) override;

 private:
  HRESULT Make(std::wstring_view name, VARIANT& object) const;
};

class Configuration final : public ComObject<Configuration, tessel::IConfiguration> {
 public:
  static constexpr const IID& kIid = tessel::kIidConfiguration;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "Configuration";
  using ComObject::ComObject;

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  HRESULT STDMETHODCALLTYPE GetItem(long reserved, long item, VARIANT* value) override;
};

class License final : public ComObject<License, tessel::ILicense> {
 public:
  static constexpr const IID& kIid = tessel::kIidLicense;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "License";
  using ComObject::ComObject;

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  HRESULT STDMETHODCALLTYPE GetLicenses(VARIANT filter, VARIANT* licences) override;
};

class Reports final : public ComObject<Reports, tessel::IReports> {
 public:
  static constexpr const IID& kIid = tessel::kIidReports;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "Reports";
  using ComObject::ComObject;

  HRESULT STDMETHODCALLTYPE Query(VARIANT action, VARIANT* result) override;
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  HRESULT STDMETHODCALLTYPE GetPage(VARIANT first, VARIANT count, tessel::IList** page) override;

 private:
  // The fixture's entries the last query lists, in order.
  std::vector<std::size_t> listed_;
  bool queried_ = false;
};

class ExtendedAction final : public ComObject<ExtendedAction, tessel::IExtendedAction> {
 public:
  static constexpr const IID& kIid = tessel::kIidExtendedAction;
  static constexpr const IID* kSelfIid = &kIidSelfExtendedAction;
  static constexpr std::string_view kName = "ExtendedAction";
  using ComObject::ComObject;

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  STANDIN_UNUSED(4)
  STANDIN_UNUSED(5)
  STANDIN_UNUSED(6)
  HRESULT STDMETHODCALLTYPE SetProperty(BSTR name, VARIANT value) override;

  // The property's value as last set (a shallow copy, to read while the object lives).
  [[nodiscard]] std::optional<VARIANT> Property(std::wstring_view name) const noexcept;

 private:
  std::vector<std::pair<std::wstring, zentrak::ScopedVariant>> properties_;
};

class DateTimeFilterObject final : public ComObject<DateTimeFilterObject, tessel::IDateTimeFilter> {
 public:
  static constexpr const IID& kIid = tessel::kIidDateTimeFilter;
  static constexpr const IID* kSelfIid = &kIidSelfDateTimeFilterObject;
  static constexpr std::string_view kName = "DateTimeFilterObject";
  using ComObject::ComObject;

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  STANDIN_UNUSED(4)
  STANDIN_UNUSED(5)
  STANDIN_UNUSED(6)
  STANDIN_UNUSED(7)
  STANDIN_UNUSED(8)
  STANDIN_UNUSED(9)
  STANDIN_UNUSED(10)
  STANDIN_UNUSED(11)
  STANDIN_UNUSED(12)
  STANDIN_UNUSED(13)
  STANDIN_UNUSED(14)
  STANDIN_UNUSED(15)
  STANDIN_UNUSED(16)
  STANDIN_UNUSED(17)
  STANDIN_UNUSED(18)
  STANDIN_UNUSED(19)
  HRESULT STDMETHODCALLTYPE SetStart(VARIANT start) override;
  HRESULT STDMETHODCALLTYPE SetEnd(VARIANT end) override;

  // The bounds as given (a shallow copy, to read while the filter lives).
  [[nodiscard]] VARIANT start() const noexcept { return start_.get(); }
  [[nodiscard]] VARIANT end() const noexcept { return end_.get(); }

 private:
  HRESULT Set(Method method, const VARIANT& value, zentrak::ScopedVariant& bound);

  zentrak::ScopedVariant start_;
  zentrak::ScopedVariant end_;
};

class List final : public ComObject<List, tessel::IList> {
 public:
  static constexpr const IID& kIid = tessel::kIidList;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "List";

  // A page of the report entries (their indices in the fixture, the page beginning at
  // `first` of what the query lists), or (page = false) an empty list.
  List(std::shared_ptr<const Fixture> fixture, std::size_t first, std::vector<std::size_t> entries,
       bool page)
      : ComObject(std::move(fixture)), first_(first), entries_(std::move(entries)), page_(page) {}
  // A walk of a page ends with its release: its entry reads go to the file then.
  ~List() override {
    if (page_) Session::Instance().Flush();
  }

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  HRESULT STDMETHODCALLTYPE GetPageCount(long* count) override;
  HRESULT STDMETHODCALLTYPE GetCount(long* count) override;
  STANDIN_UNUSED(6)
  STANDIN_UNUSED(7)
  STANDIN_UNUSED(8)
  STANDIN_UNUSED(9)
  HRESULT STDMETHODCALLTYPE GetItem(long index, VARIANT* entry) override;

 private:
  HRESULT Count(Method method, long* count);
  void DescribePage(JournalLine& line) const;

  std::size_t first_;
  std::vector<std::size_t> entries_;
  bool page_;
};

class EntryMap final : public ComObject<EntryMap, tessel::IEntryMap> {
 public:
  static constexpr const IID& kIid = tessel::kIidEntryMap;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "EntryMap";

  // An entry map: a report entry, the VPN figures, a map inside a value, or (data null)
  // a new, empty "Tessel.StringMap".
  EntryMap(std::shared_ptr<const Fixture> fixture, const MapData* data, Origin origin)
      : ComObject(std::move(fixture)), data_(data), origin_(std::move(origin)) {}

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  STANDIN_UNUSED(4)
  STANDIN_UNUSED(5)
  STANDIN_UNUSED(6)
  STANDIN_UNUSED(7)
  STANDIN_UNUSED(8)
  STANDIN_UNUSED(9)
  STANDIN_UNUSED(10)
  STANDIN_UNUSED(11)
  HRESULT STDMETHODCALLTYPE GetValue(BSTR key, VARIANT* value) override;

 private:
  const MapData* data_;
  Origin origin_;
};

class DateValue final : public ComObject<DateValue, tessel::IDateValue> {
 public:
  static constexpr const IID& kIid = tessel::kIidDateValue;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "DateValue";

  DateValue(std::shared_ptr<const Fixture> fixture, double date, Origin origin)
      : ComObject(std::move(fixture)), date_(date), origin_(std::move(origin)) {}

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  STANDIN_UNUSED(4)
  STANDIN_UNUSED(5)
  STANDIN_UNUSED(6)
  STANDIN_UNUSED(7)
  STANDIN_UNUSED(8)
  STANDIN_UNUSED(9)
  STANDIN_UNUSED(10)
  STANDIN_UNUSED(11)
  STANDIN_UNUSED(12)
  STANDIN_UNUSED(13)
  STANDIN_UNUSED(14)
  STANDIN_UNUSED(15)
  STANDIN_UNUSED(16)
  STANDIN_UNUSED(17)
  STANDIN_UNUSED(18)
  STANDIN_UNUSED(19)
  HRESULT STDMETHODCALLTYPE GetDate(VARIANT* date) override;

 private:
  double date_;
  Origin origin_;
};

class LicenceMap final : public ComObject<LicenceMap, tessel::ILicenceMap> {
 public:
  static constexpr const IID& kIid = tessel::kIidLicenceMap;
  static constexpr const IID* kSelfIid = nullptr;
  static constexpr std::string_view kName = "LicenceMap";

  LicenceMap(std::shared_ptr<const Fixture> fixture, const MapData* data, Origin origin)
      : ComObject(std::move(fixture)), data_(data), origin_(std::move(origin)) {}

  STANDIN_UNUSED(1)
  STANDIN_UNUSED(2)
  STANDIN_UNUSED(3)
  HRESULT STDMETHODCALLTYPE GetCount(long* count) override;
  STANDIN_UNUSED(5)
  STANDIN_UNUSED(6)
  STANDIN_UNUSED(7)
  STANDIN_UNUSED(8)
  STANDIN_UNUSED(9)
  HRESULT STDMETHODCALLTYPE GetKey(long index, VARIANT* key) override;
  HRESULT STDMETHODCALLTYPE GetValueAt(long index, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE GetValue(VARIANT key, VARIANT* value) override;

 private:
  [[nodiscard]] bool Has(long index) const noexcept {
    return index >= 0 && static_cast<std::size_t>(index) < data_->pairs.size();
  }

  const MapData* data_;
  Origin origin_;
};

#undef STANDIN_UNUSED

}  // namespace standin
