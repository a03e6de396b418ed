#include <gtest/gtest.h>

#include <string>

#include "run/FileNames.h"

namespace zentrak::run {
namespace {

TEST(DocumentName, StampHasEveryFieldZeroPaddedWithMilliseconds) {
  EXPECT_EQ(FormatDocumentStamp(CivilTime{2018, 3, 26, 7, 36, 20, 45}), L"20180326_073620045");
  EXPECT_EQ(FormatDocumentStamp(CivilTime{2026, 12, 1, 0, 0, 0, 0}), L"20261201_000000000");
}

TEST(DocumentName, MuidPrefixStampAndFallback) {
  EXPECT_EQ(DocumentFileName(std::wstring(L"M-1"), L"20180326_073620045"),
            L"M-1_20180326_073620045");
  EXPECT_EQ(DocumentFileName(std::nullopt, L"20180326_073620045"), L"20180326_073620045");
  EXPECT_EQ(DocumentFileName(std::wstring(), L"20180326_073620045"), L"_20180326_073620045");
  EXPECT_EQ(DocumentFileName(std::nullopt, L""), L"Gccppostevents");
}

TEST(DocumentName, MuidCannotMoveTheDocumentOutOfTheRepository) {
  EXPECT_EQ(DocumentFileName(std::wstring(L"..\\..\\Windows\\x"), L"1"), L".._.._Windows_x_1");
  EXPECT_EQ(DocumentFileName(std::wstring(L"C:/a:b*?\"<>|\x01"), L"1"), L"C__a_b________1");
}

struct SourceCase {
  std::wstring source;
  bool is_url;
  std::wstring part;
};

TEST(ConfigSource, FileNamePartIsWhatFollowsTheLastSeparatorAndNeverLeavesTheFolder) {
  const SourceCase cases[] = {
      {L"http://host/config/events.json", true, L"events.json"},
      {L"http://host/a/b.json?x=1", true, L"b.json?x=1"},
      {L"\\\\server\\share\\events.json", false, L"events.json"},
      {L"C:\\cfg\\events.json", false, L"events.json"},
      {L"events.json", false, L""},  // no separator
      {L"http:events.json", true, L""},
      {L"http://host/", true, L""},
      {L"C:/cfg/events.json", false, L""},  // a path separates by "\" only
      {L"http://host/x%5C..%5C..%5Cevil", true, L""},
      {L"http://host/x%2f..%2fevil", true, L""},
      {L"http://host/..\\..\\Windows\\file", true, L""},
      {L"http://host/..", true, L""},
      {L"http://host/%2e%2e", true, L""},
      {L"C:\\cfg\\.", false, L""},
      {L"C:\\cfg\\events.json:stream", false, L""},
      {L"http://host/a%20b.json", true, L"a%20b.json"},
      {L"http://host/100%", true, L"100%"},
      // Names Windows would not take as a plain file of that name.
      {L"http://host/NUL", true, L""},
      {L"http://host/com1.json", true, L""},
      {L"C:\\cfg\\Lpt9.tar.gz", false, L""},
      {L"http://host/aux%20.json", true, L""},  // spaces before the dot do not count
      {L"http://host/CONOUT$", true, L""},
      {L"http://host/events.json.", true, L""},
      {L"http://host/events.json%20", true, L""},
      {L"C:\\cfg\\events.json ", false, L""},
      {L"http://host/COM10.json", true, L"COM10.json"},  // not a device
      {L"http://host/console.json", true, L"console.json"},
      {L"http://host/nul-list.json", true, L"nul-list.json"},
      // The program's own files.
      {L"http://host/cfg/EvtsData.ini", true, L""},
      {L"http://host/cfg/evtsdata.INI", true, L""},
      {L"C:\\cfg\\EvtsInstall.txt", false, L""},
      {L"http://host/EvtsConfig.download", true, L""},
      {L"http://host/EvtsRun.lock", true, L""},
      {L"http://host/EvtsData.ini.json", true, L"EvtsData.ini.json"},
  };
  for (const SourceCase& c : cases) {
    EXPECT_EQ(ConfigFileNamePart(c.source, c.is_url), c.part) << ::testing::PrintToString(c.source);
  }
}

}  // namespace
}  // namespace zentrak::run
