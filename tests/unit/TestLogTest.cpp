#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tracking/TestLog.h"

namespace zentrak::tracking {
namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh current directory, where the logs are written.
class TestLogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    // Under the test's own build folder (CTest runs it there): the native and the
    // sanitizer trees run the same tests, and must not share a folder.
    dir_ =
        previous_ / ("scratch-testlog-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  static std::optional<std::string> Read(const char* name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path previous_;
  fs::path dir_;
};

TEST_F(TestLogFiles, RunWithoutErrorsLeavesOnlyTheOkLogWithOneMessagePerLine) {
  TestLog log;
  log.SetEnabled(true);
  LogMessage(log, L"Obtenida la instancia del TESSEL.");
  LogMessage(log, L"Fin de la ejecucion.");
  EXPECT_EQ(Read(kOkLogName), "\r\nObtenida la instancia del TESSEL.\r\nFin de la ejecucion.");
  EXPECT_FALSE(Read(kErrorLogName));
}

TEST_F(TestLogFiles, AfterTheFirstErrorTheErrorLogHoldsOnlyTheLatestMessage) {
  TestLog log;
  log.SetEnabled(true);
  LogMessage(log, L"Obtenida la instancia del TESSEL.");
  LogError(log, L"Error transfiriendo el JSON de eventos.");
  EXPECT_FALSE(Read(kOkLogName));
  EXPECT_EQ(Read(kErrorLogName), "\r\nError transfiriendo el JSON de eventos.");
  LogMessage(log, L"Fin de la ejecucion.");
  EXPECT_FALSE(Read(kOkLogName));
  EXPECT_EQ(Read(kErrorLogName), "\r\nFin de la ejecucion.");
}

TEST_F(TestLogFiles, MessagesAreStoredOneBytePerCharacter) {
  TestLog log;
  log.SetEnabled(true);
  LogError(log, L"Error obteniendo la configuraci\u00f3n del evento.");
  EXPECT_EQ(Read(kErrorLogName), "\r\nError obteniendo la configuraci\xF3n del evento.");
}

TEST_F(TestLogFiles, CharacterWithoutASingleByteBecomesAQuestionMarkAndTheRestIsKept) {
  TestLog log;
  log.SetEnabled(true);
  LogMessage(log, L"a\u20acb\U0001F600c");
  EXPECT_EQ(Read(kOkLogName), "\r\na?b?c");
}

TEST_F(TestLogFiles, CarriageReturnLineFeedInAMessageIsStoredAsTextModeWritesIt) {
  TestLog log;
  log.SetEnabled(true);
  LogMessage(log, L"Track OK\r\n");
  EXPECT_EQ(Read(kOkLogName), "\r\nTrack OK\r\r\n");
}

TEST_F(TestLogFiles, OutsideTestModeNoLogIsCreatedOrDeleted) {
  std::ofstream(kOkLogName) << "earlier";
  TestLog log;
  LogMessage(log, L"Fin de la ejecucion.");
  LogError(log, L"Agotado el tiempo de espera del servicio.");
  EXPECT_TRUE(log.Ok());
  EXPECT_EQ(Read(kOkLogName), "earlier");
  EXPECT_FALSE(Read(kErrorLogName));
}

TEST_F(TestLogFiles, DeletingMissingLogsIsNotAnError) {
  TestLog log;
  log.DeleteLogs();
  std::ofstream(kOkLogName) << "x";
  std::ofstream(kErrorLogName) << "y";
  log.DeleteLogs();
  EXPECT_FALSE(Read(kOkLogName));
  EXPECT_FALSE(Read(kErrorLogName));
}

}  // namespace
}  // namespace zentrak::tracking
