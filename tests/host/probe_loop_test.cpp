#include <gtest/gtest.h>

#include "ProgramRig.h"

namespace {

constexpr const char* kRouter = "192.168.0.1";

// A hidden automatic-control run against a router list, the service installed
// and running with start mode 2, and a short shutdown delay.
class ProbeLoop : public testing::Test {
protected:
    ProbeLoop() : p({"-hide"}) { prepare(p); }
    static void prepare(ProgramRig& rig) {
        auto& r = rig.world.registry;
        r.setInteger(kService, "Start", 2);
        r.setText(kIpList, "ip1", kRouter);
        r.setInteger("SOFTWARE\\Nolvara", "shutdowndelay", 3);
        r.setInteger("SOFTWARE\\Nolvara", "version", 6);
        rig.world.services.state = platform::kServiceRunning;
    }
    static std::int32_t startValue(ProgramRig& rig) {
        return rig.world.registry.get(kService, "Start")->number;
    }
    std::int32_t startValue() { return startValue(p); }
    fakes::FakeIcmp& icmp() { return p.world.icmp; }
    ProgramRig p;
};

TEST_F(ProbeLoop, ARouterListSetByPolicyIsPingedFromTheNextTick) {
    p.start();
    p.world.runFor(1000);
    p.world.registry.setText("SOFTWARE\\Policies\\Nolvara\\IPList", "ip1", "10.0.0.1");
    p.world.runFor(1000);
    ASSERT_EQ(icmp().requests.size(), 2u);
    EXPECT_EQ(icmp().requests[0].host, kRouter);
    EXPECT_EQ(icmp().requests[1].host, "10.0.0.1");
}

TEST_F(ProbeLoop, FirstAnswerArmsTheDelayWhichThenSwitchesTheServiceOff) {
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 99});
    p.start();
    p.world.runFor(1000);
    ASSERT_EQ(icmp().requests.size(), 1u);
    EXPECT_EQ(icmp().requests[0].ttl, 64);
    EXPECT_EQ(icmp().requests[0].timeoutMs, 100);
    EXPECT_TRUE(p.window.T_shutdowndelay.enabled());
    EXPECT_EQ(startValue(), 2) << "the first answer only arms the delay";
    EXPECT_EQ(p.window.Statusbar.panelText(1), "Static");

    p.world.runFor(2500);
    EXPECT_EQ(startValue(), 2) << "3 s after the first answer, not before";
    p.world.runFor(600);
    EXPECT_EQ(startValue(), 4);
    EXPECT_EQ(p.world.services.state, platform::kServiceStopped);
    EXPECT_FALSE(p.window.T_shutdowndelay.enabled()) << "it fires once";
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Wireless Zero is disabled");
}

TEST_F(ProbeLoop, AnAnswerTakingTheWholeTimeoutIsNoAnswer) {
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 100});
    p.start();
    p.world.runFor(1000);
    EXPECT_FALSE(p.window.T_shutdowndelay.enabled());
    EXPECT_TRUE(p.window.state.awaitingFirstReply);
    EXPECT_FALSE(p.window.state.connectionLost) << "silence while mode 2 is ignored";

    for (auto status : {platform::EchoStatus::Error, platform::EchoStatus::DestinationUnreachable,
                        platform::EchoStatus::TtlExceeded}) {
        icmp().answer(kRouter, {status, 1});
        p.world.runFor(1000);
        EXPECT_FALSE(p.window.T_shutdowndelay.enabled());
    }
}

TEST_F(ProbeLoop, RepliesAreIgnoredWhileTheServiceIsDisabled) {
    // Disabled by this run: one that finds it so at its start switches it on.
    p.world.registry.setInteger(kKey, "restartservice", 0);
    p.world.registry.setInteger(kService, "Start", 4);
    p.world.services.state = platform::kServiceStopped;
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(5000);
    EXPECT_FALSE(p.window.T_shutdowndelay.enabled());
    icmp().silence(kRouter);
    p.world.runFor(5000);
    EXPECT_FALSE(p.window.state.connectionLost);
    EXPECT_EQ(startValue(), 4);
    EXPECT_EQ(p.world.services.starts, 0);
}

