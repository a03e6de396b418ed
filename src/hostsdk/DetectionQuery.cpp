// The detection report query of the SDK session.
#include <exception>

#include "hostsdk/HostSdk.h"
#include "hostsdk/HostSdkTracePoints.h"
#include "support/Clock.h"
#include "support/ScopedBstr.h"

namespace zentrak::hostsdk {
namespace {

constexpr std::uint32_t kQueryAction = 3;

// The query's steps that end it quietly when an object is missing or answers otherwise
// than S_OK.
enum Step : std::int32_t {
  kStepObjects = 1,
  kStepAction = 2,
  kStepDateFilter = 4,
  kStepReports = 5,
};

// The keys of a report entry, allocated once per query.
struct EntryKeys {
  ScopedBstr event_id{std::wstring_view(L"EventId")};
  ScopedBstr report_time{std::wstring_view(L"ReportDateTime")};
  ScopedBstr detection_id{std::wstring_view(L"DetectionID")};
  ScopedBstr malware_id{std::wstring_view(L"MalwareID")};
};

// The entry's 32-bit integer under the key; none unless S_OK with such a value.
std::optional<std::int32_t> ReadInt32(const ComPtr<IEntryMap>& entry, BSTR key) {
  ScopedVariant value;
  if (entry->Get(key, value.Receive()) != S_OK) return std::nullopt;
  return Int32Value(value.get());
}

// The report time: the value is a date object whose method 20 gives the OLE date, as a
// double or as anything that converts to a date. Anything else raises the COM error.
OleDate ReadReportTime(const ComPtr<IEntryMap>& entry, BSTR key) {
  ScopedVariant value;
  (void)entry->Get(key, value.Receive());
  const ComPtr<IDateValue> date = VariantToInterface<IDateValue>(value.get());
  ScopedVariant time;
  ThrowIfFailed(date->GetValue(time.Receive()));
  if (time.type() == VT_R8) return OleDate::FromDouble(V_R8(&time.get()));
  if (time.type() == VT_DATE) return OleDate::FromDouble(V_DATE(&time.get()));
  return OleDate::FromDouble(V_DATE(&ChangedVariant(time.get(), VT_DATE).get()));
}

class PageWalker {
 public:
  PageWalker(const HostEntry& host, const OleDate& start, const DetectionSelection& selection,
             DetectionResults& results)
      : host_(host), start_(start), selection_(selection), results_(results) {}

  void Walk(const ComPtr<IList>& page) {
    long count = 0;
    (void)page->Count(&count);
    const long entries = EntriesToWalk(static_cast<std::int32_t>(count));
    ComPtr<IEntryMap> entry = CreateObject<IEntryMap>(host_, progid::kStringMap);
    for (long index = 0; index < entries; ++index) {
      ScopedVariant item;
      if (page->Item(index, item.Receive()) != S_OK) continue;
      entry = VariantToInterface<IEntryMap>(item.get());
      Consider(entry);
    }
  }

 private:
  void Consider(const ComPtr<IEntryMap>& entry) {
    const std::int32_t event_id = ReadInt32(entry, keys_.event_id.get()).value_or(0);
    const OleDate report_time = ReadReportTime(entry, keys_.report_time.get());
    if (!IsSelectedDetectionEvent(event_id) || IsLater(start_, report_time)) return;
    const auto detection_id = ReadInt32(entry, keys_.detection_id.get());
    if (!detection_id) return;
    const auto malware_id = ReadInt32(entry, keys_.malware_id.get());
    if (!malware_id || !selection_.Admits(*malware_id, *detection_id)) return;
    results_.Offer(DetectionRecord{*malware_id, *detection_id, report_time});
  }

