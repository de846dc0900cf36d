// The unattended installation: "-noguiinst" and its switches.
#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "core/CommandLine.h"

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

// Over an earlier installation: the switches, and the defaults of those not
// given, replace what they name; the stored addresses stay ahead of the new
// ones, the options without a switch stay, and the copy moves to the folder.
TEST(UnattendedInstall, OverAnEarlierInstallationTheSwitchesWinAndTheCopyMoves) {
    ProgramRig p({"-noguiinst", "-ip", "10.0.0.1"});
    auto& r = p.world.registry;
    r.setInteger(kKey, "version", 6);
    r.setInteger(kKey, "autostart", 1);
    r.setText(kKey, "installpath", "D:\\Old\\");
    r.setText(kKey, "language", "german");
    r.setInteger(kKey, "restartservice", 0);
    r.setInteger(kKey, "shutdowndelay", 10);
    r.setInteger(kKey, "checkforupdate", 1);
    r.setText(kIpList, "ip1", "10.0.0.5");
    r.setText(kRun, "Nolvara", "D:\\Old\\P_nolvara.exe -hide");
    p.world.files.addFile(kSelf, "program");
    p.world.files.addFolder("D:\\Old\\");
    p.world.files.addFile("D:\\Old\\P_nolvara.exe", "older");
    p.start();

    EXPECT_EQ(r.get(kIpList, "ip1")->text, "10.0.0.5");
    EXPECT_EQ(r.get(kIpList, "ip2")->text, "10.0.0.1");
    EXPECT_EQ(r.get(kKey, "language")->text, "english");
    EXPECT_EQ(r.get(kKey, "restartservice")->number, 1);
    EXPECT_EQ(r.get(kKey, "shutdowndelay")->number, 30);
    EXPECT_EQ(r.get(kKey, "checkforupdate")->number, 1);
    EXPECT_EQ(r.get(kKey, "installpath")->text, "C:\\Nolvara\\");
    EXPECT_EQ(r.get(kRun, "Nolvara")->text, "C:\\Nolvara\\P_nolvara.exe -hide");
    EXPECT_FALSE(p.world.files.fileExists("D:\\Old\\P_nolvara.exe"));
    EXPECT_FALSE(p.world.files.folderExists("D:\\Old\\"));
    ASSERT_NE(p.world.files.file(kInstalled), nullptr);
    EXPECT_EQ(p.world.files.file(kInstalled)->bytes, "program");
    ASSERT_FALSE(p.world.shell.starts.empty());
    EXPECT_EQ(p.world.shell.starts.back().file, kInstalled);
    EXPECT_EQ(p.world.shell.starts.back().arguments, "-hide");
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
        EXPECT_EQ(world.system.exit, core::kExitBadArguments);
        EXPECT_FALSE(u.p.window.visible());
    }
    Unattended u({"-path", "-ip", "10.0.0.1"});
    EXPECT_EQ(u.p.window.list_ip.items(), (std::vector<std::string>{" 10.0.0.1"}));
}

TEST(UnattendedInstall, SwitchValuesAreExactAndCaseSensitive) {
    // Only "0" turns reconnect off and only "german" selects German; a value
    // that is a switch name is read as that switch too.
    Unattended u({"-reconnect", "no", "-lang", "German", "-delay", " +3600", "-lang", "-ip",
                  "10.0.0.1;;10.0.0.2"});
    EXPECT_EQ(u.value("restartservice")->number, 1);
    EXPECT_EQ(u.value("language")->text, "english");
    EXPECT_EQ(u.value("shutdowndelay")->number, 3600) << "an hour is the longest delay";
    EXPECT_EQ(u.p.world.registry.valueNames(kIpList), (std::vector<std::string>{"ip1", "ip2"}))
        << "an empty item is skipped";
    EXPECT_EQ(u.p.window.runKind, core::RunKind::UnattendedInstall);
}

