#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hostsdk/HostSdkTracePoints.h"
#include "run/RunTracePoints.h"
#include "support/Trace.h"
#include "tracking/TrackingTracePoints.h"
#include "transport/TransportTracePoints.h"

namespace zentrak::trace {
namespace {

constexpr Point kInfoFlag1{Unit::kRun, 14, 1, kLevelInfo};
constexpr Point kErrorFlag4{Unit::kTransport, 21, 4, kLevelError};
constexpr Point kVerboseFlag1{Unit::kService, 13, 1, kLevelVerbose};
constexpr UtcTime kNoon{2024, 2, 29, 12, 0, 5, 7};

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
  EtwReceived().push_back({p.number, FormatLine(p, args, n, kNoon)});
}
void RecordFile(const Control&, const Point& p, const Arg* args, std::size_t n) {
  FileReceived().push_back({p.number, FormatLine(p, args, n, kNoon)});
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
      {4, 4, false, true, false},                              // only the transfer's flag
      {7, 2, false, true, false},                              // errors only
      {7, 4, true, true, false},   {1, 5, true, false, true},  // verbose needs level 5
      {0, 5, false, false, false}, {7, 1, false, false, false},
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
            R"({"time_utc":"2024-02-29T12:00:05.007Z","unit":"run","n":14,"level":4,"flag":1,)"
            R"("text":"","args":[5]})");
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

TEST(TraceLine, CarriesTheUtcTimeTheWordingWithItsArgumentsAndTheArguments) {
  const std::wstring text = L"C:\\x \"q\" \u00f3";
  const Arg args[] = {Arg(text), Arg(std::uint32_t{4294967295U}), Arg("Hostname"),
                      Arg(std::wstring{})};
  constexpr Point point{Unit::kHostSdk, 3, 2, kLevelVerbose, "%1 %2 %3 %4", 4, {}};
  EXPECT_EQ(FormatLine(point, args, 4, UtcTime{987, 12, 31, 23, 59, 59, 999}),
            "{\"time_utc\":\"0987-12-31T23:59:59.999Z\",\"unit\":\"hostsdk\",\"n\":3,"
            "\"level\":5,\"flag\":2,\"text\":\"C:\\\\x \\\"q\\\" \xC3\xB3 -1 Hostname <NULL>\","
            "\"args\":[\"C:\\\\x \\\"q\\\" \xC3\xB3\",-1,\"Hostname\",\"<NULL>\"]}");
}

TEST(TraceText, ArgumentsTakeThePlaceOfTheirNumbers) {
  const std::wstring wide = L"caf\u00e9";
  struct Case {
    Point point;
    std::vector<Arg> args;
    std::string expected;
  };
  const Case cases[] = {
      {Point{Unit::kRun, 1, 1, 2, "local %1, expected %2", 2, {ArgType::kWide, ArgType::kWide}},
       {Arg(std::wstring(L"AB")), Arg(std::wstring(L"cd"))},
       "local AB, expected cd"},
      // Out of order and repeated.
      {Point{Unit::kRun, 1, 1, 2, "%2/%1/%2", 2, {ArgType::kInt32, ArgType::kNarrow}},
       {Arg(-7), Arg("x")},
       "x/-7/x"},
      {Point{Unit::kRun, 1, 1, 2, "HRESULT %1", 1, {ArgType::kHex32}},
       {Arg(std::int32_t{-2147467259})},
       "HRESULT 0x80004005"},
      {Point{Unit::kRun, 1, 1, 2, "item %1", 1, {ArgType::kHex32}},
       {Arg(0x4009013)},
       "item 0x04009013"},
      // A percent sign that names no argument stays; so does a number without argument.
      {Point{Unit::kRun, 1, 1, 2, "80 % used, %1 and %2", 1, {ArgType::kInt32}},
       {Arg(3)},
       "80 % used, 3 and %2"},
      {Point{Unit::kRun, 1, 1, 2, "text %1", 1, {ArgType::kWide}}, {Arg(wide)}, "text caf\xC3\xA9"},
      {Point{Unit::kRun, 1, 1, 2, "absent %1", 1, {ArgType::kWide}},
       {Arg(static_cast<const wchar_t*>(nullptr))},
       "absent NULL"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatText(c.point, c.args.data(), c.args.size()), c.expected) << c.point.text;
  }
}

TEST(TraceTime, IsIso8601WithMillisecondsAndTheUtcDesignator) {
  EXPECT_EQ(FormatUtcTime(UtcTime{2025, 1, 2, 3, 4, 5, 6}), "2025-01-02T03:04:05.006Z");
  EXPECT_EQ(FormatUtcTime(UtcTime{2025, 12, 31, 23, 59, 59, 999}), "2025-12-31T23:59:59.999Z");
}

TEST(TraceUnits, MessageGuidsAndNames) {
  const std::pair<Unit, std::pair<const char*, const char*>> expected[] = {
      {Unit::kRun, {"run", "a891138f-252e-6e12-6b22-c2fef7d83580"}},
      {Unit::kService, {"service", "1b3692e3-f438-4ca3-2182-23136c653a34"}},
      {Unit::kTracking, {"tracking", "9f612876-a054-bae3-7710-5f119756f7ad"}},
      {Unit::kHostSdk, {"hostsdk", "80a74469-2ff9-750b-54be-f8b45010ff5d"}},
      {Unit::kTransport, {"transport", "19d273c7-7262-54cd-6037-267931314c94"}},
  };
  for (const auto& [unit, names] : expected) {
    EXPECT_STREQ(UnitName(unit), names.first);
    EXPECT_EQ(GuidText(UnitMessageGuid(unit)), names.second);
  }
}

TEST(TraceWording, MustNameEveryArgumentAndNoOther) {
  struct Case {
    const char* text;
    std::size_t count;
    bool fits;
  };
  const Case cases[] = {
      {"no arguments", 0, true},     {"two %1 and %2", 2, true},
      {"reversed %2 %1", 2, true},   {"80 % used", 0, true},
      {"missing %1", 2, false},      // %2 never named
      {"beyond %3", 2, false},       // no third argument
      {"zero %0", 0, false},         // arguments count from 1
      {"two digits %12", 2, false},  // at most six arguments, one digit
      {"quote \" inside", 0, false}, {"tab\there", 0, false},
      {"caf\xC3\xA9", 0, false},  // ASCII only
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detail::WordingFits(c.text, c.count), c.fits) << c.text;
  }
}