  const HostEntry& host_;
  const OleDate& start_;
  const DetectionSelection& selection_;
  DetectionResults& results_;
  EntryKeys keys_;
};

// Steps 2 to 6; false when a step ends the query quietly. The coverage's end is the
// query's "now"; it is complete only when every page was read.
bool RunQuery(const HostSdkSession& session, const ComPtr<IReports>& reports, OleDate start,
              std::int32_t max_age_days, const DetectionSelection& selection,
              DetectionResults& results, QueryCoverage& coverage) {
  const HostEntry& host = session.host();
  const ComPtr<IExtendedAction> action =
      CreateObject<IExtendedAction>(host, progid::kExtendedAction);
  if (!action) {
    ZTRACE(tp::kQueryStopped, std::int32_t{kStepAction});
    return false;
  }
  const ScopedBstr action_name{std::wstring_view(L"Action")};
  if (action->SetProperty(action_name.get(), UInt32ToVariant(kQueryAction).get()) != S_OK) {
    ZTRACE(tp::kQueryStopped, std::int32_t{kStepAction});
    return false;
  }

  if (start.value == 0.0) start = session.InstallationDate();
  // One instant: the filter's end in local time (the SDK's time base) and the mark a
  // channel keeps in UTC. The mark has whole seconds, so it is never after the end.
  coverage.end_utc = UtcNow();
  coverage.end_utc.millisecond = 0;
  const OleDate local_now = UtcToLocalDate(coverage.end_utc);
  start = ClampQueryStart(start, local_now, max_age_days);
  ZTRACE(tp::kQueryStartDate, FormatDate(start));

  const ComPtr<IDateTimeFilter> filter =
      CreateObject<IDateTimeFilter>(host, progid::kDateTimeFilter);
  if (filter) {
    const ScopedBstr filter_name{std::wstring_view(L"DateFilter")};
    if (filter->SetStart(DateToVariant(start, VT_R8).get()) != S_OK ||
        filter->SetEnd(DateToVariant(local_now, VT_R8).get()) != S_OK ||
        action->SetProperty(filter_name.get(), DispatchToVariant(filter.get()).get()) != S_OK) {
      ZTRACE(tp::kQueryStopped, std::int32_t{kStepDateFilter});
      return false;
    }
  }

  {
    ScopedVariant unused;
    if (reports->Query(DispatchToVariant(action.get()).get(), unused.Receive()) != S_OK) {
      ZTRACE(tp::kQueryStopped, std::int32_t{kStepReports});
      return false;
    }
  }

  ComPtr<IList> page = CreateObject<IList>(host, progid::kList);
  PageWalker walker(host, start, selection, results);
  NextPage next{true, 0};
  std::uint32_t pages = 0;
  HRESULT hr = S_OK;
  bool every_page = true;
  while (SUCCEEDED(hr) && next.more) {
    if (pages == kQueryMaxPages) {
      ZTRACE(tp::kQueryPageLimit, pages);
      every_page = false;
      break;
    }
    ++pages;
    const std::uint32_t first = next.first;
    hr = reports->GetPage(UInt32ToVariant(first).get(),
                          UInt32ToVariant(static_cast<std::uint32_t>(kQueryPageSize)).get(),
                          page.put());
    if (FAILED(hr)) {
      ZTRACE(tp::kQueryPageFailed, first, hr);
      every_page = false;
    }
    walker.Walk(page);
    long count = 0;
    (void)page->PageCount(&count);
    next = AfterPage(first, static_cast<std::int32_t>(count));
  }
  ZTRACE(tp::kQueryFinished, pages, static_cast<std::uint32_t>(results.size()));
  coverage.complete = every_page;
  return true;
}

}  // namespace

bool HostSdkSession::DetectionQuery(const OleDate& start, std::int32_t max_age_days,
                                    const std::vector<DetectionRecord>& selection,
                                    std::vector<DetectionRecord>& result,
                                    QueryCoverage* coverage) const {
  result.clear();
  if (coverage != nullptr) *coverage = QueryCoverage{};
  if (!reports_ || !host_) {
    ZTRACE(tp::kQueryStopped, std::int32_t{kStepObjects});
    return false;
  }
  QueryCoverage covered;
  const DetectionSelection admitted(selection);
  DetectionResults found;
  bool completed = false;
  try {
    completed = RunQuery(*this, reports_, start, max_age_days, admitted, found, covered);
  } catch (const ComError& error) {
    ZTRACE(tp::kQueryError, error.result());
  } catch (const std::exception&) {
    ZTRACE(tp::kQueryError, static_cast<HRESULT>(E_FAIL));
  }
  found.AppendTo(result);
  if (coverage != nullptr) *coverage = covered;
  return completed && !result.empty();
}

}  // namespace zentrak::hostsdk
