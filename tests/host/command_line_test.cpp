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
    for (const auto& c : cases) EXPECT_EQ(platform::SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(SplitCommandLine, EmptyQuotedArgumentsBetweenOthersAreSkipped) {
    EXPECT_EQ(platform::SplitCommandLine("x \"\" -hide"), (Args{"x", "-hide"}));
    EXPECT_EQ(platform::SplitCommandLine("x \"\"\"\" -hide \"\""), (Args{"x", "-hide"}));
    EXPECT_EQ(platform::SplitCommandLine("x -update \"\"\"C:\\a b.exe\""),
              (Args{"x", "-update", "C:\\a b.exe"}));
    EXPECT_EQ(platform::SplitCommandLine("x a\"\"b"), (Args{"x", "ab"}))
        << "inside an argument they vanish";
}

// A run started again with administrator rights must get its arguments unchanged.
TEST(JoinArguments, SplittingTheJoinedLineGivesTheArgumentsBack) {
    for (const std::string line :
         {"x -noguiinst -ip 1.2.3.4;5.6.7.8 -path \"D:\\My Tools\\\" -lang german",
          "x \"tab\tinside\" a\"b c\"d", "x caf\xE9 \"open to the end", "x \"\" -kill", "x"}) {
        const Args args = platform::SplitCommandLine(line);
        EXPECT_EQ(platform::SplitCommandLine("x " + platform::JoinArguments(args, 1)), args)
            << line;
    }
    EXPECT_EQ(platform::SplitCommandLine("x -kill \""), (Args{"x", "-kill", ""}));
    EXPECT_EQ(platform::JoinArguments({"x", "-kill", ""}, 1), "-kill")
        << "an empty one ends the list";
    EXPECT_EQ(platform::JoinArguments({"x", "-path", "C:\\A B\\"}, 1), "-path \"C:\\A B\\\"");
}

TEST(ShowsNoWindow, TheHiddenRunTheUpdatersAndTheRemoverNeverShowTheirWindow) {
    for (const char* arg : {"-hide", "-kill", "-update", "-updateC%3A"})
        EXPECT_TRUE(core::ShowsNoWindow({"x", arg})) << arg;
    for (const char* arg : {"", "-lag", "-noguiinst", "-Hide"})
        EXPECT_FALSE(core::ShowsNoWindow({"x", arg})) << arg;
    EXPECT_EQ(core::RunKindOf({"x", "-noguiinst"}), core::RunKind::UnattendedInstall);
    EXPECT_EQ(core::RunKindOf({"x", "-Hide"}), core::RunKind::Interactive);
}

}  // namespace
