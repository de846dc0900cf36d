// Windows without the wireless service: the probe loop's decisions become the
// Native Wifi settings of the connected interfaces. And the runs that need
// administrator rights on Windows that separates them from the user's.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <tuple>

#include "ProgramRig.h"
#include "core/LagMeter.h"
#include "core/ScriptRun.h"
#include "text/Messages.h"

namespace {

using platform::WifiFailure;
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
    bool scanOn(std::size_t index) { return wifi().setting(index, WifiSetting::BackgroundScan); }
    // Runs until the scan of the interface is as wanted; the time it took,
    // or -1 after limitMs.
    int msUntilScan(bool on, int limitMs, std::size_t index = 0) {
        for (int ms = 0; ms <= limitMs; ms += 10) {
            if (scanOn(index) == on) return ms;
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
    shell::StartProgram(*run);
    run->ApplyStartMode(core::kStartModeDisabled);
    ASSERT_FALSE(scan());
    const int before = wifi().sets;
    run.reset();
    EXPECT_EQ(wifi().sets, before + 2);
    EXPECT_EQ(wifi().openSessions, 0);
}

TEST_F(NativeWifiLoop, FailedCallsLeaveTheRunGoingAndTheNextDecisionTriesAgain) {
    // The WLAN service does not answer at first: no handle, tried every few seconds.
    wifi().failures["open"] = WifiFailure::ServiceGone;
    p.start();
    p.world.runFor(2000);
    EXPECT_EQ(status(), " No wireless adapter found");
    const int early = wifi().opens;
    p.world.runFor(60'000);
    EXPECT_GE(wifi().opens - early, 12) << "at least every 5 s";
    EXPECT_LE(wifi().opens - early, 15) << "not at every tick";
    wifi().failures.clear();
    // Found within 5 s, then the delay of 3 s after the first answer.
    p.world.runFor(5000 + 1000 + 3000 + 1000);
    ASSERT_FALSE(scan()) << "once it answers, the run goes on from the first answer";

    // Twice: a refusal after a whole refuse-and-recover round is met the same
    // way. (Access denied and an interface gone both mean that the one
    // interface refused; the binding's tests hold which codes do.)
    for (int pass = 0; pass < 2; ++pass) {
        p.world.icmp.linkDown = true;
        p.world.runFor(1200);
        ASSERT_TRUE(scan());
        wifi().failures["set"] = WifiFailure::Refused;
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

    // A refused "on" is made again by the next read-back.
    wifi().failures["set"] = WifiFailure::Refused;
    p.world.icmp.linkDown = true;
    p.world.runFor(1200);
    EXPECT_FALSE(scan());
    wifi().failures.clear();
    EXPECT_GE(msUntilScan(true, 5000), 0);

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

TEST_F(NativeWifiLoop, AWeakSignalLetsWindowsScanOnItsOwnInterfaceUntilItIsStrongAgain) {
    wifi().addConnectedInterface();
    // 49.7 days up: the tick count wraps to 0 within the first hold.
    p.world.system.tickAtStartMs = 0xFFFFFFFFu - 8000;
    p.start();
    p.world.runFor(5000);
    ASSERT_FALSE(scanOn(0));
    ASSERT_FALSE(scanOn(1));

    wifi().interfaces[0].rssi = -85;  // quality 30
    // Asked for every 5 s, and weak for 5 s before it counts.
    const int on = msUntilScan(true, 11'000);
    EXPECT_GE(on, 5000);
    EXPECT_FALSE(wifi().setting(0, WifiSetting::MediaStreaming));
    EXPECT_FALSE(scanOn(1)) << "the strong second interface keeps it off";
    EXPECT_EQ(status(), " Background scan: on (weak signal)");
    EXPECT_EQ(p.world.notify.shown.value().tip.substr(0, 41), "Nolvara: background scan on (weak signal)");

    // The link goes and comes back: "on" everywhere, then "off" where the
    // signal is good.
    p.world.icmp.linkDown = true;
    EXPECT_GE(msUntilScan(true, 1200, 1), 0);
    EXPECT_EQ(status(), " Background scan: on");
    p.world.icmp.linkDown = false;
    EXPECT_GE(msUntilScan(false, 1100, 1), 0);
    EXPECT_TRUE(scanOn(0)) << "still weak";

    // Strong again: found within 5 s, and it must hold 10 s.
    wifi().interfaces[0].rssi = -60;
    const int off = msUntilScan(false, 16'000);
    EXPECT_GE(off, 10'000);
    EXPECT_TRUE(wifi().setting(0, WifiSetting::MediaStreaming));
    EXPECT_EQ(status(), " Background scan: off");

    // Threshold 0: no signal is weak.
    p.world.registry.setInteger(kKey, "weaksignal", 0);
    p.world.runFor(1000);
    wifi().interfaces[0].rssi = wifi().interfaces[1].rssi = -97;
    EXPECT_EQ(msUntilScan(true, 20'000), -1);
    EXPECT_FALSE(scanOn(1));
    EXPECT_EQ(wifi().opens, 1);
}

TEST_F(NativeWifiLoop, SignalsConnectionsRoamsAndLostNoticesAreTakenAsWindowsMeansThem) {
    using Kind = platform::WifiEvent::Kind;
    p.start();
    // Looks at the signal in a minute: every 5 s while the rule can act, every 10 s otherwise.
    for (const auto& [down, threshold, looks] :
         {std::tuple{false, 50, 12}, {false, 0, 6}, {true, 50, 6}}) {
        p.world.registry.setInteger(kKey, "weaksignal", threshold);
        p.world.icmp.linkDown = down;
        p.world.runFor(12'000);
        const int before = wifi().signalQueries;
        p.world.runFor(60'000);
        EXPECT_NEAR(wifi().signalQueries - before, looks, 1) << threshold << down;
    }
    p.world.icmp.linkDown = false;
    p.world.runFor(2000);
    // A roam drops media streaming and tells nothing: the read-back makes it again.
    wifi().interfaces[0].mediaStreaming = false;
    p.world.runFor(7000);
    EXPECT_TRUE(streaming());
    // Disconnected: nothing is set, and a failed attempt is no connection.
    wifi().setConnected(0, false);
    int sets = wifi().sets;
    wifi().notify(Kind::Connected, wifi().interfaces[0].info.id, 0x38002);
    p.world.runFor(30'000);
    EXPECT_EQ(wifi().sets, sets);
    EXPECT_EQ(status(), " Background scan: could not be switched off");
    wifi().setConnected(0, true);
    p.world.runFor(10);
    EXPECT_FALSE(scan());
    // Refused as not connected though listed so: tried at the connection,
    // or at every second listing that finds it connected, not every 5 s.
    p.world.icmp.linkDown = true;
    p.world.runFor(1200);
    wifi().failures["set"] = WifiFailure::NotConnected;
    p.world.icmp.linkDown = false;
    p.world.runFor(1100);
    sets = wifi().sets;
    p.world.runFor(40'000);
    EXPECT_NEAR(wifi().sets - sets, 1.5, 0.5);
    wifi().failures.clear();
    // Lost notices (a full mailbox) of a reconnection: the listing that follows finds it.
    wifi().interfaces[0].backgroundScan = true;
    wifi().notify(Kind::Missed, {});
    p.world.runFor(10);
    EXPECT_FALSE(scan());
    // The signal strength refused, as by a driver without it: the rule out of play.
    wifi().failures["rssi"] = WifiFailure::Refused;
    wifi().interfaces[0].rssi = -97;
    p.world.runFor(6000);
    const int refused = wifi().signalQueries;
    EXPECT_EQ(msUntilScan(true, 20'000), -1);
    EXPECT_EQ(wifi().signalQueries, refused);
}

TEST(WifiEventQueue, WhatDoesNotFitIsToldAsMissedOnceAfterWhatWasKept) {
    for (const std::uint8_t put : {0, 4, 9}) {
        platform::WifiEventQueue<4> queue;
        for (std::uint8_t i = 0; i < put; ++i)
            queue.put({platform::WifiEvent::Kind::Removed, {i}, 0});
        for (std::uint8_t i = 0; i < std::min<std::uint8_t>(put, 4); ++i)
            EXPECT_EQ(queue.take().value().id[0], i) << "in the order they came";
        EXPECT_EQ(put > 4, queue.take().has_value()) << "one Missed for the dropped ones";
        EXPECT_FALSE(queue.take()) << +put;
    }
}

TEST_F(NativeWifiLoop, AdaptersThatArriveWhileOffGetTheSettingsOnesThatGoAreForgotten) {
    p.start();
    p.world.runFor(5000);
    ASSERT_FALSE(scan());
    wifi().arrive(true);
    p.world.runFor(1000);
    EXPECT_FALSE(scanOn(1)) << "within a second of its notice";
    EXPECT_TRUE(wifi().setting(1, WifiSetting::MediaStreaming));
    wifi().remove(1);
    p.world.runFor(6000);
    EXPECT_EQ(status(), " Background scan: off") << "a removed one is no failure";

    // One that connects without a notice is found by the next listing.
    wifi().arrive(false);
    p.world.runFor(1000);
    wifi().interfaces[1].info.connected = true;
    EXPECT_GE(msUntilScan(false, 10'100, 1), 0);
    EXPECT_FALSE(scan());
}

TEST_F(NativeWifiLoop, AWlanServiceThatRestartsIsFoundAgainAndGivenTheDecidedState) {
    // Gone during the delay after the first answer, back after the decision:
    // made on the new handle, and the status tells the truth meanwhile.
    p.start();
    p.world.runFor(1500);
    wifi().stopService();
    p.world.runFor(6000);
    EXPECT_TRUE(scan());
    EXPECT_EQ(status(), " Background scan: could not be switched off");
    wifi().startService();
    EXPECT_GE(msUntilScan(false, 5000), 0);
    EXPECT_EQ(status(), " Background scan: off");

    wifi().stopService();  // the defaults are back at once
    p.world.runFor(10'000);
    EXPECT_EQ(wifi().openSessions, 0) << "what was held is closed";
    EXPECT_EQ(status(), " Background scan: could not be switched off");
    EXPECT_TRUE(p.window.T_ping.enabled());
    wifi().startService();
    EXPECT_GE(msUntilScan(false, 5000), 0) << "within 5 s of its return";
    EXPECT_EQ(status(), " Background scan: off");

    // A restart between two looks: the old handle answers 6.
    wifi().stopService();
    wifi().startService();
    EXPECT_GE(msUntilScan(false, 5000 + 1100), 0) << "by the next read-back";

    // A hundred restarts, arrivals and removals leave one handle and one
    // registration.
    for (int i = 0; i < 100; ++i) {
        wifi().stopService();
        p.world.runFor(6000);
        wifi().startService();
        wifi().arrive(true);
        p.world.runFor(6000);
        wifi().remove(1);
    }
    p.world.runFor(1000);
    EXPECT_EQ(wifi().openSessions, 1);
    EXPECT_EQ(wifi().registrations(), 1);
    EXPECT_FALSE(scan());
    EXPECT_EQ(p.world.registry.opened, p.world.registry.released);
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

// With a chosen program: off only while it runs, the delay still first;
// on battery, with "onbattery" 0, Windows scans.
TEST_F(NativeWifiLoop, ScanningIsOffOnlyWhileAChosenProgramRunsAndOnMainsWhereTheUserSaysSo) {
    auto& processes = p.world.processes;
    std::uint32_t id = 76;
    // A game starts and takes the screen, or ends (the screen's owner left
    // as it was: its end alone must tell).
    const auto game = [&](bool running) {
        processes.running.clear();
        if (running) processes.running.push_back({processes.foreground = ++id, "GAME.EXE"});
    };
    const auto tip = [&] { return p.world.notify.shown.value().tip.substr(0, 60); };
    p.world.registry.setText("SOFTWARE\\Nolvara\\Apps", "app1", "Game.exe");
    p.world.registry.setInteger(kKey, "onbattery", 0);
    game(true);
    p.start();
    p.world.runFor(3500);
    EXPECT_TRUE(scan()) << "the delay after the first answer runs first";
    EXPECT_GE(msUntilScan(false, 1000), 0);
    EXPECT_EQ(tip().substr(0, 48), "Nolvara: background scan off while GAME.EXE runs");
    game(false);
    EXPECT_GE(msUntilScan(true, 3000), 0) << "on within 3 s of the end";
    const int walks = processes.snapshots;
    p.world.runFor(10'000);
    EXPECT_EQ(processes.snapshots, walks) << "no walk while nothing changes";
    EXPECT_EQ(tip(), "Nolvara: background scan on, waiting for a chosen program");
    game(true);
    EXPECT_GE(msUntilScan(false, 3000), 0) << "off within 3 s of the start, the delay long over";
    // One the run may not open is watched by walking the list.
    processes.unholdable = {88};
    processes.running = {{88, "game.exe"}};
    processes.foreground = 88;
    p.world.runFor(1000);
    processes.running.clear();
    EXPECT_GE(msUntilScan(true, 3000), 0) << "its end seen within 3 s";
    game(true);
    EXPECT_GE(msUntilScan(false, 3000), 0);
    p.world.power.battery = true;
    p.window.onPowerSourceChanged();
    EXPECT_GE(msUntilScan(true, 1100), 0) << "at the tick after the system's notice";
    EXPECT_FALSE(streaming());
    EXPECT_EQ(tip().substr(0, 39), "Nolvara: background scan on, on battery");
    p.world.power.battery = false;
    EXPECT_GE(msUntilScan(false, 61'000), 0) << "a lost notice is made up for within a minute";
    EXPECT_EQ(wifi().opens, 1);
}

// A launch script's runs: what they print and end with, over this run.
TEST_F(NativeWifiLoop, PauseStatusAndResumeFromAScriptReachTheRunAndSayWhatHolds) {
    // What the run of the arguments ends with, and its line.
    const auto run = [&](const std::string& arguments) {
        std::vector<std::string> args{"P_nolvara.exe"};
        std::istringstream words(arguments);
        for (std::string word; words >> word;) args.push_back(word);
        const core::ScriptOutcome outcome =
            core::RunScript(args, p.world.share, [&] { p.world.runFor(100); });
        return std::to_string(outcome.exitCode) + " " + outcome.line;
    };
    for (const char* bad :
         {"-pause 0", "-pause 1441", "-pause 1x", "-pause 1 2", "-status 1", "-resume 5"})
        EXPECT_EQ(run(bad).substr(0, 8), "2 usage:") << bad;
    EXPECT_EQ(run("-status"), "1 no hidden run controls in this session");

    p.start();
    p.world.runFor(5000);
    const std::string minute = ", router 5 ms, no lag spikes in the last minute";
    EXPECT_EQ(run("-status"), "0 background scan off" + minute);
    // Scans Windows reports are counted per second of the record.
    for (int i = 0; i < 2; ++i)
        wifi().notify(platform::WifiEvent::Kind::Scanned, wifi().interfaces[0].info.id);
    p.world.runFor(2000);
    const auto samples = core::ReadSessionLagRecord(p.world.share)->samples;
    EXPECT_EQ(samples[samples.size() - 2].scans, 2);
    EXPECT_EQ(samples.back().scans, 0);

    EXPECT_EQ(run("-pause 1"), "0 background scan on, paused for 1 min" + minute);
    EXPECT_EQ(run("-status"), "3 background scan on, paused for 1 min" + minute);
    p.world.runFor(61'000);
    EXPECT_EQ(run("-status"), "0 background scan off" + minute) << "the pause ran out";
    EXPECT_EQ(run("-pause"), "0 background scan on, paused for 60 min" + minute);
    EXPECT_EQ(run("-resume"), "0 background scan off" + minute);
}

}  // namespace
