#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/Switches.h"

namespace zentrak::run {
namespace {

struct SwitchCase {
  std::vector<std::wstring_view> args;
  bool test_mode;
  bool uninstall;
};

class SwitchTable : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTable, SelectsTheModesOfTheCommandLine) {
  const SwitchCase& c = GetParam();
  EXPECT_EQ(HasTestModeSwitch(c.args), c.test_mode);
  EXPECT_EQ(HasUninstallSwitch(c.args), c.uninstall);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SwitchTable,
    ::testing::Values(
        SwitchCase{{L"Zentrak.exe"}, false, false}, SwitchCase{{}, false, false},
        SwitchCase{{L"Zentrak.exe", L"/TestMode"}, true, false},
        SwitchCase{{L"Zentrak.exe", L"/TESTMODE"}, true, false},
        SwitchCase{{L"Zentrak.exe", L"/testmode"}, true, false},
        SwitchCase{{L"Zentrak.exe", L"/TestModeXYZ"}, true, false},  // longer argument matches
        SwitchCase{{L"Zentrak.exe", L"/TestMod"}, false, false},
        SwitchCase{{L"Zentrak.exe", L"TestMode"}, false, false},
        SwitchCase{{L"/TestMode"}, true, false},  // the program path itself
        SwitchCase{{L"Zentrak.exe", L"/UNINSTALL"}, false, true},
        SwitchCase{{L"Zentrak.exe", L"/uninstall"}, false, true},
        SwitchCase{{L"Zentrak.exe", L"/UnInstall"}, false, true},
        SwitchCase{{L"Zentrak.exe", L"/UNINSTALLX"}, false, false},
        SwitchCase{{L"Zentrak.exe", L"UNINSTALL"}, false, false},
        SwitchCase{{L"Zentrak.exe", L"/UNINSTAL"}, false, false},
        SwitchCase{{L"/UNINSTALL"}, false, false},  // a lone program path never selects it
        SwitchCase{{L"Zentrak.exe", L"/x", L"/UNINSTALL"}, false, true},
        SwitchCase{{L"Zentrak.exe", L"/UNINSTALL", L"/TestMode"}, true, true},
        SwitchCase{{L"Zentrak.exe", L"/\u00dcNINSTALL"}, false, false},  // no folding beyond ASCII
        SwitchCase{{L"Zentrak.exe", L""}, false, false}));

TEST(Switches, ArgumentsOfAnyLengthAreReadWithoutOverrun) {
  const std::wstring long_arg(100000, L'/');
  const std::wstring test_mode_prefix = L"/TESTMODE" + std::wstring(100000, L'\u4e00');
  EXPECT_FALSE(HasTestModeSwitch({L"Zentrak.exe", long_arg}));
  EXPECT_TRUE(HasTestModeSwitch({L"Zentrak.exe", test_mode_prefix}));
  EXPECT_FALSE(HasUninstallSwitch({L"Zentrak.exe", long_arg}));
}

}  // namespace
}  // namespace zentrak::run