TEST_F(ProbeLoop, LostLinkRestartsTheServiceAndTheNextAnswerStopsItAtOnce) {
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(5000);
    ASSERT_EQ(startValue(), 4);

    icmp().linkDown = true;
    p.world.runFor(1000);
    EXPECT_TRUE(p.window.state.connectionLost);
    EXPECT_FALSE(p.window.T_ping.enabled()) << "probing pauses";
    p.world.runFor(150);
    EXPECT_EQ(startValue(), 2);
    EXPECT_EQ(p.world.services.state, platform::kServiceRunning);
    EXPECT_TRUE(p.window.T_ping.enabled());

    const size_t before = icmp().requests.size();
    p.world.runFor(3000);
    EXPECT_GT(icmp().requests.size(), before) << "probing goes on while the link is down";
    EXPECT_EQ(startValue(), 2);

    icmp().linkDown = false;
    p.world.runFor(1000);
    EXPECT_EQ(startValue(), 4) << "no delay after a loss";
    EXPECT_EQ(p.world.services.state, platform::kServiceStopped);
    EXPECT_FALSE(p.window.state.connectionLost);
}

TEST_F(ProbeLoop, WithoutReconnectALossOnlyPausesProbing) {
    p.world.registry.setInteger("SOFTWARE\\Nolvara", "restartservice", 0);
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(5000);
    ASSERT_EQ(startValue(), 4);
    const int starts = p.world.services.starts;
    icmp().linkDown = true;
    p.world.runFor(1200);
    EXPECT_EQ(p.world.services.starts, starts);
    EXPECT_EQ(startValue(), 4);
    EXPECT_FALSE(p.window.state.connectionLost);
    EXPECT_TRUE(p.window.T_ping.enabled());
}

// With the service set to start automatically a failed send asks for nothing,
// and while the start mode cannot be read no answer switches anything.
TEST_F(ProbeLoop, SendFailuresInModeTwoAndAnswersInModeFiveChangeNothing) {
    icmp().linkDown = true;
    p.start();
    p.world.runFor(3000);
    EXPECT_FALSE(p.window.state.connectionLost);
    EXPECT_TRUE(p.window.T_ping.enabled());
    EXPECT_EQ(icmp().requests.size(), 3u) << "one probe a second goes on";
    EXPECT_EQ(p.world.services.stops + p.world.services.starts, 0);

    ProgramRig q({"-hide"});
    prepare(q);
    q.world.registry.removeKey(kService);
    q.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    q.start();
    q.world.runFor(5000);
    ASSERT_EQ(q.window.state.startMode, 5);
    EXPECT_TRUE(q.window.state.awaitingFirstReply);
    EXPECT_FALSE(q.window.T_shutdowndelay.enabled());
    EXPECT_FALSE(q.window.state.connectionLost);
    EXPECT_EQ(q.world.services.stops, 0);
}

TEST_F(ProbeLoop, EveryEntryIsProbedInOrderAndOnlyTheFirstNeedAnswer) {
    p.world.registry.setText(kIpList, "ip2", "10.0.0.9");
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(1000);
    ASSERT_EQ(icmp().requests.size(), 2u);
    EXPECT_EQ(icmp().requests[0].host, kRouter);
    EXPECT_EQ(icmp().requests[1].host, "10.0.0.9");
    p.world.runFor(4000);
    EXPECT_EQ(startValue(), 4);
    p.world.runFor(5000);
    EXPECT_FALSE(p.window.state.connectionLost) << "a silent second entry changes nothing";
    EXPECT_EQ(startValue(), 4);
}

TEST_F(ProbeLoop, AnAnswerInAnotherModeSwitchesTheServiceOffDirectly) {
    p.world.registry.setInteger(kService, "Start", 3);
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(1000);  // the first answer only arms the delay
    p.world.runFor(1000);
    EXPECT_EQ(startValue(), 4);
    EXPECT_FALSE(p.window.state.connectionLost);
    EXPECT_TRUE(p.window.T_servicestart.enabled()) << "the loss handling still runs its course";
    p.world.runFor(150);
    EXPECT_EQ(startValue(), 2) << "with reconnect on, the service-start timer applies mode 2";
}

