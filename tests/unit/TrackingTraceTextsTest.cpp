#include <gtest/gtest.h>

#include "tracking/TraceTexts.h"

namespace zentrak::tracking {
namespace {

TEST(EventListText, ListsTheKindCodesInOrder) {
  using run::EventKind;
  struct Case {
    run::EventList events;
    std::wstring expected;
  };
  const Case cases[] = {
      {{}, L""},
      {{EventKind::kInstallation}, L"1"},
      {{EventKind::kInstallation, EventKind::kDetections, EventKind::kUninstallation}, L"1,3,2"},
  };
  for (const Case& c : cases) EXPECT_EQ(EventListText(c.events), c.expected);
}

}  // namespace
}  // namespace zentrak::tracking