TEST(UnattendedInstall, ABadDelayIsShownAndEndsTheRunWithBadArguments) {
    // A delay below zero or beyond an hour counts as no number: the hidden run
    // would otherwise compute its timer from it.
    const std::pair<const char*, const char*> delays[] = {
        {"3x", "'3x' is not a valid integer value"},
        {"-7", "'-7' is not a delay of 0 to 3600 seconds"},
        {"3601", "'3601' is not a delay of 0 to 3600 seconds"},
        {"2419561", "'2419561' is not a delay of 0 to 3600 seconds"},
        {"-2147483648", "'-2147483648' is not a delay of 0 to 3600 seconds"},
    };
    for (const auto& [delay, message] : delays) {
        Unattended u({"-ip", "10.0.0.1", "-delay", delay});
        auto& world = u.p.world;
        ASSERT_EQ(world.dialogs.shown.size(), 1u) << delay;
        EXPECT_EQ(world.dialogs.shown[0].text, message);
        EXPECT_FALSE(u.p.window.visible()) << delay;
        EXPECT_EQ(world.system.exit, core::kExitBadArguments) << delay;
        EXPECT_TRUE(world.registry.valueNames(kKey).empty()) << delay << ": nothing was applied";
        EXPECT_TRUE(world.shell.starts.empty()) << delay;
    }
}

// The codes a deployment tool acts on, of the installation and the removal.
TEST(UnattendedRuns, EndWithTheCodeOfWhatHappened) {
    using W = fakes::HeadlessWorld;
    constexpr const char* kPolicy = "SOFTWARE\\Policies\\Nolvara";
    const auto installed = [](W& w) {
        w.registry.setInteger(kKey, "autostart", 1);
        w.files.addFile(kInstalled, "program");
    };
    const auto removes = [&](W& w) {  // stage 2 takes the copy once stage 1 starts
        installed(w);
        w.shell.onStart = [&w](const fakes::FakeShell::Start&) { w.files.deleteFile(kInstalled); };
    };
    const std::pair<std::vector<std::string>, std::function<void(W&)>> runs[] = {
        {{"-noguiinst", "-ip", "10.0.0.1"}, [](W& w) { w.shell.userRightsUnavailable = true; }},
        {{"-noguiinst"},
         [](W& w) {
             w.registry.setInteger(kPolicy, "use_dhcp", 1),
                 w.registry.setText(kPolicy, "adapter", "{A1}");
         }},
        {{"-noguiinst", "-ip", "10.0.0.1", "-delay", "x"},
         [](W& w) { w.system.serviceDesktop = true; }},
        {{"-noguiinst", "-ip", "10.0.0.1", "-path", "Z:\\Nolvara"}, {}},
        {{"-noguiinst", "-ip", "10.0.0.1"},
         [](W& w) { w.files.addFile(kInstalled, "held"), w.files.lock(kInstalled); }},
        {{"-noguiuninst"},
         [](W& w) { w.system.limitedRights = true, w.shell.elevatedExitCode = 5; }},
        {{"-noguiuninst"}, removes},
        {{"-noguiuninst"}, [&](W& w) { installed(w), w.system.args[0] = kInstalled; }},
        {{"-noguiuninst"}, [&](W& w) { installed(w), w.files.addFolder("C:\\nolvararemove.exe"); }},
        {{"-noguiuninst"}, installed},
        {{"-noguiuninst"}, [&](W& w) { removes(w), w.registry.deniedKeys = {"software"}; }},
    };
    const int codes[] = {0, 0, 2, 3, 4, 5, 0, 3, 3, 4, 5};
    for (size_t i = 0; i < std::size(runs); ++i) {
        ProgramRig p(runs[i].first);
        p.world.files.addFile(kSelf, "program");
        if (runs[i].second) runs[i].second(p.world);
        p.start();
        EXPECT_EQ(p.world.system.exit, codes[i]) << "run " << i;
        EXPECT_TRUE(p.world.system.terminateRequested() && p.world.dialogs.shown.empty()) << i;
        EXPECT_FALSE(i == 6 && p.world.registry.hasKey(kKey)) << "removed with its settings";
        EXPECT_TRUE(p.world.system.claimedInSession(core::kWindowClaimPrefix +
                                                    std::to_string(p.world.processes.self)))
            << i << ": the remover passes the run over";
    }
}

}  // namespace
