// Windows without the wireless service: the probe loop's decisions become the
// Native Wifi settings of the connected interfaces. And the runs that need
// administrator rights on Windows that separates them from the user's.
#include <gtest/gtest.h>

#include <memory>

#include "ProgramRig.h"
#include "text/Messages.h"

namespace {

using platform::WifiSetting;

constexpr const char* kRouter = "192.168.0.1";

void storeRouter(fakes::HeadlessWorld& world) {
    world.registry.setText(kIpList, "ip1", kRouter);
    world.registry.setInteger(kKey, "shutdowndelay", 3);
    world.registry.setInteger(kKey, "version", 6);
}

TEST(ControlWay, TheServiceWhereItExistsTheNativeWifiInterfaceWhereNot) {
    {
        ProgramRig p;
        p.world.registry.setInteger(kService, "Start", 2);
        p.world.wifi.addConnectedInterface();
        p.start();
        EXPECT_EQ(p.window.controlWay, shell::TF_nolvara::ControlWay::Service);
        EXPECT_EQ(p.window.Statusbar.panelText(0), " Wireless Zero starts automatically");
        EXPECT_TRUE(p.window.Menu_status4.enabled());
        EXPECT_EQ(p.world.wifi.opens, 0) << "the interface is not touched where the service exists";
    }
    {
        ProgramRig p;
        p.world.wifi.addConnectedInterface();
        p.start();
        EXPECT_EQ(p.window.controlWay, shell::TF_nolvara::ControlWay::NativeWifi);
        EXPECT_EQ(p.window.Statusbar.panelText(0), " Background scan: on");
        EXPECT_FALSE(p.window.Menu_status2.enabled());
        EXPECT_FALSE(p.window.Menu_status4.enabled());
        EXPECT_TRUE(p.window.Menu_autocontrol.enabled());
        EXPECT_EQ(p.window.L_Text.text(), text::LookupText("english", "wifimode"));
        EXPECT_FALSE(p.world.registry.hasKey(kService)) << "nothing made up for the service";
    }
    {
        // The interface, but no wireless adapter: it says so.
        ProgramRig p;
        p.world.registry.setText(kKey, "language", "german");
        p.world.wifi.present = true;
        p.start();
        EXPECT_EQ(p.window.Statusbar.panelText(0), text::LookupText("german", "nowireless"));
        EXPECT_EQ(p.window.L_Text.text(), text::LookupText("german", "nowirelessinfo"));
        EXPECT_FALSE(p.window.Menu_autocontrol.enabled());
    }
}

// A hidden run on a machine without the service, one wireless interface
// connected, the router answering.
class NativeWifiLoop : public testing::Test {
protected:
    NativeWifiLoop() : p({"-hide"}) {
        storeRouter(p.world);
        wifi().addConnectedInterface();
        p.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    }
    fakes::FakeNativeWifi& wifi() { return p.world.wifi; }
    bool scan() { return wifi().setting(0, WifiSetting::BackgroundScan); }
    bool streaming() { return wifi().setting(0, WifiSetting::MediaStreaming); }
    // Runs until the scan is as wanted; the time it took, or -1 after limitMs.
    int msUntilScan(bool on, int limitMs) {
        for (int ms = 0; ms <= limitMs; ms += 10) {
            if (scan() == on) return ms;
            p.world.runFor(10);
        }
        return -1;
    }
    std::string status() { return p.window.Statusbar.panelText(0); }
    ProgramRig p;
};

TEST_F(NativeWifiLoop, OffAfterTheDelayOnWhenTheLinkGoesOffWhenTheRouterAnswersAgain) {
    p.start();
    p.world.runFor(3500);
    EXPECT_TRUE(scan()) << "the delay after the first answer runs first";
    const int off = msUntilScan(false, 1000);
    EXPECT_GE(off, 0);
    EXPECT_TRUE(streaming());
    EXPECT_EQ(status(), " Background scan: off");

    p.world.icmp.linkDown = true;
    EXPECT_GE(msUntilScan(true, 1200), 0) << "on again within 1.2 s of the link going";
    EXPECT_FALSE(streaming());
    EXPECT_EQ(status(), " Background scan: on");

    p.world.icmp.linkDown = false;
    EXPECT_GE(msUntilScan(false, 1100), 0) << "off again within 1.1 s of the first answer";
    EXPECT_TRUE(streaming());

    EXPECT_EQ(wifi().opens, 1) << "one handle, held throughout";
    EXPECT_EQ(wifi().openSessions, 1);
    EXPECT_EQ(p.world.services.starts + p.world.services.stops, 0);
    EXPECT_FALSE(p.world.registry.hasKey(kService));
}

TEST_F(NativeWifiLoop, AReconnectionOrAResumeWhileOffSetsBothAgain) {
    p.start();
    p.world.runFor(2000);
    const int setsWhileOn = wifi().sets;
    wifi().reconnect();
    p.world.runFor(10);
    EXPECT_EQ(wifi().sets, setsWhileOn) << "while on there is nothing to hold";

    p.world.runFor(3000);
    ASSERT_FALSE(scan());
    wifi().reconnect();
    EXPECT_TRUE(scan()) << "Windows dropped them with the link";
    p.world.runFor(10);
    EXPECT_FALSE(scan());
    EXPECT_TRUE(streaming());

    wifi().interfaces[0].backgroundScan = true;
    p.window.onResume();
    EXPECT_FALSE(scan());

    // A hundred thousand ticks of lost and found links later: still the one handle.
    for (int i = 0; i < 100; ++i) {
        p.world.icmp.linkDown = !p.world.icmp.linkDown;
        wifi().reconnect();
        p.world.runFor(1000 * 1000);
    }
    EXPECT_EQ(wifi().opens, 1);
    EXPECT_EQ(wifi().openSessions, 1);
    EXPECT_EQ(p.world.registry.opened, p.world.registry.released);
    EXPECT_FALSE(scan());
}

TEST_F(NativeWifiLoop, SessionEndAndProgramEndSetBothBackAndCloseTheHandle) {
    p.start();
    p.world.runFor(5000);
    ASSERT_FALSE(scan());
    EXPECT_TRUE(p.window.queryEndSession());
    EXPECT_TRUE(scan()) << "set back at the question: the end may follow at once";
    EXPECT_FALSE(streaming());
    p.window.endSession(true);
    EXPECT_EQ(wifi().openSessions, 0);
    const int sets = wifi().sets;
    p.world.icmp.linkDown = true;
    p.world.runFor(3000);
    EXPECT_EQ(wifi().sets, sets) << "nothing switches after the session ended";
    EXPECT_EQ(wifi().openSessions, 0);

    // A run that ends with the scan off sets it back itself before the handle
    // closes; it does not leave that to Windows.
    auto run = std::make_unique<shell::TF_nolvara>(p.world.platform);
    core::StartProgram(*run);
    run->ApplyStartMode(core::kStartModeDisabled);
    ASSERT_FALSE(scan());
    const int before = wifi().sets;
    run.reset();
    EXPECT_EQ(wifi().sets, before + 2);
    EXPECT_EQ(wifi().openSessions, 0);
}

TEST_F(NativeWifiLoop, FailedCallsLeaveTheRunGoingAndTheNextDecisionTriesAgain) {
    // The WLAN service does not answer at first: no handle, tried once a minute.
    wifi().failures["open"] = 1062;
    p.start();
    p.world.runFor(2000);
    EXPECT_EQ(status(), " No wireless adapter found");
    const int early = wifi().opens;
    p.world.runFor(60'000);
    EXPECT_EQ(wifi().opens - early, 1) << "once a minute, not at every tick";
    wifi().failures.clear();
    p.world.runFor(65'000);
    ASSERT_FALSE(scan()) << "once it answers, the run goes on from the first answer";

    for (std::uint32_t code : {5u, 1168u}) {  // access denied, interface gone
        p.world.icmp.linkDown = true;
        p.world.runFor(1200);
        ASSERT_TRUE(scan());
        wifi().failures["set"] = code;
        p.world.icmp.linkDown = false;
        p.world.runFor(1100);
        EXPECT_TRUE(scan());
        EXPECT_EQ(status(), " Background scan: could not be switched off");
        EXPECT_TRUE(p.window.T_ping.enabled());
        EXPECT_FALSE(p.world.system.terminateRequested());
        wifi().failures.clear();
        // The next decision: the link goes, comes back, and this time it holds.
        p.world.icmp.linkDown = true;
        p.world.runFor(1200);
        p.world.icmp.linkDown = false;
        p.world.runFor(1100);
        EXPECT_FALSE(scan());
        EXPECT_EQ(status(), " Background scan: off");
    }

    // Not connected when the decision falls: the reconnection brings it.
    p.world.icmp.linkDown = true;
    p.world.runFor(1200);
    wifi().interfaces[0].info.connected = false;
    p.world.icmp.linkDown = false;
    p.world.runFor(1100);
    EXPECT_EQ(status(), " Background scan: could not be switched off");
    wifi().interfaces[0].info.connected = true;
    wifi().reconnect();
    p.world.runFor(10);
    EXPECT_FALSE(scan());
    EXPECT_EQ(status(), " Background scan: off");
}

TEST(Elevation, RunsThatChangeTheSystemRestartWithAdministratorRightsTheHiddenOnesNever) {
    {
        ProgramRig p({"-noguiinst", "-ip", "10.0.0.1;10.0.0.2", "-path", "D:\\My Tools\\"});
        p.world.system.limitedRights = true;
        p.start();
        ASSERT_EQ(p.world.shell.elevatedStarts.size(), 1u);
        EXPECT_EQ(p.world.shell.elevatedStarts[0].file, kSelf);
        EXPECT_EQ(p.world.shell.elevatedStarts[0].arguments,
                  "-noguiinst -ip 10.0.0.1;10.0.0.2 -path \"D:\\My Tools\\\"");
        EXPECT_TRUE(p.world.system.terminateRequested());
        EXPECT_FALSE(p.window.visible());
        EXPECT_FALSE(p.world.registry.hasKey(kKey)) << "the elevated run does the work";
        EXPECT_TRUE(p.world.shell.starts.empty());
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-hide"}, std::vector<std::string>{"-update", "silent"}}) {
        ProgramRig p(args);
        p.world.system.limitedRights = true;
        p.start();
        EXPECT_TRUE(p.world.shell.elevatedStarts.empty()) << args[0] << " never prompts";
    }
    {
        // Refused: the window opens with the user's rights.
        ProgramRig p;
        p.world.system.limitedRights = true;
        p.world.shell.elevationRefused = true;
        p.start();
        EXPECT_EQ(p.world.shell.elevatedStarts.size(), 1u);
        EXPECT_TRUE(p.window.visible());
        EXPECT_FALSE(p.world.system.terminateRequested());
    }
    {
        ProgramRig p;
        p.start();
        EXPECT_TRUE(p.world.shell.elevatedStarts.empty()) << "with the rights, or on XP";
        EXPECT_TRUE(p.window.visible());
    }
}

}  // namespace
