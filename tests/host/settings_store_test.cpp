#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "settings/Settings.h"

namespace {

using fakes::RegType;
using fakes::RegValue;

TEST(SettingsStore, EmptyStoreGivesTheDefaultsAndLeavesAnEmptyKey) {
    ProgramRig p;
    p.world.registry.setText(kRun, "Nolvara", "C:\\Old\\P_nolvara.exe -hide");
    p.start();
    auto& w = p.window;
    EXPECT_EQ(w.state.language, "english");
    EXPECT_FALSE(w.state.autostart);
    EXPECT_FALSE(w.Chk_autostart.checked());
    EXPECT_TRUE(w.chk_restartservice.checked());
    EXPECT_EQ(w.state.installPath, "C:\\Nolvara\\");
    EXPECT_EQ(w.E_shutdowndelay.text(), "30");
    EXPECT_FALSE(w.state.checkForUpdate);
    EXPECT_EQ(w.state.installedVersion, 1);
    EXPECT_EQ(w.list_ip.count(), 0);
    EXPECT_EQ(w.E_routerip.text(), "Insert an IP");
    EXPECT_FALSE(p.world.registry.get(kRun, "Nolvara")) << "autostart off removes the Run entry";
    EXPECT_TRUE(p.world.registry.hasKey("SOFTWARE\\Nolvara\\IPList"));
    EXPECT_TRUE(p.world.registry.valueNames(kKey).empty()) << "a first start saves nothing";
    EXPECT_EQ(p.world.registry.opened, p.world.registry.released);
}

TEST(SettingsStore, StoredValuesReachStateAndPanel) {
    ProgramRig p;
    auto& r = p.world.registry;
    r.setText(kKey, "language", "german");
    r.setInteger(kKey, "restartservice", 0);
    r.setInteger(kKey, "use_dhcp", 1);
    r.setText(kKey, "adapter", "{A1}");
    r.setText(kKey, "installpath", "D:\\Tools\\");
    r.setInteger(kKey, "shutdowndelay", 0);
    r.setInteger(kKey, "version", 6);
    r.setInteger(kKey, "checkforupdate", 1);
    r.setText("SOFTWARE\\Nolvara\\IPList", "ip1", "192.168.000.001");
    p.start();
    auto& w = p.window;
    EXPECT_EQ(w.state.language, "german");
    EXPECT_TRUE(w.radio_lang_german.checked());
    EXPECT_EQ(w.Menu_file.caption(), "&Datei");
    EXPECT_FALSE(w.chk_restartservice.checked());
    EXPECT_TRUE(w.chk_dhcp.checked());
    EXPECT_FALSE(w.B_manageip.enabled()) << "the check box's handler ran";
    EXPECT_EQ(w.state.adapterName, "{A1}");
    EXPECT_EQ(w.speed_installpath.text(), "D:\\Tools\\");
    EXPECT_EQ(w.E_shutdowndelay.text(), "0");
    EXPECT_EQ(w.T_shutdowndelay.intervalMs(), 1000) << "a delay of 0 runs as 1 s";
    EXPECT_TRUE(w.Chk_update.checked());
    EXPECT_EQ(w.list_ip.items(), (std::vector<std::string>{" 192.168.0.1"}));
    EXPECT_EQ(w.E_routerip.text(), "");
}

TEST(SettingsStore, OnlyOneCountsAsOnAndUnknownLanguagesBecomeEnglish) {
    ProgramRig p;
    auto& r = p.world.registry;
    r.setInteger(kKey, "autostart", 2);
    r.setInteger(kKey, "checkforupdate", -1);
    r.setInteger(kKey, "restartservice", 2);
    r.setText(kKey, "language", "German");
    p.start();
    EXPECT_FALSE(p.window.state.autostart);
    EXPECT_FALSE(p.window.state.checkForUpdate);
    EXPECT_FALSE(p.window.chk_restartservice.checked());
    EXPECT_EQ(p.window.state.language, "english");
    EXPECT_EQ(r.get(kKey, "language")->text, "German") << "the stored value stays until a save";
}

TEST(SettingsStore, WrongTypeStopsTheLoadWhereItStands) {
    ProgramRig p;
    auto& r = p.world.registry;
    r.setInteger(kKey, "autostart", 1);
    r.setText(kKey, "language", "german");
    r.setText(kKey, "shutdowndelay", "45");  // a text where a number belongs
    r.setInteger(kKey, "version", 6);
    r.setInteger(kKey, "checkforupdate", 1);
    r.setText("SOFTWARE\\Nolvara\\IPList", "ip1", "10.0.0.1");
    p.start();
    auto& w = p.window;
    EXPECT_EQ(w.state.language, "german") << "steps before the failure stay done";
    EXPECT_EQ(w.state.installPath, "C:\\Nolvara\\");
    EXPECT_EQ(w.E_shutdowndelay.text(), "") << "the rest keeps its previous state";
    EXPECT_FALSE(w.state.autostart);
    EXPECT_EQ(w.state.installedVersion, 1);
    EXPECT_FALSE(w.Chk_update.checked());
    EXPECT_EQ(w.list_ip.count(), 0);
    EXPECT_EQ(r.opened, r.released);
}

TEST(SettingsStore, ADelayBeyondAnHourOrBelowZeroStopsTheLoadAsAWrongTypeDoes) {
    for (const std::int32_t stored : {-1, 3601, 2419561, INT32_MIN, INT32_MAX}) {
        ProgramRig p({"-hide"});
        auto& r = p.world.registry;
        r.setInteger(kKey, "autostart", 1);
        r.setInteger(kKey, "shutdowndelay", stored);
        r.setInteger(kKey, "version", 6);
        p.start();
        auto& w = p.window;
        EXPECT_EQ(w.state.shutdownDelay, 30) << stored;
        EXPECT_EQ(w.T_shutdowndelay.intervalMs(), 30000) << stored;
        EXPECT_FALSE(w.state.autostart) << stored << ": the load stopped at the delay";
    }
    ProgramRig p({"-hide"});
    p.world.registry.setInteger(kKey, "shutdowndelay", 3600);
    p.start();
    EXPECT_EQ(p.window.T_shutdowndelay.intervalMs(), 3600000);
}

TEST(SettingsStore, UnreadableKeyReadsAsEmptyAndWritesFailQuietly) {
    ProgramRig p;
    p.world.registry.deniedKeys = {"software\\nolvara"};
    p.start();
    EXPECT_EQ(p.window.state.language, "english");
    p.window.Chk_update.setChecked(true);
    p.window.SaveSettings(true, true, "german");
    EXPECT_FALSE(p.world.registry.hasKey(kKey));
}

TEST(SettingsStore, SaveWritesEveryValueAndKeepsTheAdapterOutsideDhcpMode) {
    ProgramRig p;
    p.world.registry.setText(kKey, "adapter", "{OLD}");
    p.start();
    auto& w = p.window;
    w.E_shutdowndelay.setText("0");
    w.state.checkForUpdate = true;
    w.SaveSettings(true, false, "german");
    auto& r = p.world.registry;
    EXPECT_EQ(r.get(kKey, "language"), (RegValue{RegType::Sz, "german", 0}));
    EXPECT_EQ(r.get(kKey, "autostart")->number, 1);
    EXPECT_EQ(r.get(kKey, "restartservice")->number, 0);
    EXPECT_EQ(r.get(kKey, "use_dhcp")->number, 0);
    EXPECT_EQ(r.get(kKey, "adapter")->text, "{OLD}");
    EXPECT_EQ(r.get(kKey, "installpath")->text, "C:\\Nolvara\\");
    EXPECT_EQ(r.get(kKey, "shutdowndelay"), (RegValue{RegType::Dword, "", 0}));
    EXPECT_EQ(r.get(kKey, "checkforupdate")->number, 1);
    EXPECT_EQ(r.get(kKey, "version")->number, 6);

    w.chk_dhcp.setChecked(true);
    w.state.adapterName = "{A2}";
    w.SaveSettings(true, false, "german");
    EXPECT_EQ(r.get(kKey, "adapter")->text, "{A2}") << "no panel choice: the stored adapter";
    EXPECT_EQ(r.get(kKey, "use_dhcp")->number, 1);
}

TEST(SettingsStore, FailingWriteEndsTheSaveButTheKeyCheckStillRuns) {
    ProgramRig p;
    p.start();
    auto& r = p.world.registry;
    p.window.Chk_update.setChecked(true);  // not all defaults: the key stays
    r.writesBeforeFailure = r.writes + 2;
    p.window.SaveSettings(true, true, "german");
    EXPECT_TRUE(r.get(kKey, "language"));
    EXPECT_TRUE(r.get(kKey, "autostart"));
    EXPECT_FALSE(r.get(kKey, "restartservice"));
    EXPECT_FALSE(r.get(kKey, "version"));
    EXPECT_EQ(r.opened, r.released);

    // A delay that is no number, or out of range, fails the same way at its
    // own step, which comes last: the version is recorded all the same.
    for (const char* delay : {"99999999999", "3601"}) {
        r.writesBeforeFailure.reset();
        r.find(kKey)->values.erase("version");
        p.window.E_shutdowndelay.setText(delay);
        p.window.SaveSettings(true, true, "german");
        EXPECT_TRUE(r.get(kKey, "installpath")) << delay;
        EXPECT_TRUE(r.get(kKey, "version")) << delay;
        EXPECT_FALSE(r.get(kKey, "shutdowndelay")) << delay;
    }
}

TEST(SettingsStore, DefaultsLeaveNoKeyButAnyDifferenceKeepsIt) {
    using Change = std::function<void(shell::TF_nolvara&)>;
    const std::pair<const char*, Change> differences[] = {
        {"autostart", [](auto& w) { w.Chk_autostart.setChecked(true); }},
        {"reconnect off", [](auto& w) { w.chk_restartservice.setChecked(false); }},
        {"update", [](auto& w) { w.Chk_update.setChecked(true); }},
        {"folder case", [](auto& w) { w.state.installPath = "c:\\nolvara\\"; }},
        {"german", [](auto& w) { w.state.language = "german"; }},
        {"dhcp", [](auto& w) { w.chk_dhcp.setChecked(true); }},
        {"router", [](auto& w) { w.list_ip.add(" 10.0.0.1"); }},
        {"delay", [](auto& w) { w.E_shutdowndelay.setText("031"); }},
        {"delay's digits", [](auto& w) { w.E_shutdowndelay.setText("030"); }},
        {"typed address", [](auto& w) { w.E_routerip.setText("10.0.0.1"); }},
    };
    for (const auto& [name, change] : differences) {
        ProgramRig p;
        p.start();
        change(p.window);
        p.window.SaveSettings(false, true, "english");
        EXPECT_TRUE(p.world.registry.hasKey(kKey)) << name;
    }
    ProgramRig p;
    p.start();
    p.window.SaveSettings(false, true, "english");
    EXPECT_FALSE(p.world.registry.hasKey(kKey));
    EXPECT_TRUE(p.world.registry.hasKey("SOFTWARE"));
}

TEST(SettingsStore, PerTickLoadHoldsNoKeyOpen) {
    ProgramRig p;
    p.world.registry.setText("SOFTWARE\\Nolvara\\IPList", "ip1", "10.0.0.1");
    p.start();
    for (int i = 0; i < 100; ++i) p.window.LoadSettings();
    EXPECT_EQ(p.world.registry.opened, p.world.registry.released);
    EXPECT_GT(p.world.registry.opened, 100);
}

TEST(SettingsStore, LoadTellsMissingFromWrongTypeAndHoldsEachValueInItsBounds) {
    using settings::Value;
    const RegValue text{RegType::Sz, "1", 0};
    const auto number = [](std::int32_t n) { return RegValue{RegType::Dword, "", n}; };
    settings::Settings previous;
    previous.language = "german";
    previous.useDhcp = true;
    previous.adapter = "{PREV}";
    previous.shutdownDelay = 99;
    // Each row: the values stored, where the read ends, and the settings read.
    const struct {
        const char* what;
        std::vector<std::pair<const char*, RegValue>> stored;
        Value stoppedAt;
        std::function<void(settings::Settings&)> expected;
    } table[] = {
        {"missing: defaults, the panel's three kept",
         {},
         Value::None,
         [](auto& s) { s.shutdownDelay = 30; }},
        {"wrong type ends the read there",
         {{"restartservice", text}, {"installpath", {RegType::Sz, "D:\\", 0}}},
         Value::RestartService,
         [](auto&) {}},
        {"a delay out of bounds does too",
         {{"shutdowndelay", number(3601)}},
         Value::ShutdownDelay,
         [](auto&) {}},
        {"the threshold and the icon end nothing",
         {{"weaksignal", number(101)}, {"trayicon", text}, {"shutdowndelay", number(3600)}},
         Value::None,
         [](auto& s) { s.shutdownDelay = 3600; }},
        {"and a threshold in bounds is read",
         {{"weaksignal", number(0)}, {"trayicon", number(0)}},
         Value::None,
         [](auto& s) {
             s.weakSignal = 0;
             s.trayIcon = false;
             s.shutdownDelay = 30;
         }},
        {"the power rule and the programs end nothing; a bad name is skipped, a wrong type ends "
         "the list",
         {{"onbattery", number(0)},
          {"Apps\\app1", {RegType::Sz, "game.exe", 0}},
          {"Apps\\app2", {RegType::Sz, "C:\\x.exe", 0}},
          {"Apps\\app3", {RegType::Sz, "Stream.exe", 0}},
          {"Apps\\app4", number(1)},
          {"Apps\\app5", {RegType::Sz, "b.exe", 0}}},
         Value::None,
         [](auto& s) {
             s.onBattery = false;
             s.apps = {"game.exe", "Stream.exe"};
             s.shutdownDelay = 30;
         }},
        {"stored values replace the kept ones",
         {{"language", {RegType::Sz, "French", 0}}, {"use_dhcp", number(2)}, {"adapter", text}},
         Value::None,
         [](auto& s) {
             s.language = "english";
             s.useDhcp = false;
             s.adapter = "1";
             s.shutdownDelay = 30;
         }},
    };
    for (const auto& row : table) {
        fakes::FakeRegistry registry;
        for (const auto& [name, value] : row.stored) {
            const std::string path = std::string(kKey) + "\\" + name;
            registry.set(path.substr(0, path.rfind('\\')), path.substr(path.rfind('\\') + 1),
                         value);
        }
        settings::Settings expected = previous;
        if (row.stoppedAt > Value::InstallPath) expected.installPath = "C:\\Nolvara\\";
        row.expected(expected);
        const settings::Loaded loaded = settings::Load(registry, previous, "C:\\Nolvara\\");
        EXPECT_EQ(loaded.stoppedAt, row.stoppedAt) << row.what;
        EXPECT_TRUE(loaded.settings == expected) << row.what;
        EXPECT_EQ(registry.opened, registry.released) << row.what;
    }
}

}  // namespace
