#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "run/RunTracePoints.h"
#include "run/ServiceWait.h"

namespace zentrak::run {
namespace {

// Answers checks from a script; the last answer repeats.
struct ScriptedService {
  explicit ScriptedService(std::vector<ServiceCheck> script) : answers(std::move(script)) {}
  std::vector<ServiceCheck> answers;
  int checks = 0;
  std::vector<std::uint32_t> sleeps;

  ServiceCheckFn Check() {
    return [this] {
      const auto i = static_cast<std::size_t>(checks++);
      return answers[i < answers.size() ? i : answers.size() - 1];
    };
  }
  SleepFn Sleep() {
    return [this](std::uint32_t ms) { sleeps.push_back(ms); };
  }
};

constexpr ServiceCheck kRunning{true, 0};
constexpr ServiceCheck kStopped{false, 0};
constexpr ServiceCheck kMissing{false, kErrorServiceDoesNotExist};
constexpr ServiceCheck kAccessDenied{false, 5};

TEST(ServiceWait, RunningServiceEndsTheWaitAfterOneCheck) {
  ScriptedService s({kRunning});
  EXPECT_TRUE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 1);
  EXPECT_TRUE(s.sleeps.empty());
}

TEST(ServiceWait, MissingServiceFailsAtOnceWithoutSleeping) {
  ScriptedService s({kMissing});
  EXPECT_FALSE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 1);
  EXPECT_TRUE(s.sleeps.empty());
}

TEST(ServiceWait, StoppedServiceIsCheckedThirtyOneTimesOverThreeHundredSeconds) {
  ScriptedService s({kStopped});
  EXPECT_FALSE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 31);
  EXPECT_EQ(s.sleeps, std::vector<std::uint32_t>(30, 10000));
}

TEST(ServiceWait, RefusedServiceManagerWaitsTheFullTime) {
  ScriptedService s({kAccessDenied});
  EXPECT_FALSE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 31);
}

TEST(ServiceWait, ServiceThatStartsDuringTheWaitEndsItAtThatCheck) {
  ScriptedService s({kStopped, kStopped, kStopped, kRunning});
  EXPECT_TRUE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 4);
  EXPECT_EQ(s.sleeps.size(), 3U);
}

TEST(ServiceWait, ServiceMissingAtALaterCheckDoesNotEndTheWait) {
  ScriptedService s({kStopped, kMissing, kMissing, kRunning});
  EXPECT_TRUE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 4);
}

TEST(ServiceWait, RunningAtTheLastCheckStillSucceeds) {
  std::vector<ServiceCheck> answers(30, kStopped);
  answers.push_back(kRunning);
  ScriptedService s(answers);
  EXPECT_TRUE(WaitForService(s.Check(), s.Sleep()));
  EXPECT_EQ(s.checks, 31);
}

TEST(ServiceWait, EachStateOfAServiceThatIsNotRunningHasItsTracePoint) {
  struct Case {
    std::uint32_t state;
    std::uint16_t number;
  };
  for (const Case c : {Case{1, 60}, Case{2, 61}, Case{3, 62}, Case{5, 63}, Case{6, 64}, Case{7, 65},
                       Case{0, 66}, Case{4, 66}, Case{99, 66}}) {
    const trace::Point& p = NotRunningTracePoint(c.state);
    EXPECT_EQ(p.number, c.number) << "state " << c.state;
    EXPECT_EQ(p.unit, trace::Unit::kRun);
    EXPECT_EQ(p.level, trace::kLevelInfo);
  }
}

}  // namespace
}  // namespace zentrak::run
