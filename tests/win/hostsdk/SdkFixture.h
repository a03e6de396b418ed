// What the SDK tests share: a fixture for the stand-in SDK (written once per process, before
// the first object), the setup "Path" pointing at the test program's folder, the activation
// context and the COM apartment for the suite, and the stand-in's journal.
#pragma once

#include <boost/property_tree/ptree.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostsdk/HostSdk.h"

namespace zentrak::hostsdk::testing {

// A fixture value as the stand-in reads it: {"vt": type, "value": ...}.
std::string Typed(const std::string& type, const std::string& json_value);
std::string Quoted(const std::string& text);
// "YYYY-MM-DDTHH:MM:SS" of an OLE date.
std::string DateText(double date);
// Configuration items' key: "0x4009014".
std::string ItemKey(std::uint32_t item);

// The installation time items of a local FILETIME, as fixture "config" members.
std::string InstallTimeItems(std::uint64_t local_filetime);
// The current local time as a FILETIME count.
std::uint64_t LocalFileTimeNow();
inline constexpr std::uint64_t kFileTimeDay = 864000000000ULL;

// The SDK for one test suite: writes the fixture (only one per process), writes the setup
// "Path", gets the activation context, activates it and enters COM.
class SdkSuite {
 public:
  explicit SdkSuite(const std::string& name, const std::string& fixture_json);
  ~SdkSuite();
  SdkSuite(const SdkSuite&) = delete;
  SdkSuite& operator=(const SdkSuite&) = delete;

  [[nodiscard]] const SdkActivationContext* context() const { return context_; }

 private:
  const SdkActivationContext* context_ = nullptr;
  std::unique_ptr<ActivationScope> activation_;
  std::unique_ptr<ComScope> com_;
};

// The journal lines written since the journal was last read, parsed.
std::vector<boost::property_tree::ptree> NewJournalLines();
// Those of one call ("Reports.4").
std::vector<boost::property_tree::ptree> Calls(
    const std::vector<boost::property_tree::ptree>& lines, const std::string& call);

// A member of a journal line, given plainly or as a typed value {"vt": ..., "value": ...};
// empty when absent.
std::string JournalValue(const boost::property_tree::ptree& line, const std::string& key);

// The folder of this test program (where the stand-in's assemblies are).
std::wstring ProgramFolder();
// Writes or removes HKLM "SOFTWARE\Kelvo Software\Setup" "Path".
void SetSetupPath(const std::wstring* folder);

}  // namespace zentrak::hostsdk::testing