TEST_F(ProbeLoop, SessionEndSetsAutomaticStartAndEndsTheRun) {
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(5000);
    ASSERT_EQ(startValue(), 4);
    EXPECT_TRUE(p.window.queryEndSession());
    EXPECT_EQ(startValue(), 2);
    EXPECT_EQ(p.world.services.state, platform::kServiceStopped) << "only the stored mode";
    p.world.runFor(1000);
    EXPECT_FALSE(p.window.closed()) << "the question is not the end: it may be cancelled";
    p.window.endSession(true);
    p.world.runFor(1000);
    EXPECT_TRUE(p.window.closed());
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST_F(ProbeLoop, ACancelledSessionEndTakesControlUpAgainAsAfterTheStart) {
    for (const bool linkDown : {false, true}) {
        ProgramRig q({"-hide"});
        prepare(q);
        q.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 5});
        q.start();
        q.world.runFor(5000);
        ASSERT_EQ(startValue(q), 4);
        EXPECT_TRUE(q.window.queryEndSession());
        ASSERT_EQ(startValue(q), 2);
        q.world.runFor(10000);
        EXPECT_EQ(startValue(q), 2) << "nothing switches between the question and the answer";
        q.world.icmp.linkDown = linkDown;
        q.window.endSession(false);
        q.world.runFor(500);
        EXPECT_TRUE(q.window.T_ping.enabled()) << linkDown;
        // The service that the question left stopped runs again.
        EXPECT_EQ(q.world.services.state, platform::kServiceRunning) << linkDown;
        q.world.runFor(1000 + 3000 + 1000);  // the first answer, the delay
        EXPECT_EQ(startValue(q), linkDown ? 2 : 4) << linkDown;
        EXPECT_FALSE(q.window.closed());
        EXPECT_FALSE(q.world.system.terminateRequested());
    }
}

TEST_F(ProbeLoop, NothingSwitchesTheServiceOffAfterTheSessionEnded) {
    // The session ends while the delay after the first answer runs, and again
    // while a lost link's service start is due: the mode stays automatic.
    for (const bool lost : {false, true}) {
        ProgramRig q({"-hide"});
        prepare(q);
        q.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 5});
        q.start();
        q.world.runFor(lost ? 5000 : 1000);
        if (lost) {
            q.world.icmp.linkDown = true;
            q.world.runFor(1000);
            ASSERT_TRUE(q.window.T_servicestart.enabled());
        } else {
            ASSERT_TRUE(q.window.T_shutdowndelay.enabled());
        }
        EXPECT_TRUE(q.window.queryEndSession());
        EXPECT_EQ(startValue(q), 2) << lost;
        q.world.icmp.linkDown = false;
        for (const ui::Timer* timer :
             {&q.window.T_ping, &q.window.T_shutdowndelay, &q.window.T_servicestart})
            EXPECT_FALSE(timer->enabled()) << timer->name() << ' ' << lost;
        q.world.runFor(10000);
        EXPECT_EQ(startValue(q), 2) << lost;
    }
}

TEST_F(ProbeLoop, HundredThousandTicksLeaveNothingOpen) {
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    for (int i = 0; i < 100; ++i) {
        p.world.runFor(1000 * 1000);
        icmp().linkDown = !icmp().linkDown;
    }
    EXPECT_GE(p.world.icmp.requests.size(), 90'000u);
    EXPECT_EQ(p.world.registry.opened, p.world.registry.released);
    EXPECT_EQ(p.world.registry.watches, 3) << "the three watches are made once";
    EXPECT_EQ(p.world.registry.watchesGone, 0);
    EXPECT_EQ(p.world.services.openConnections, 0);
    EXPECT_FALSE(p.world.system.terminateRequested());
}

TEST_F(ProbeLoop, ASteadyTickOnlySendsItsEchoAndAChangeShowsAtTheNextTick) {
    icmp().answer(kRouter, {platform::EchoStatus::EchoReply, 5});
    p.start();
    p.world.runFor(5000);
    ASSERT_EQ(startValue(), 4);
    const int opened = p.world.registry.opened;
    const size_t sent = icmp().requests.size();
    const int queries = p.world.services.queries;
    p.world.runFor(100'000);
    EXPECT_EQ(p.world.registry.opened, opened) << "nothing is read while nothing changed";
    EXPECT_EQ(p.world.services.queries, queries);
    EXPECT_EQ(icmp().requests.size(), sent + 100);

    // A router list saved by the window.
    p.world.registry.setText(kIpList, "ip1", "192.168.7.1");
    p.world.runFor(1000);
    EXPECT_EQ(icmp().requests.back().host, "192.168.7.1");
    // A language chosen by hand.
    p.world.registry.setText(kKey, "language", "german");
    p.world.runFor(1000);
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Wireless Zero ist deaktiviert");
    // A start mode set from outside.
    p.world.registry.setInteger(kService, "Start", 3);
    p.world.runFor(1000);
    EXPECT_EQ(p.window.state.startMode, 3);
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Wireless Zero startet manuell");
}

}  // namespace
