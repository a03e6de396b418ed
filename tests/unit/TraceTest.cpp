#include "support/Trace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zentrak::trace {
namespace {

constexpr Point kInfoFlag1{Unit::kRun, 14, 1, kLevelInfo};
constexpr Point kErrorFlag4{Unit::kTransport, 21, 4, kLevelError};
constexpr Point kVerboseFlag1{Unit::kService, 13, 1, kLevelVerbose};

struct Received {
  std::uint16_t number;
  std::string line;
};

std::vector<Received>& EtwReceived() {
  static std::vector<Received> received;
  return received;
}
std::vector<Received>& FileReceived() {
  static std::vector<Received> received;
  return received;
}

void RecordEtw(const Control&, const Point& p, const Arg* args, std::size_t n) {
  EtwReceived().push_back({p.number, FormatLine(p, args, n)});
}
void RecordFile(const Control&, const Point& p, const Arg* args, std::size_t n) {
  FileReceived().push_back({p.number, FormatLine(p, args, n)});
}

// A registered provider with recording sinks; restores the process state afterwards.
class TraceGate : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {GlobalState().etw_sink, GlobalState().file_sink, GlobalState().file_level,
              GlobalState().file_flags};
    EtwReceived().clear();
    FileReceived().clear();
    GlobalState().etw_sink = &RecordEtw;
    GlobalState().file_sink = nullptr;
  }
  void TearDown() override {
    State& s = GlobalState();
    s.active.store(nullptr);
    s.etw_sink = saved_.etw;
    s.file_sink = saved_.file;
    s.file_level = saved_.level;
    s.file_flags = saved_.flags;
  }
  void Enable(std::uint32_t flags, std::uint8_t level) {
    control_.flags = flags;
    control_.level = level;
    GlobalState().active.store(&control_);
  }

  struct Saved {
    Sink etw;
    Sink file;
    std::uint8_t level;
    std::uint32_t flags;
  } saved_{};
  Control control_;
};

TEST_F(TraceGate, NothingFiresWhileTheProviderIsNotRegistered) {
  control_.flags = 7;
  control_.level = 5;
  ZTRACE(kInfoFlag1);
  EXPECT_FALSE(IsOn(kInfoFlag1));
  EXPECT_TRUE(EtwReceived().empty());
}

TEST_F(TraceGate, FlagAndLevelOfTheSessionDecideWhichPointsFire) {
  struct Case {
    std::uint32_t flags;
    std::uint8_t level;
    bool info_flag1, error_flag4, verbose_flag1;
  };
  const Case cases[] = {
      {4, 4, false, true, false},  // only the transfer's flag
      {7, 2, false, true, false},  // errors only
      {7, 4, true, true, false},
      {1, 5, true, false, true},  // verbose needs level 5
      {0, 5, false, false, false},
      {7, 1, false, false, false},
  };
  for (const Case& c : cases) {
    Enable(c.flags, c.level);
    EXPECT_EQ(IsOn(kInfoFlag1), c.info_flag1) << c.flags << "/" << int{c.level};
    EXPECT_EQ(IsOn(kErrorFlag4), c.error_flag4) << c.flags << "/" << int{c.level};
    EXPECT_EQ(IsOn(kVerboseFlag1), c.verbose_flag1) << c.flags << "/" << int{c.level};
  }
}

TEST_F(TraceGate, ArgumentsOfAPointThatIsOffAreNotComputed) {
  Enable(4, 5);
  int evaluated = 0;
  auto expensive = [&evaluated] {
    ++evaluated;
    return std::wstring(L"x");
  };
  ZTRACE(kInfoFlag1, expensive());
  EXPECT_EQ(evaluated, 0);
  ZTRACE(kErrorFlag4, expensive());
  EXPECT_EQ(evaluated, 1);
  ASSERT_EQ(EtwReceived().size(), 1U);
  EXPECT_EQ(EtwReceived()[0].number, 21);
}

TEST_F(TraceGate, TraceFileHasItsOwnLevelAndFlags) {
  Enable(0, 1);  // no ETW session
  GlobalState().file_sink = &RecordFile;
  GlobalState().file_flags = 1;
  GlobalState().file_level = 4;
  ZTRACE(kInfoFlag1, 5);
  ZTRACE(kErrorFlag4);
  ZTRACE(kVerboseFlag1);
  EXPECT_TRUE(EtwReceived().empty());
  ASSERT_EQ(FileReceived().size(), 1U);
  EXPECT_EQ(FileReceived()[0].line,
            R"({"unit":"run","n":14,"level":4,"flag":1,"args":[5]})");
}

TEST(TraceArg, TextsAreSentWithTheirTerminatorAndSubstitutesForAbsentAndEmpty) {
  const Arg absent_wide(static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(absent_wide.wide(), L"NULL");
  EXPECT_EQ(absent_wide.size(), 5 * sizeof(wchar_t));
  const Arg empty_wide(std::wstring{});
  EXPECT_EQ(empty_wide.wide(), L"<NULL>");
  EXPECT_EQ(empty_wide.size(), 7 * sizeof(wchar_t));
  const std::wstring value = L"abc";
  const Arg wide(value);
  EXPECT_EQ(wide.data(), value.c_str());
  EXPECT_EQ(wide.size(), 4 * sizeof(wchar_t));

  const Arg absent_narrow(static_cast<const char*>(nullptr));
  EXPECT_EQ(absent_narrow.narrow(), "NULL");
  EXPECT_EQ(absent_narrow.size(), 5U);
  const Arg narrow("Hostname");
  EXPECT_EQ(narrow.size(), 9U);
  EXPECT_EQ(std::memcmp(narrow.data(), "Hostname", 9), 0);

  const Arg number(std::int32_t{-2});
  EXPECT_EQ(number.size(), 4U);
  EXPECT_EQ(*static_cast<const std::int32_t*>(number.data()), -2);
}

TEST(TraceLine, ArgumentsBecomeJsonNumbersAndUtf8Strings) {
  const std::wstring text = L"C:\\x \"q\" \u00f3";
  const Arg args[] = {Arg(text), Arg(std::uint32_t{4294967295U}), Arg("Hostname"),
                      Arg(std::wstring{})};
  EXPECT_EQ(FormatLine(Point{Unit::kHostSdk, 3, 2, kLevelVerbose}, args, 4),
            "{\"unit\":\"hostsdk\",\"n\":3,\"level\":5,\"flag\":2,"
            "\"args\":[\"C:\\\\x \\\"q\\\" \xC3\xB3\",-1,\"Hostname\",\"<NULL>\"]}");
}

}  // namespace
}  // namespace zentrak::trace
