// The COM pointer's rules against a reference-counting test object.
#include <gtest/gtest.h>

#include "TestComObject.h"
#include "support/ComPtr.h"

namespace zentrak {
namespace {

using hostsdk::IDateValue;
using hostsdk::IEntryMap;
using testing::TestDateValue;

TEST(ComPointer, CopiesAddAReferenceAndEveryOwnerReleasesItsOwn) {
  TestDateValue object;
  {
    const ComPtr<IDateValue> first = ComPtr<IDateValue>::Share(&object);
    EXPECT_EQ(object.references(), 1U);
    {
      const ComPtr<IDateValue> copy = first;  // NOLINT(performance-unnecessary-copy)
      EXPECT_EQ(object.references(), 2U);
      ComPtr<IDateValue> assigned;
      assigned = copy;
      EXPECT_EQ(object.references(), 3U);
      ComPtr<IDateValue> moved = std::move(assigned);
      EXPECT_EQ(object.references(), 3U);
      moved.reset();
      moved.reset();  // an empty pointer releases nothing
      EXPECT_EQ(object.references(), 2U);
    }
    EXPECT_EQ(object.references(), 1U);
  }
  EXPECT_EQ(object.references(), 0U);
}

TEST(ComPointer, AnotherInterfaceIsAskedByQueryInterface) {
  TestDateValue object;
  const ComPtr<IDispatch> dispatch = ComPtr<IDispatch>::Share(&object);
  const ComPtr<IDateValue> date(dispatch);
  EXPECT_EQ(date.get(), static_cast<IDateValue*>(&object));
  EXPECT_EQ(object.references(), 2U);
  // Not offered: an empty pointer without error.
  const ComPtr<IEntryMap> map(dispatch);
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(object.references(), 2U);
  // An empty source gives an empty result.
  EXPECT_TRUE(ComPtr<IDateValue>(ComPtr<IDispatch>()).empty());
}

TEST(ComPointer, AFailedQueryOtherThanNoInterfaceRaisesItsResult) {
  TestDateValue object(0.0, E_ACCESSDENIED);
  const ComPtr<IDispatch> dispatch = ComPtr<IDispatch>::Share(&object);
  try {
    const ComPtr<IEntryMap> map(dispatch);
    FAIL() << "no error raised";
  } catch (const ComError& error) {
    EXPECT_EQ(error.result(), E_ACCESSDENIED);
  }
  EXPECT_EQ(object.references(), 1U);
}

TEST(ComPointer, UsingAnEmptyPointerRaisesEPointer) {
  const ComPtr<IDateValue> empty;
  try {
    VARIANT value;
    (void)empty->GetValue(&value);
    FAIL() << "no error raised";
  } catch (const ComError& error) {
    EXPECT_EQ(error.result(), E_POINTER);
  }
}

}  // namespace
}  // namespace zentrak
