#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "text/Messages.h"

namespace {

class Service : public testing::Test {
protected:
    Service() { p.world.registry.setInteger(kService, "Start", 2); }
    std::optional<fakes::RegValue> start() { return p.world.registry.get(kService, "Start"); }
    fakes::FakeServiceManager& manager() { return p.world.services; }
    ProgramRig p;
};

TEST_F(Service, StatusLineAndMenuFollowTheStoredStartMode) {
    p.start();
    auto& w = p.window;
    const std::pair<int, const char*> modes[] = {
        {0, " Wireless Zero starts on bootup"},     {1, " Wireless Zero starts with system"},
        {2, " Wireless Zero starts automatically"}, {3, " Wireless Zero starts when it's needed"},
        {4, " Wireless Zero is disabled"},
    };
    ui::MenuItem* items[] = {&w.Menu_status0, &w.Menu_status1, &w.Menu_status2, &w.Menu_status3,
                             &w.Menu_status4};
    for (auto [mode, text] : modes) {
        p.world.registry.setInteger(kService, "Start", mode);
        w.UpdateStatus();
        EXPECT_EQ(w.Statusbar.panelText(0), text);
        EXPECT_EQ(w.state.startMode, mode);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(items[i]->enabled(), i != mode) << mode << " " << i;
        EXPECT_TRUE(items[mode]->checked()) << "even the hidden item of mode 3";
        EXPECT_TRUE(w.Menu_autocontrol.enabled());
    }

    p.world.registry.setInteger(kService, "Start", 7);
    w.UpdateStatus();
    EXPECT_EQ(w.Statusbar.panelText(0), "gibts net");
    for (ui::MenuItem* item : items) EXPECT_TRUE(item->enabled());

    for (const char* what : {"no value", "no key"}) {
        if (std::string(what) == "no value")
            p.world.registry.set(kService, "Start", {fakes::RegType::Sz, "2", 0});
        else
            p.world.registry.removeKey(kService);
        w.UpdateStatus();
        EXPECT_EQ(w.Statusbar.panelText(0), " Wireless Zero is not available") << what;
        for (ui::MenuItem* item : items) EXPECT_FALSE(item->enabled()) << what;
        EXPECT_FALSE(w.Menu_autocontrol.enabled()) << what;
    }
}

TEST_F(Service, WritingNeverCreatesTheValue) {
    p.world.registry.removeKey(kService);
    p.world.registry.create(kService);
    p.window.WriteStartMode(4);
    EXPECT_FALSE(start());
    EXPECT_EQ(p.window.ReadStartMode(), 5);
    p.world.registry.removeKey(kService);
    p.window.WriteStartMode(4);
    EXPECT_FALSE(p.world.registry.hasKey(kService));
}

TEST_F(Service, MenuChoicesStoreTheModeAndStopOrRestartTheService) {
    manager().state = platform::kServiceRunning;
    p.start();
    p.window.Menu_status4.click();
    EXPECT_EQ(start()->number, 4);
    EXPECT_EQ(manager().state, platform::kServiceStopped);
    EXPECT_TRUE(p.window.Menu_status4.checked());
    EXPECT_FALSE(p.window.Menu_status4.enabled());

    p.window.Menu_status2.click();
    EXPECT_EQ(start()->number, 2);
    EXPECT_EQ(manager().state, platform::kServiceRunning) << "not running counts as stopped";
    EXPECT_FALSE(p.window.Menu_status4.checked());
    EXPECT_EQ(manager().openedWith.back(), "TESTHOST") << "addressed by the computer name";

    p.window.ApplyStartMode(5);
    EXPECT_EQ(start()->number, 5);
    EXPECT_EQ(manager().state, platform::kServiceStopped);
    EXPECT_EQ(manager().openConnections, 0);
}

TEST_F(Service, AStartThatKeepsFailingIsReportedAndRetriedOnce) {
    p.world.registry.setInteger(kService, "Start", 2);
    p.start();  // caches mode 2
    manager().startFails = true;
    p.window.ApplyStartMode(3);
    EXPECT_EQ(p.window.L_Text.text(), "Unable to start service. It will be loaded on next bootup!");
    EXPECT_EQ(manager().starts, 2) << "the mode asked for, then the previous mode once";
    EXPECT_EQ(start()->number, 2) << "the previous mode is stored again";
}

// A pending service is waited for as long as its checkpoint rises, however
// slowly it comes; a checkpoint that goes back ends the wait at once, and one
// that rises for ever still ends it in time.
TEST_F(Service, PendingServicePollsFollowTheCheckpoint) {
    p.start();
    manager().pendingQueries = 100;  // about ten seconds, a tenth of a second between queries
    EXPECT_TRUE(p.window.StartWirelessService("TESTHOST", "WZCSVC"));
    EXPECT_TRUE(p.window.StopWirelessService("TESTHOST", "WZCSVC"));

    manager().checkpointDropsAt = 3;
    for (const bool starting : {true, false}) {
        manager().state = starting ? platform::kServiceStopped : platform::kServiceRunning;
        manager().queries = 0;
        EXPECT_FALSE(starting ? p.window.StartWirelessService("TESTHOST", "WZCSVC")
                              : p.window.StopWirelessService("TESTHOST", "WZCSVC"))
            << starting;
        EXPECT_EQ(manager().queries, 3) << starting << ": none after the checkpoint went back";
    }

    manager().checkpointDropsAt = 0;
    manager().state = platform::kServiceStopped;
    manager().startHangs = true;
    const auto before = p.world.clock.nowMs();
    EXPECT_FALSE(p.window.StartWirelessService("TESTHOST", "WZCSVC"));
    EXPECT_LT(p.world.clock.nowMs() - before, 120'000);
}

TEST_F(Service, TheServiceIsStartedOnlyAfterItsStopCompleted) {
    manager().state = platform::kServiceRunning;
    p.start();
    manager().pendingQueries = 50;
    p.window.ApplyStartMode(3);
    EXPECT_EQ(manager().stops, 1);
    EXPECT_EQ(manager().starts, 1) << "a start while the stop is pending is refused";
    EXPECT_EQ(manager().state, platform::kServiceRunning);

    // A stop that never completes: only the stored mode changes.
    manager().checkpointDropsAt = 3;
    const size_t opened = manager().openedWith.size();
    p.window.ApplyStartMode(2);
    EXPECT_EQ(start()->number, 2);
    EXPECT_EQ(manager().openedWith.size(), opened + 1) << "the stop only, no start";
}

TEST_F(Service, MissingServiceOrManagerGivesFalseBothWays) {
    p.start();
    manager().installed = false;
    EXPECT_FALSE(p.window.StartWirelessService("TESTHOST", "WZCSVC"));
    EXPECT_FALSE(p.window.StopWirelessService("TESTHOST", "WZCSVC"));
    manager().installed = true;
    EXPECT_FALSE(p.window.StopWirelessService("OTHER", "WZCSVC"));
    EXPECT_TRUE(p.window.StopWirelessService("TESTHOST", "WZCSVC"));
}

TEST_F(Service, EnablingAutomaticControlHandsOverToAHiddenCopy) {
    p.world.files.addFile("C:\\Tools\\P_nolvara.exe", "program");
    p.start();
    auto& w = p.window;
    w.Menu_autocontrol.click();
    EXPECT_TRUE(w.box_settings.visible()) << "no router yet: the settings first";
    EXPECT_EQ(w.E_routerip.text(), "Insert an IP");
    EXPECT_TRUE(p.world.shell.starts.empty());

    w.list_ip.add(" 192.168.0.1");
    p.world.dialogs.userWaitMs = 2000;
    w.Menu_autocontrol.click();
    ASSERT_EQ(p.world.dialogs.shown.size(), 1u);
    EXPECT_EQ(p.world.dialogs.shown[0].text, "Automatic control enabled! Nolvara will now close.");
    EXPECT_NE(p.world.files.file("C:\\Nolvara\\P_nolvara.exe"), nullptr);
    EXPECT_EQ(p.world.registry.get("SOFTWARE\\Nolvara", "autostart")->number, 1);
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, "C:\\Nolvara\\P_nolvara.exe");
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-hide");
    EXPECT_TRUE(p.world.shell.starts[0].asUser) << "with the rights it has at log-on";
    p.world.runFor(100);
    EXPECT_TRUE(w.closed());
}

TEST_F(Service, AHiddenRunThatCannotHaveTheUsersOwnRightsIsLeftToTheNextLogOn) {
    p.world.files.addFile("C:\\Tools\\P_nolvara.exe", "program");
    p.world.shell.userRightsUnavailable = true;
    p.start();
    p.window.list_ip.add(" 192.168.0.1");
    p.window.Menu_autocontrol.click();
    p.world.runFor(100);
    EXPECT_TRUE(p.world.shell.starts.empty()) << "never with the window's rights";
    EXPECT_FALSE(p.window.closed()) << "the window stays to say so";
    EXPECT_EQ(p.window.L_Text.text(), text::LookupText("english", "startsatlogon"));
}

// A router list needs a readable start mode; DHCP mode needs neither list
// nor start mode.
TEST(AutomaticControl, ARouterListNeedsAReadableModeDhcpModeNeedsNoList) {
    const struct {
        bool list;
        bool dhcp;
        bool handsOver;
    } cases[] = {{true, false, false}, {false, true, true}, {true, true, true}};
    for (const auto& c : cases) {
        ProgramRig p;  // no service: start mode 5
        p.world.files.addFile(kSelf, "program");
        p.start();
        auto& w = p.window;
        ASSERT_EQ(w.state.startMode, 5);
        if (c.list) w.list_ip.add(" 192.168.0.1");
        w.chk_dhcp.setChecked(c.dhcp);
        w.E_routerip.setText("");
        // The menu item itself is disabled in mode 5.
        w.Menu_autocontrolClick();
        const std::string label = std::to_string(c.list) + std::to_string(c.dhcp);
        EXPECT_EQ(p.world.shell.starts.size(), c.handsOver ? 1u : 0u) << label;
        EXPECT_EQ(p.world.files.fileExists(kInstalled), c.handsOver) << label;
        EXPECT_EQ(w.box_settings.visible(), !c.handsOver) << label;
        EXPECT_EQ(w.E_routerip.text(), c.handsOver ? "" : "Insert an IP") << label;
    }
}

TEST_F(Service, SessionEndInAnInteractiveRunLeavesTheModeAlone) {
    p.world.registry.setInteger(kService, "Start", 4);
    p.start();
    EXPECT_TRUE(p.window.queryEndSession());
    EXPECT_EQ(start()->number, 4);
}

}  // namespace
