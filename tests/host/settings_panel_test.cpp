#include <gtest/gtest.h>

#include "ProgramRig.h"

namespace {

class SettingsPanel : public testing::Test {
protected:
    SettingsPanel() { p.world.files.addFile(kSelf, "program"); }
    fakes::FakeRegistry& reg() { return p.world.registry; }
    ProgramRig p;
};

TEST_F(SettingsPanel, ApplyWithoutRouterTargetWarnsAndKeepsStartWithWindows) {
    reg().setInteger(kKey, "autostart", 1);
    reg().setInteger(kKey, "version", 6);
    p.start();
    auto& w = p.window;
    w.Menu_settings.click();
    w.Chk_autostart.setChecked(false);
    w.radio_lang_german.click();
    w.b_apply.click();

    ASSERT_EQ(p.world.dialogs.shown.size(), 1u);
    EXPECT_EQ(p.world.dialogs.shown[0].text,
              "                   Es wurde keine g\xFCltige IP eingetragen!\r\n"
              "\xD6"
              "ffnen Sie das IP-Adress Management um dies nachzuholen.")
        << "the language chosen on the panel already speaks";
    EXPECT_EQ(p.world.dialogs.shown[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(reg().get(kKey, "autostart")->number, 1) << "the unchecked box is not stored";
    EXPECT_EQ(reg().get(kRun, "Nolvara")->text, "C:\\Nolvara\\P_nolvara.exe -hide");
    EXPECT_EQ(reg().get(kKey, "language")->text, "german");
    EXPECT_EQ(w.Menu_file.caption(), "&Datei");
    EXPECT_TRUE(w.box_settings.visible()) << "the panel stays";
}

TEST_F(SettingsPanel, ApplyInstallsTheCopyAndWritesTheRunEntry) {
    p.start();
    auto& w = p.window;
    w.Chk_autostart.click();
    EXPECT_TRUE(w.speed_installpath.enabled());
    w.E_routerip.type("192.168.0.1");
    w.B_addip.click();
    w.B_saveip.click();
    w.E_shutdowndelay.type("3a0");
    w.b_apply.click();

    EXPECT_EQ(w.E_shutdowndelay.text(), "30");
    EXPECT_EQ(w.L_Text.text(), "New settings have been applied!");
    EXPECT_EQ(reg().get(kKey, "shutdowndelay")->number, 30);
    EXPECT_EQ(reg().get(kKey, "autostart")->number, 1);
    EXPECT_EQ(reg().get("SOFTWARE\\Nolvara\\IPList", "ip1")->text, "192.168.0.1");
    EXPECT_EQ(reg().get(kRun, "Nolvara")->text, "C:\\Nolvara\\P_nolvara.exe -hide");
    ASSERT_NE(p.world.files.file("C:\\Nolvara\\P_nolvara.exe"), nullptr);
    EXPECT_EQ(p.world.files.file("C:\\Nolvara\\P_nolvara.exe")->bytes, "program");

    w.Chk_autostart.click();
    w.E_shutdowndelay.type("abc");
    w.b_apply.click();
    EXPECT_TRUE(p.world.dialogs.shown.empty());
    EXPECT_EQ(w.E_shutdowndelay.text(), "0");
    EXPECT_EQ(reg().get(kKey, "shutdowndelay")->number, 0);
    EXPECT_FALSE(reg().get(kRun, "Nolvara"));
    EXPECT_NE(p.world.files.file("C:\\Nolvara\\P_nolvara.exe"), nullptr) << "the copy stays";
}

TEST_F(SettingsPanel, WindowsOwnStartUpSwitchIsShownAndNeverWritten) {
    const std::string approved =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
    // Each row: the value's first byte in the machine's and the user's hive
    // ('-': none, 'd': a DWORD), and whether the start is off.
    const struct {
        char machine, user;
        bool off;
    } table[] = {{'-', '-', false}, {2, '-', false}, {6, 6, false},    {3, '-', true},
                 {'-', 7, true},    {2, 3, true},    {'d', '-', false}};
    for (const auto& row : table) {
        ProgramRig q;
        auto& r = q.world.registry;
        r.setInteger(kKey, "autostart", 1);
        r.setText(kIpList, "ip1", "192.168.0.1");
        if (row.machine == 'd') r.setInteger(approved, "Nolvara", 3);
        if (row.machine < 8)
            r.set(approved, "Nolvara", {fakes::RegType::Binary, {row.machine, 0, 0}, 0});
        if (row.user < 8)
            r.set("HKCU\\" + approved, "Nolvara", {fakes::RegType::Binary, {row.user}, 0});
        const auto machineBefore = r.get(approved, "Nolvara");
        q.start();
        q.window.b_apply.click();
        EXPECT_EQ(q.window.Chk_autostart.checked(), !row.off) << +row.machine << +row.user;
        EXPECT_EQ(q.window.Chk_autostart.text(),
                  row.off ? "Autostart (switched off in Windows)" : "Autostart");
        EXPECT_EQ(
            q.window.Statusbar.panelText(0) == " Start at log-on off in Windows: Apps > Startup",
            row.off);
        EXPECT_EQ(r.get(kKey, "autostart")->number, 1) << "the choice stored stays";
        EXPECT_EQ(r.get(approved, "Nolvara"), machineBefore) << "Windows' switch is the user's";
    }
}

TEST_F(SettingsPanel, ApplyInDhcpModeWithAnAdapterNeedsNoRouterList) {
    p.start();
    p.window.chk_dhcp.click();
    p.window.state.adapterName = "{A1}";
    p.window.b_apply.click();
    EXPECT_TRUE(p.world.dialogs.shown.empty());
    EXPECT_EQ(reg().get(kKey, "adapter")->text, "{A1}");
}

TEST_F(SettingsPanel, RunEntryQuotesAFolderWithBlanks) {
    p.start();
    auto& w = p.window;
    w.Chk_autostart.click();
    p.world.dialogs.chosenFolder = "C:\\Program Files\\Nolvara";
    w.speed_installpath.click();
    EXPECT_EQ(w.speed_installpath.text(), "C:\\Program Files\\Nolvara\\");
    EXPECT_EQ(p.world.dialogs.browsed.back().instruction,
              "Choose destination folder for installation");
    w.list_ip.add(" 10.0.0.1");
    w.B_saveip.click();
    p.world.files.addFolder("C:\\Program Files\\");
    w.b_apply.click();
    EXPECT_EQ(reg().get(kRun, "Nolvara")->text,
              "\"C:\\Program Files\\Nolvara\\P_nolvara.exe\" -hide");
    EXPECT_NE(p.world.files.file("C:\\Program Files\\Nolvara\\P_nolvara.exe"), nullptr);
}

TEST_F(SettingsPanel, FolderDialogCancelOrNoPathKeepsAUsableFolder) {
    p.start();
    auto& w = p.window;
    w.Chk_autostart.click();
    p.world.dialogs.chosenFolder.reset();  // cancelled: the dialog hands back the initial folder
    w.speed_installpath.click();
    EXPECT_EQ(w.speed_installpath.text(), "C:\\Nolvara\\");
    EXPECT_EQ(p.world.dialogs.browsed.back().initial, "C:\\Nolvara\\");
    p.world.dialogs.chosenFolder = "";  // something without a file-system path
    w.speed_installpath.click();
    EXPECT_EQ(w.speed_installpath.text(), "C:\\Nolvara\\");
}

TEST_F(SettingsPanel, MovingTheInstallFolderPlacesTheNewCopyBeforeEndingTheHiddenOne) {
    reg().setInteger(kKey, "autostart", 1);
    reg().setInteger(kKey, "version", 6);
    reg().setText("SOFTWARE\\Nolvara\\IPList", "ip1", "10.0.0.1");
    p.world.files.addFile("C:\\Nolvara\\P_nolvara.exe", "old");
    p.world.files.addFolder("D:\\");
    p.world.processes.running = {{1, "P_nolvara.exe"}, {7, "explorer.exe"}, {9, "P_NOLVARA.EXE"}};
    bool successorInPlace = false;
    p.world.processes.onTerminate = [&](std::uint32_t) {
        successorInPlace = p.world.files.fileExists("D:\\Nol\\Sub\\P_nolvara.exe");
    };
    p.start();
    auto& w = p.window;
    p.world.dialogs.chosenFolder = "D:\\Nol\\Sub";  // neither level exists yet
    w.speed_installpath.click();
    w.b_apply.click();

    EXPECT_EQ(p.world.processes.terminated, (std::vector<std::uint32_t>{9})) << "never itself";
    EXPECT_TRUE(successorInPlace) << "the old run ends only once its successor is there";
    EXPECT_TRUE(p.world.files.folderIsProtected("D:\\Nol\\Sub\\"));
    EXPECT_EQ(p.world.files.file("C:\\Nolvara\\P_nolvara.exe"), nullptr);
    EXPECT_FALSE(p.world.files.folderExists("C:\\Nolvara\\"));
    EXPECT_EQ(w.state.installPath, "D:\\Nol\\Sub\\");
    EXPECT_EQ(reg().get(kRun, "Nolvara")->text, "D:\\Nol\\Sub\\P_nolvara.exe -hide");
    EXPECT_EQ(reg().get(kKey, "installpath")->text, "D:\\Nol\\Sub\\");
    ASSERT_FALSE(p.world.shell.starts.empty());
    EXPECT_EQ(p.world.shell.starts[0].file, "D:\\Nol\\Sub\\P_nolvara.exe");
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-hide");
}

TEST_F(SettingsPanel, AFolderThatCannotBeMadeLeavesTheInstallationAndItsRunAlone) {
    reg().setInteger(kKey, "autostart", 1);
    reg().setInteger(kKey, "version", 6);
    reg().setText("SOFTWARE\\Nolvara\\IPList", "ip1", "10.0.0.1");
    p.world.files.addFile("C:\\Nolvara\\P_nolvara.exe", "old");
    p.world.files.lock("C:\\Nolvara\\P_nolvara.exe");  // the hidden run has it
    p.world.processes.running = {{1, "P_nolvara.exe"}, {9, "P_nolvara.exe"}};
    p.start();
    p.world.dialogs.chosenFolder = "Q:\\Nol";  // no such drive
    p.window.speed_installpath.click();
    p.window.b_apply.click();

    EXPECT_TRUE(p.world.processes.terminated.empty());
    EXPECT_TRUE(p.world.files.fileExists("C:\\Nolvara\\P_nolvara.exe"));
    EXPECT_EQ(p.window.state.installPath, "C:\\Nolvara\\");
    EXPECT_EQ(reg().get(kRun, "Nolvara")->text, "C:\\Nolvara\\P_nolvara.exe -hide");
    EXPECT_TRUE(p.world.shell.starts.empty());
}

TEST(FileOps, CreateInstallFolderBuildsEveryMissingLevelOfAValidPath) {
    ProgramRig p;
    p.world.files.addFolder("C:\\a\\");  // the user's own folder keeps its access list
    p.window.CreateInstallFolder("C:/a//b\\c");
    EXPECT_TRUE(p.world.files.folderExists("C:\\a\\"));
    EXPECT_TRUE(p.world.files.folderExists("C:\\a\\b\\c\\"));
    EXPECT_FALSE(p.world.files.folderIsProtected("C:\\a\\"));
    EXPECT_TRUE(p.world.files.folderIsProtected("C:\\a\\b\\"));
    EXPECT_TRUE(p.world.files.folderIsProtected("C:\\a\\b\\c\\"));
    p.window.CreateInstallFolder("a\\b");
    EXPECT_FALSE(p.world.files.folderExists("a\\"));
    p.window.RemoveFolder("C:\\a\\b\\c");
    EXPECT_FALSE(p.world.files.folderExists("C:\\a\\b\\c\\"));
    p.window.RemoveFolder("C:\\a");
    EXPECT_TRUE(p.world.files.folderExists("C:\\a\\")) << "only an empty folder goes";
}

TEST(FileOps, DeleteFileForcedClearsReadOnlyAndTerminateSkipsWhatItCannotEnd) {
    ProgramRig p;
    p.world.files.addFile("C:\\Nolvara\\P_nolvara.exe", "x", true);
    p.window.DeleteFileForced("C:\\Nolvara\\P_nolvara.exe");
    EXPECT_EQ(p.world.files.file("C:\\Nolvara\\P_nolvara.exe"), nullptr);

    p.world.processes.running = {{5, "p_nolvara.exe"}, {6, "p_nolvara.exe"}};
    p.world.processes.protectedIds = {5};
    EXPECT_TRUE(p.window.TerminateByName("P_NOLVARA.exe"));
    EXPECT_EQ(p.world.processes.terminated, (std::vector<std::uint32_t>{6}));
    EXPECT_EQ(p.world.notify.removedOf, (std::vector<std::uint32_t>{6}))
        << "an ended run's notification icon would stay behind; one still running keeps its own";
    EXPECT_FALSE(p.window.TerminateByName("P_NOLVARA.exe"));
}

}  // namespace

namespace {

TEST(InstalledCopy, StartUpRenewsAnIdleCopyAndLeavesARunningOneAlone) {
    for (bool running : {false, true}) {
        ProgramRig p;
        p.world.files.addFile("C:\\Tools\\P_nolvara.exe", "new");
        p.world.files.addFile(kInstalled, "old", true);
        if (running) p.world.files.lock(kInstalled);
        p.world.registry.setInteger("SOFTWARE\\Nolvara", "autostart", 1);
        p.start();
        EXPECT_EQ(p.world.files.file(kInstalled)->bytes, running ? "old" : "new") << running;
        EXPECT_EQ(p.world.files.file(kInstalled)->isProtected, !running) << running;
        EXPECT_EQ(p.world.registry.get(kRun, "Nolvara")->text, "C:\\Nolvara\\P_nolvara.exe -hide");
    }
    ProgramRig p;
    p.world.files.addFile("C:\\Tools\\P_nolvara.exe", "new");
    p.start();
    EXPECT_EQ(p.world.files.file(kInstalled), nullptr)
        << "without start with Windows nothing is placed";
}

TEST_F(SettingsPanel, TheWeakSignalIsSetOnTheOptionsPanelWhereTheNativeWifiWayRuns) {
    reg().setInteger(kKey, "weaksignal", 140);  // out of range: the default
    p.world.wifi.addConnectedInterface();
    p.start();
    auto& w = p.window;
    w.Menu_options.click();
    EXPECT_TRUE(w.box_options.visible());
    EXPECT_FALSE(w.box_settings.visible());
    EXPECT_EQ(w.E_weaksignal.text(), "50");
    EXPECT_TRUE(w.B_optionssave.enabled());
    for (const char* wrong : {"101", "-1", "x", ""}) {
        w.E_weaksignal.type(wrong);
        w.B_optionssave.click();
        EXPECT_EQ(w.L_optionsnote.text(), "Please enter a number from 0 to 100.") << wrong;
        EXPECT_EQ(reg().get(kKey, "weaksignal")->number, 140) << wrong;
    }
    w.E_weaksignal.type("30");
    w.B_optionssave.click();
    EXPECT_EQ(w.L_optionsnote.text(), "Saved.");
    EXPECT_EQ(reg().get(kKey, "weaksignal")->type, fakes::RegType::Dword);
    EXPECT_EQ(reg().get(kKey, "weaksignal")->number, 30);
    // Otherwise default settings keep their key while it holds this one.
    w.b_apply.click();
    EXPECT_EQ(reg().get(kKey, "weaksignal")->number, 30);

    // Where the service is switched, the setting means nothing.
    ProgramRig xp;
    xp.world.registry.setInteger(kService, "Start", 2);
    xp.world.registry.setText(kKey, "language", "german");
    xp.start();
    xp.window.Menu_options.click();
    EXPECT_FALSE(xp.window.E_weaksignal.enabled());
    EXPECT_EQ(xp.window.L_optionsnote.text(),
              "Die Signalschwelle betrifft nur Windows Vista und neuer.");
    // The notification icon is every Windows' setting.
    EXPECT_TRUE(xp.window.Chk_trayicon.checked());
    xp.window.Chk_trayicon.click();
    xp.window.B_optionssave.click();
    EXPECT_EQ(xp.world.registry.get(kKey, "trayicon")->number, 0);
    EXPECT_FALSE(xp.world.registry.get(kKey, "weaksignal").has_value());
}

TEST_F(SettingsPanel, ChosenProgramsAndThePowerRuleAreEditedOnTheOptionsPanel) {
    const std::string apps = "SOFTWARE\\Nolvara\\Apps";
    reg().setText(apps, "app1", "old.exe");
    p.start();
    auto& w = p.window;
    w.Menu_options.click();
    // A path counts by its file name, one listed already is not added again,
    // a pattern is no name.
    for (const char* typed : {"C:\\Games\\Game.exe", "GAME.EXE", "*.exe", "  stream.exe "}) {
        w.E_app.type(typed);
        w.B_appadd.click();
    }
    EXPECT_EQ(w.L_optionsnote.text(), "Please enter a program's file name, such as game.exe.");
    w.list_apps.setItemIndex(0);
    w.B_appdelete.click();
    w.Chk_onbattery.click();
    w.B_optionssave.click();
    EXPECT_EQ(reg().get(kKey, "onbattery")->number, 0);
    EXPECT_EQ(reg().get(apps, "app1")->text, "Game.exe");
    EXPECT_EQ(reg().get(apps, "app2")->text, "stream.exe");
    EXPECT_FALSE(reg().get(apps, "app3").has_value());
}

}  // namespace
