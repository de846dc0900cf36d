#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CommandLine.h"

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, SeparatesAtBlanksAndTabsOutsideQuotes) {
    const struct {
        std::string line;
        Args expected;
    } cases[] = {
        {"P_nolvara.exe -hide", {"P_nolvara.exe", "-hide"}},
        {"P_nolvara.exe\t-hide\t\t-clearupdaterest",
         {"P_nolvara.exe", "-hide", "-clearupdaterest"}},
        {"  P_nolvara.exe   -kill   ", {"P_nolvara.exe", "-kill"}},
        {"\"C:\\Program Files\\N\\P_nolvara.exe\" -hide",
         {"C:\\Program Files\\N\\P_nolvara.exe", "-hide"}},
        {"x -path \"C:\\My Folder\\\" -lang german",
         {"x", "-path", "C:\\My Folder\\", "-lang", "german"}},
        {"x a\"b c\"d", {"x", "ab cd"}},
        {"x \"tab\tinside\"", {"x", "tab\tinside"}},
        {"x \"open to the end", {"x", "open to the end"}},
        {"x\r\n-hide", {"x", "-hide"}},
        {"x caf\xE9 -lang", {"x", "caf\xE9", "-lang"}},
        {"", {}},
        {"   \t ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(core::SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(SplitCommandLine, EmptyQuotedArgumentsBetweenOthersAreSkipped) {
    EXPECT_EQ(core::SplitCommandLine("x \"\" -hide"), (Args{"x", "-hide"}));
    EXPECT_EQ(core::SplitCommandLine("x \"\"\"\" -hide \"\""), (Args{"x", "-hide"}));
    EXPECT_EQ(core::SplitCommandLine("x -update \"\"\"C:\\a b.exe\""),
              (Args{"x", "-update", "C:\\a b.exe"}));
    EXPECT_EQ(core::SplitCommandLine("x a\"\"b"), (Args{"x", "ab"}))
        << "inside an argument they vanish";
}

}  // namespace
