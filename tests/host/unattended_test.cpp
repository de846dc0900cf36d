// The unattended installation: "-noguiinst" and its switches.
#include <gtest/gtest.h>

#include "ProgramRig.h"

namespace {

struct Unattended {
    explicit Unattended(std::vector<std::string> switches) : p(prepend(std::move(switches))) {
        p.world.files.addFile(kSelf, "program");
        p.start();
    }
    static std::vector<std::string> prepend(std::vector<std::string> switches) {
        switches.insert(switches.begin(), "-noguiinst");
        return switches;
    }
    std::optional<fakes::RegValue> value(const char* name) const {
        return p.world.registry.get(kKey, name);
    }
    ProgramRig p;
};

TEST(UnattendedInstall, InstallsWithEverySwitchAndStartsTheHiddenCopy) {
    Unattended u({"-ip", "10.0.0.1;bad;192.168.000.001", "-delay", "12", "-lang", "german",
                  "-reconnect", "0", "-path", "C:\\Programs\\Router Tool"});
    auto& world = u.p.world;
    const std::string installed = "C:\\Programs\\Router Tool\\P_nolvara.exe";

    EXPECT_EQ(world.registry.valueNames(kIpList), (std::vector<std::string>{"ip1", "ip2"}));
    EXPECT_EQ(world.registry.get(kIpList, "ip1")->text, "10.0.0.1");
    EXPECT_EQ(world.registry.get(kIpList, "ip2")->text, "192.168.0.1");
    EXPECT_EQ(u.value("shutdowndelay")->number, 12);
    EXPECT_EQ(u.value("language")->text, "german");
    EXPECT_EQ(u.value("restartservice")->number, 0);
    EXPECT_EQ(u.value("autostart")->number, 1);
    EXPECT_EQ(u.value("installpath")->text, "C:\\Programs\\Router Tool\\");
    EXPECT_EQ(world.registry.get(kRun, "Nolvara")->text, "\"" + installed + "\" -hide");
    ASSERT_NE(world.files.file(installed), nullptr);
    EXPECT_EQ(world.files.file(installed)->bytes, "program");

    ASSERT_FALSE(world.shell.starts.empty());
    EXPECT_EQ(world.shell.starts.back().file, installed);
    EXPECT_EQ(world.shell.starts.back().arguments, "-hide");
    ASSERT_FALSE(world.system.sleeps.empty());
    EXPECT_EQ(world.system.sleeps.back(), 200) << "a pause before the start";
    EXPECT_TRUE(world.system.terminateRequested());
    EXPECT_FALSE(u.p.window.visible());
    EXPECT_TRUE(world.dialogs.shown.empty());
}

TEST(UnattendedInstall, OneAddressAloneInstallsWithTheDefaults) {
    ProgramRig p({"-noguiinst", "-ip", "10.1.1.1"});
    p.world.system.windowsDir = "D:\\WINNT";
    p.world.files.addFolder("D:\\");
    p.world.files.addFile(kSelf, "program");
    p.start();

    EXPECT_EQ(p.world.registry.get(kRun, "Nolvara")->text, "D:\\Nolvara\\P_nolvara.exe -hide");
    EXPECT_TRUE(p.world.files.fileExists("D:\\Nolvara\\P_nolvara.exe"));
    EXPECT_EQ(p.world.registry.get(kKey, "shutdowndelay")->number, 30);
    EXPECT_EQ(p.world.registry.get(kKey, "language")->text, "english");
    EXPECT_EQ(p.world.registry.get(kKey, "restartservice")->number, 1);
}

TEST(UnattendedInstall, WithoutAValidAddressOrFolderNothingIsInstalled) {
    // "-path" takes "-ip" as its folder, which is no folder; the scan still
    // reads "-ip" as a switch at the next position.
    const std::vector<std::vector<std::string>> runs = {
        {"-ip", "bad;300.1.1.1;"}, {}, {"-path", "-ip", "10.0.0.1"}};
    for (const auto& switches : runs) {
        Unattended u(switches);
        auto& world = u.p.world;
        // Every start opens the settings key; no setting is stored in it.
        EXPECT_TRUE(world.registry.valueNames(kKey).empty()) << testing::PrintToString(switches);
        EXPECT_TRUE(world.registry.valueNames(kIpList).empty());
        EXPECT_FALSE(world.registry.get(kRun, "Nolvara").has_value());
        EXPECT_FALSE(world.files.fileExists("C:\\Nolvara\\P_nolvara.exe"));
        EXPECT_TRUE(world.shell.starts.empty());
        EXPECT_TRUE(world.system.terminateRequested()) << "the run ends all the same";
        EXPECT_FALSE(u.p.window.visible());
    }
    Unattended u({"-path", "-ip", "10.0.0.1"});
    EXPECT_EQ(u.p.window.list_ip.items(), (std::vector<std::string>{" 10.0.0.1"}));
}

TEST(UnattendedInstall, SwitchValuesAreExactAndCaseSensitive) {
    // Only "0" turns reconnect off and only "german" selects German; a value
    // that is a switch name is read as that switch too.
    Unattended u({"-reconnect", "no", "-lang", "German", "-delay", "-7", "-lang", "-ip",
                  "10.0.0.1;;10.0.0.2"});
    EXPECT_EQ(u.value("restartservice")->number, 1);
    EXPECT_EQ(u.value("language")->text, "english");
    EXPECT_EQ(u.value("shutdowndelay")->number, 7) << "Apply keeps the digits only";
    EXPECT_EQ(u.p.world.registry.valueNames(kIpList), (std::vector<std::string>{"ip1", "ip2"}))
        << "an empty item is skipped";
    EXPECT_EQ(u.p.window.runKind, core::RunKind::UnattendedInstall);
}

TEST(UnattendedInstall, ABadDelayIsShownAndTheWindowOpensInstead) {
    Unattended u({"-ip", "10.0.0.1", "-delay", "3x"});
    auto& world = u.p.world;
    ASSERT_EQ(world.dialogs.shown.size(), 1u);
    EXPECT_EQ(world.dialogs.shown[0].text, "'3x' is not a valid integer value");
    EXPECT_TRUE(u.p.window.visible());
    EXPECT_EQ(u.p.window.runKind, core::RunKind::Interactive);
    EXPECT_FALSE(world.system.terminateRequested());
    EXPECT_TRUE(world.registry.valueNames(kKey).empty()) << "nothing was applied";
    EXPECT_TRUE(world.shell.starts.empty());
}

}  // namespace
