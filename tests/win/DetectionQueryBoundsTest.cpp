// The detection query's page loop against hand-made SDK objects that answer what no real
// SDK should: full pages forever, huge and negative counts.
#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <vector>

#include "TestComObject.h"
#include "hostsdk/HostSdk.h"

namespace zentrak::hostsdk {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

template <typename I>
using Fake = zentrak::testing::FakeDispatch<I>;

class FakeList : public Fake<IList> {
 public:
  ZENTRAK_FAKE_UNUSED(1)
  ZENTRAK_FAKE_UNUSED(2)
  ZENTRAK_FAKE_UNUSED(3)
  ZENTRAK_FAKE_UNUSED(6)
  ZENTRAK_FAKE_UNUSED(7)
  ZENTRAK_FAKE_UNUSED(8)
  ZENTRAK_FAKE_UNUSED(9)
  HRESULT STDMETHODCALLTYPE PageCount(long* count) override {
    *count = page_counts.size() > 1 ? page_counts.front() : page_counts.back();
    if (page_counts.size() > 1) page_counts.pop_front();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Count(long* count) override {
    *count = walk_count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(long, VARIANT*) override {
    ++items_asked;
    return E_FAIL;  // every entry is skipped
  }
  std::deque<long> page_counts{50};  // the last one repeats
  long walk_count = 0;
  long items_asked = 0;
};

class FakeReports : public Fake<IReports> {
 public:
  explicit FakeReports(FakeList& list) : list_(list) {}
  ZENTRAK_FAKE_UNUSED(2)
  ZENTRAK_FAKE_UNUSED(3)
  HRESULT STDMETHODCALLTYPE Query(VARIANT, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPage(VARIANT first, VARIANT, IList** page) override {
    firsts.push_back(V_UI4(&first));
    list_.AddRef();
    *page = &list_;
    return S_OK;
  }
  std::vector<unsigned long> firsts;

 private:
  FakeList& list_;
};

class FakeAction : public Fake<IExtendedAction> {
 public:
  ZENTRAK_FAKE_UNUSED(1)
  ZENTRAK_FAKE_UNUSED(2)
  ZENTRAK_FAKE_UNUSED(3)
  ZENTRAK_FAKE_UNUSED(4)
  ZENTRAK_FAKE_UNUSED(5)
  ZENTRAK_FAKE_UNUSED(6)
  HRESULT STDMETHODCALLTYPE SetProperty(BSTR, VARIANT) override { return S_OK; }
};

class FakeHost : public Fake<IHostEntry> {
 public:
  FakeHost(FakeReports& reports, FakeAction& action) : reports_(reports), action_(action) {}
  ZENTRAK_FAKE_UNUSED(2)
  HRESULT STDMETHODCALLTYPE Initialize(VARIANT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CreateObject(BSTR progid, VARIANT* object) override {
    const std::wstring name = BstrText(progid);
    IDispatch* found = nullptr;
    if (name == progid::kReports) found = &reports_;
    if (name == progid::kExtendedAction) found = &action_;
    if (found == nullptr) return S_OK;  // VT_EMPTY: no object
    found->AddRef();
    V_VT(object) = VT_DISPATCH;
    V_DISPATCH(object) = found;
    return S_OK;
  }

 private:
  FakeReports& reports_;
  FakeAction& action_;
};

#undef FAKE_UNUSED
#pragma GCC diagnostic pop

struct FakeSdk {
  FakeList list;
  FakeReports reports{list};
  FakeAction action;
  FakeHost host{reports, action};

  bool Query() {
    const HostSdkSession session(HostEntry::Share(&host));
    std::vector<DetectionRecord> result;
    return session.DetectionQuery(OleDate::FromDouble(LocalNow().value - 1.0), 7, {{-1, -1, {}}},
                                  result, &coverage);
  }
  QueryCoverage coverage{true, {}};  // overwritten by every query
};

TEST(DetectionQueryBounds, FullPagesForeverStopAtTheDocumentedPageLimit) {
  FakeSdk sdk;
  EXPECT_FALSE(sdk.Query());
  EXPECT_EQ(sdk.reports.firsts.size(), 20000U);
  EXPECT_EQ(sdk.reports.firsts.back(), 19999UL * 50);
  EXPECT_FALSE(sdk.coverage.complete);  // pages were left unread: no mark may pass them
  EXPECT_EQ(sdk.list.references(), 0U);
  EXPECT_EQ(sdk.host.references(), 0U);
}

TEST(DetectionQueryBounds, APageIsNeverWalkedPastFiftyEntries) {
  FakeSdk sdk;
  sdk.list.page_counts = {10};
  sdk.list.walk_count = LONG_MAX;
  EXPECT_FALSE(sdk.Query());
  EXPECT_EQ(sdk.list.items_asked, 50);
  EXPECT_EQ(sdk.reports.firsts.size(), 1U);
}

TEST(DetectionQueryBounds, NegativeCountsEndTheLoopWithoutWalking) {
  FakeSdk sdk;
  sdk.list.page_counts = {-5};
  sdk.list.walk_count = -3;
  EXPECT_FALSE(sdk.Query());
  EXPECT_EQ(sdk.list.items_asked, 0);
  EXPECT_EQ(sdk.reports.firsts.size(), 1U);
}

TEST(DetectionQueryBounds, APageCountAboveFiftyAdvancesByOnePage) {
  FakeSdk sdk;
  sdk.list.page_counts = {1000, 0};
  EXPECT_FALSE(sdk.Query());
  EXPECT_EQ(sdk.reports.firsts, (std::vector<unsigned long>{0, 50}));
  EXPECT_TRUE(sdk.coverage.complete);  // every page read, though nothing was kept
  EXPECT_GE(sdk.coverage.end_utc.year, 2026);
}

}  // namespace
}  // namespace zentrak::hostsdk
