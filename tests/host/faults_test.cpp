// The main job under faults: a start of the service that fails, a session end
// that is cancelled, what an earlier run or another session left behind, slow
// services, settings another handle holds, sets that fail.
#include <gtest/gtest.h>

#include "ProgramRig.h"

namespace {

constexpr const char* kRouter = "192.168.0.1";

struct HiddenRun {
    explicit HiddenRun(std::int32_t mode = 2, bool running = true, bool reconnect = true,
                       std::vector<std::string> args = {"-hide"})
        : p(std::move(args)) {
        auto& r = p.world.registry;
        r.setInteger(kService, "Start", mode);
        r.setText(kIpList, "ip1", kRouter);
        r.setInteger(kKey, "shutdowndelay", 3);
        r.setInteger(kKey, "version", 6);
        r.setInteger(kKey, "restartservice", reconnect ? 1 : 0);
        p.world.services.state = running ? platform::kServiceRunning : platform::kServiceStopped;
        p.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    }
    std::int32_t mode() { return p.world.registry.get(kService, "Start")->number; }
    ProgramRig p;
};

TEST(Faults, AStartThatFailsIsTriedAgainWithGrowingPausesWhileTheLinkIsLost) {
    const std::pair<std::int32_t, std::int32_t> pauses[] = {
        {1, 1000}, {2, 2000}, {3, 4000}, {5, 16000}, {6, 30000}, {40, 30000}};
    for (const auto& [failures, ms] : pauses)
        EXPECT_EQ(core::ServiceStartRetryMs(failures), ms) << failures;

    for (const bool linkComesBackAlone : {false, true}) {
        HiddenRun h;
        auto& w = h.p.world;
        h.p.start();
        w.runFor(5000);
        ASSERT_EQ(h.mode(), 4);
        w.services.failNextStarts = 3;
        w.icmp.linkDown = true;
        w.runFor(1200);
        EXPECT_EQ(w.services.starts, 1);
        EXPECT_EQ(h.p.window.Statusbar.panelText(0), " Wireless Zero could not be started, trying again");
        if (linkComesBackAlone) {
            // Another program connected: the tries end, the service stays off.
            w.icmp.linkDown = false;
            w.runFor(10000);
            EXPECT_EQ(w.services.starts, 1);
            EXPECT_EQ(h.mode(), 4);
            EXPECT_EQ(h.p.window.Statusbar.panelText(0), " Wireless Zero is disabled");
            continue;
        }
        w.runFor(1000 + 2000 + 4000 + 1500);  // the pauses after the first three failures
        EXPECT_EQ(w.services.starts, 4);
        EXPECT_EQ(h.mode(), 2);
        EXPECT_EQ(w.services.state, platform::kServiceRunning);
        EXPECT_EQ(h.p.window.Statusbar.panelText(0), " Wireless Zero starts automatically");
        w.icmp.linkDown = false;
        w.runFor(2000);
        EXPECT_EQ(h.mode(), 4) << "the next answer switches it off as ever";
    }
}

TEST(Faults, AHiddenRunOfTheServiceWayLetsWindowsConnectWhateverTheLastRunLeft) {
    const struct {
        std::int32_t mode;
        bool running, reconnect, hidden;
        std::int32_t modeAfter;
        int starts;
    } cases[] = {
        {4, false, true, true, 2, 1},    // a crash or a kill left it disabled
        {4, false, false, true, 4, 0},   // kept off on purpose
        {2, false, true, true, 2, 1},    // a log-off left it stopped
        {2, true, true, true, 2, 0},     // as it should be
        {4, false, true, false, 4, 0},   // a window changes nothing at its start
    };
    for (const auto& c : cases) {
        HiddenRun h(c.mode, c.running, c.reconnect,
                    c.hidden ? std::vector<std::string>{"-hide"} : std::vector<std::string>{});
        h.p.world.icmp.linkDown = true;
        h.p.start();
        const std::string label = std::to_string(c.mode) + (c.running ? " running" : " stopped") +
                                  (c.reconnect ? " reconnect" : "") + (c.hidden ? " hidden" : "");
        EXPECT_EQ(h.mode(), c.modeAfter) << label;
        EXPECT_EQ(h.p.world.services.starts, c.starts) << label;
    }
    // Switched on, the usual path follows: first answer, delay, off.
    {
        HiddenRun h(4, false);
        h.p.start();
        h.p.world.runFor(1000 + 3000 + 500);
        EXPECT_EQ(h.mode(), 4);
        EXPECT_EQ(h.p.world.services.starts, 1);
    }
    // Also where that start failed, with the link down, and was tried again.
    HiddenRun h(4, false);
    h.p.world.services.failNextStarts = 1;
    h.p.world.icmp.linkDown = true;
    h.p.start();
    h.p.world.runFor(2500);
    EXPECT_EQ(h.p.world.services.state, platform::kServiceRunning);
    h.p.world.icmp.linkDown = false;
    h.p.world.runFor(1000 + 2500);
    EXPECT_EQ(h.mode(), 2) << "the delay after the first answer runs";
    h.p.world.runFor(1000);
    EXPECT_EQ(h.mode(), 4);
    EXPECT_EQ(h.p.world.services.starts, 2);
}

TEST(Faults, ServicePollsPauseAndAnswerTheSessionEndMeanwhile) {
    // A tenth of the announced wait, within a tenth of a second and one.
    for (const auto& [hintMs, pauseMs] :
         {std::pair{0u, 100}, std::pair{5000u, 500}, std::pair{60000u, 1000}}) {
        HiddenRun h;
        h.p.start();
        h.p.world.services.waitHintMs = hintMs;
        h.p.world.services.pendingQueries = 5;
        h.p.world.system.sleeps.clear();
        h.p.window.ApplyStartMode(4);
        EXPECT_EQ(h.p.world.system.sleeps, std::vector<int>(5, pauseMs)) << hintMs;
        EXPECT_EQ(h.p.world.system.answeringPauses, 5) << hintMs;
    }
    // The question comes during a start that fails after a lost link: the
    // answer's mode stays, and no timer comes back on after it.
    {
        HiddenRun h;
        h.p.start();
        h.p.world.runFor(5000);
        h.p.world.services.failNextStarts = 1;
        h.p.world.services.pendingQueries = 5;
        h.p.world.icmp.linkDown = true;
        h.p.world.system.onSleep = [&](int) {
            const bool starting = h.p.world.services.state == platform::kServiceStartPending;
            if (starting && !h.p.window.state.sessionEnding) {
                EXPECT_TRUE(h.p.window.queryEndSession());
            }
        };
        h.p.world.runFor(3000);
        ASSERT_TRUE(h.p.window.state.sessionEnding);
        EXPECT_EQ(h.mode(), 2);
        for (const ui::Timer* timer : {&h.p.window.T_ping, &h.p.window.T_servicestart})
            EXPECT_FALSE(timer->enabled()) << timer->name();
    }
    // The question comes while the service stops: the answer's mode stays.
    HiddenRun h;
    h.p.start();
    h.p.world.runFor(1500);  // the first answer, the delay is running
    h.p.world.services.pendingQueries = 20;
    bool asked = false;
    h.p.world.system.onSleep = [&](int) {
        if (!asked && h.p.world.services.state == platform::kServiceStopPending) {
            asked = true;
            EXPECT_TRUE(h.p.window.queryEndSession());
        }
    };
    h.p.world.runFor(3000);
    EXPECT_TRUE(asked);
    EXPECT_EQ(h.mode(), 2);
    h.p.world.runFor(10000);
    EXPECT_EQ(h.mode(), 2);
}

TEST(Faults, ClaimsAreTheMachinesForTheServiceAndTheSessionsForNativeWifi) {
    HiddenRun service;
    service.p.start();
    EXPECT_EQ(service.p.world.system.claims,
              std::vector<std::string>{"Global\\Nolvara.AutomaticControl"});
    // A run of another session holds the service: this one ends.
    HiddenRun second;
    second.p.world.system.heldElsewhere = {"Global\\Nolvara.AutomaticControl"};
    second.p.start();
    EXPECT_TRUE(second.p.world.system.terminateRequested());
    EXPECT_FALSE(second.p.window.T_ping.enabled());

    ProgramRig wifi({"-hide"});
    wifi.world.wifi.addConnectedInterface();
    wifi.start();
    EXPECT_EQ(wifi.world.system.claims, std::vector<std::string>{"Nolvara.AutomaticControl"});
}

class WifiFaults : public testing::Test {
protected:
    WifiFaults() {
        p.world.registry.setText(kIpList, "ip1", kRouter);
        p.world.registry.setInteger(kKey, "shutdowndelay", 3);
        p.world.registry.setInteger(kKey, "version", 6);
        p.world.wifi.addConnectedInterface();
        p.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    }
    bool scan() { return p.world.wifi.setting(0, platform::WifiSetting::BackgroundScan); }
    ProgramRig p{{"-hide"}};
};

TEST_F(WifiFaults, AHiddenRunTakesNoStateThatAnotherHandleHoldsForItsOwn) {
    // A run just ended for an update, say, whose handle is not closed yet.
    p.world.wifi.interfaces[0].backgroundScan = false;
    p.start();
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Background scan: on") << "its own decision";
    p.world.wifi.interfaces[0].backgroundScan = true;  // that handle closed
    p.world.runFor(1000 + 3000 + 500);
    EXPECT_FALSE(scan()) << "set by this run itself";
    p.world.wifi.reconnect();
    p.world.runFor(100);
    EXPECT_FALSE(scan()) << "and made again after a reconnection";
}

TEST_F(WifiFaults, ASetThatFailedIsMadeAgainWithinFiveSecondsWhileTheLinkStaysUp) {
    p.start();
    p.world.wifi.failures["set"] = platform::WifiFailure::Refused;
    p.world.runFor(1000 + 3000 + 500);
    EXPECT_TRUE(scan());
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Background scan: could not be switched off");
    EXPECT_EQ(p.world.wifi.opens, 1) << "a driver's refusal is no lost service";
    p.world.wifi.failures.clear();
    p.world.runFor(5000);
    EXPECT_FALSE(scan());
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Background scan: off");
}

}  // namespace