TEST(TraceCallCheck, ArgumentsMustMatchThePointsDeclaration) {
  using Texts = TypedPoint<ArgType::kWide, ArgType::kNarrow>;
  using Code = TypedPoint<ArgType::kHex32>;
  EXPECT_TRUE((kArgsFit<const Texts&, std::wstring&, const char(&)[3]>));
  EXPECT_TRUE((kArgsFit<Texts, const wchar_t*, std::string>));
  EXPECT_FALSE((kArgsFit<Texts, std::string, std::wstring>));  // swapped
  EXPECT_FALSE((kArgsFit<Texts, std::wstring>));               // one missing
  EXPECT_TRUE((kArgsFit<Code, unsigned>));
  EXPECT_TRUE((kArgsFit<Code, std::int32_t>));
  EXPECT_FALSE((kArgsFit<Code, const char*>));
  EXPECT_FALSE((kArgsFit<TypedPoint<>, int>));
  EXPECT_TRUE((kArgsFit<Point, int, std::wstring>));  // an ad hoc point is not checked
}

// Every table: each point in its unit's list, numbers unique within the unit, the unit's
// flags, a level in use and wording that names its arguments.
TEST(TraceTables, EveryPointIsWellFormed) {
  struct Table {
    Unit unit;
    const Point* begin;
    const Point* end;
    std::set<std::uint32_t> flags;
  };
  const Table tables[] = {
      {Unit::kRun, std::begin(run::tp::kRunPoints), std::end(run::tp::kRunPoints), {1}},
      {Unit::kService, std::begin(run::tp::kServicePoints), std::end(run::tp::kServicePoints), {1}},
      {Unit::kTracking, std::begin(tracking::tp::kPoints), std::end(tracking::tp::kPoints), {2}},
      {Unit::kHostSdk, std::begin(hostsdk::tp::kPoints), std::end(hostsdk::tp::kPoints), {2}},
      {Unit::kTransport,
       std::begin(transport::tp::kPoints),
       std::end(transport::tp::kPoints),
       {1, 4}},
  };
  for (const Table& t : tables) {
    std::set<std::uint16_t> numbers;
    for (const Point* p = t.begin; p != t.end; ++p) {
      const std::string where = std::string(UnitName(t.unit)) + " " + std::to_string(p->number);
      EXPECT_EQ(p->unit, t.unit) << where;
      EXPECT_TRUE(numbers.insert(p->number).second) << where << " twice";
      EXPECT_EQ(t.flags.count(p->flag), 1U) << where;
      EXPECT_TRUE(p->level == kLevelError || p->level == kLevelInfo || p->level == kLevelVerbose)
          << where;
      EXPECT_GT(std::strlen(p->text), 5U) << where;
      EXPECT_TRUE(detail::WordingFits(p->text, p->arg_count)) << where;
    }
  }
}

TEST(TraceTables, KeepTheNumbersLevelsAndArgumentsOfTheRun) {
  // A sample of the published points, written out from their description.
  struct Case {
    Point point;
    Unit unit;
    std::uint16_t number;
    std::uint32_t flag;
    std::uint8_t level;
    std::vector<ArgType> args;
  };
  const Case cases[] = {
      {run::tp::kDocumentText, Unit::kRun, 20, 1, 4, {ArgType::kWide}},
      {run::tp::kLocalConfigStale, Unit::kRun, 34, 1, 2, {ArgType::kWide, ArgType::kWide}},
      {run::tp::kProxyPasswordRead, Unit::kRun, 54, 1, 4, {ArgType::kWide}},
      {run::tp::kServiceStatusRead, Unit::kService, 13, 1, 5, {ArgType::kInt32}},
      {hostsdk::tp::kQueryFinished, Unit::kHostSdk, 15, 2, 4, {ArgType::kInt32, ArgType::kInt32}},
      {transport::tp::kAgentValueNotRead, Unit::kTransport, 11, 1, 2, {ArgType::kNarrow}},
      {transport::tp::kTransferResult, Unit::kTransport, 23, 4, 2, {ArgType::kInt32}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.point.unit, c.unit);
    EXPECT_EQ(c.point.number, c.number);
    EXPECT_EQ(c.point.flag, c.flag) << c.number;
    EXPECT_EQ(c.point.level, c.level) << c.number;
    EXPECT_EQ(std::vector<ArgType>(c.point.args, c.point.args + c.point.arg_count), c.args)
        << c.number;
  }
}

}  // namespace
}  // namespace zentrak::trace
