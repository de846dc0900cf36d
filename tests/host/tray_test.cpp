// The hidden run's notification icon: its look and tooltip follow every
// decision, its menu pauses control for an hour, opens the window or ends the
// run, and the setting shows or hides it at the next tick.
#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "core/TrayIcon.h"
#include "text/Messages.h"

namespace {

using core::LagResult;
using core::LagSample;
using core::TrayReason;
using platform::NotifyLook;

constexpr const char* kRouter = "192.168.0.1";

// n seconds of answers in ms, the first spikes of them taking 80 ms; then
// late seconds.
std::vector<LagSample> minute(int n, std::uint16_t ms, int spikes = 0, int late = 0) {
    std::vector<LagSample> samples;
    for (int i = 0; i < n; ++i)
        samples.push_back({i, LagResult::Answer, static_cast<std::uint16_t>(i < spikes ? 80 : ms)});
    for (int i = 0; i < late; ++i) samples.push_back({n + i, LagResult::Late});
    return samples;
}

TEST(TrayTip, SaysWhatHoldsAndHowTheLastMinuteWentInBothLanguages) {
    struct Row {
        bool scanOn;
        TrayReason reason;
        bool serviceWay;
        std::vector<LagSample> samples;
        const char* language;
        std::string tip;
    };
    const Row rows[] = {
        {false, TrayReason::None, false, minute(60, 3), "english",
         "Nolvara: background scan off\nrouter 3 ms, no lag spikes in the last minute"},
        {true, TrayReason::Waiting, true, {}, "english",
         "Nolvara: Wireless Zero is running, waiting for the router"},
        {true, TrayReason::LinkLost, true, minute(0, 0, 0, 60), "english",
         "Nolvara: Wireless Zero is running, link lost\nno answer from the router in the last minute"},
        {true, TrayReason::WeakSignal, false, minute(59, 4, 1, 0), "english",
         "Nolvara: background scan on (weak signal)\nrouter 4 ms, 1 lag spike in the last minute"},
        {true, TrayReason::Paused, true, minute(50, 12, 0, 10), "german",
         "Nolvara: Wireless Zero l\xE4uft, Pause noch 42 min\nRouter 12 ms, 10 Lag-Spitzen in der "
         "letzten Minute"},
    };
    for (const Row& row : rows) {
        const auto text = [&](const std::string& key) { return text::LookupText(row.language, key); };
        EXPECT_EQ(core::TrayTip(row.scanOn, row.reason, row.serviceWay, 42, "",
                                core::TrayMinute(row.samples, text), text),
                  row.tip);
    }
    // Windows shows 127 bytes of a tooltip.
    const auto wordy = [](const std::string&) { return std::string(100, 'x'); };
    EXPECT_EQ(core::TrayTip(true, TrayReason::LinkLost, false, 0, "", "minute", wordy).size(),
              127u);
}

// A hidden run of the service way whose router answers in 3 ms, with a 3 s
// delay and the start at log-on in place; "not answering" is a lost link.
class TrayIcon : public testing::Test {
protected:
    TrayIcon() : p({"-hide"}) {
        auto& r = p.world.registry;
        r.setInteger(kService, "Start", 2);
        r.setText(kIpList, "ip1", kRouter);
        r.setInteger(kKey, "shutdowndelay", 3);
        r.setInteger(kKey, "version", 6);
        r.setInteger(kKey, "autostart", 1);
        r.setText(kRun, "Nolvara", "C:\\Nolvara\\P_nolvara.exe -hide");
        p.world.services.state = platform::kServiceRunning;
        p.world.system.args[0] = kInstalled;
        answering(true);
    }
    void answering(bool on) {
        p.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 3});
        p.world.icmp.linkDown = !on;
    }
    fakes::FakeNotifyArea& area() { return p.world.notify; }
    NotifyLook look() { return area().shown.value().look; }
    std::string tip() { return area().shown.value().tip; }
    std::int32_t startMode() { return p.world.registry.get(kService, "Start")->number; }
    ProgramRig p;
};

TEST_F(TrayIcon, FollowsEveryDecisionAndIsToldOnlyWhatChanged) {
    p.start();
    p.world.runFor(1000);
    EXPECT_EQ(look(), NotifyLook::ScanOn);
    EXPECT_EQ(tip().substr(0, tip().find('\n')),
              "Nolvara: Wireless Zero is running, waiting for the router");
    p.world.runFor(4000);
    ASSERT_EQ(startMode(), 4);
    EXPECT_EQ(look(), NotifyLook::ScanOff);
    EXPECT_EQ(tip(), "Nolvara: Wireless Zero is disabled") << "no minute drawn yet";
    // The pointer on the icon draws the minute anew, at most every 2 s.
    area().events.hovered();
    EXPECT_EQ(tip(), "Nolvara: Wireless Zero is disabled\nrouter 3 ms, no lag spikes in the last minute");
    p.world.icmp.answer(kRouter, {platform::EchoStatus::EchoReply, 60});
    p.world.runFor(1000);
    area().events.hovered();
    EXPECT_EQ(tip().substr(tip().find('\n')), "\nrouter 3 ms, no lag spikes in the last minute");
    p.world.runFor(1000);
    area().events.hovered();
    EXPECT_EQ(tip().substr(tip().find('\n')), "\nrouter 3 ms, 2 lag spikes in the last minute");
    answering(true);
    p.world.runFor(61'000);
    EXPECT_EQ(tip().substr(tip().find('\n')), "\nrouter 3 ms, no lag spikes in the last minute")
        << "once a minute without the pointer";
    const int calls = area().calls;
    p.world.runFor(60'000);
    EXPECT_EQ(area().calls, calls) << "a tip that stays the same is not handed on again";

    answering(false);
    p.world.runFor(2000);
    EXPECT_EQ(look(), NotifyLook::ScanOn);
    EXPECT_NE(tip().find("running, link lost"), std::string::npos) << tip();
    answering(true);
    p.world.runFor(2000);
    EXPECT_EQ(look(), NotifyLook::ScanOff);

    // Explorer restarts: the icon is there again at once.
    area().restartShell();
    ASSERT_TRUE(area().shown.has_value());
    EXPECT_EQ(look(), NotifyLook::ScanOff);

    // The setting, switched from the window, at the next tick.
    p.world.registry.setInteger(kKey, "trayicon", 0);
    p.world.runFor(1000);
    EXPECT_FALSE(area().shown.has_value());
    p.world.registry.setInteger(kKey, "trayicon", 1);
    p.world.runFor(1000);
    EXPECT_TRUE(area().shown.has_value());

    EXPECT_TRUE(p.window.queryEndSession());
    p.window.endSession(true);
    EXPECT_FALSE(area().shown.has_value()) << "gone before the session ends";
    EXPECT_EQ(startMode(), 2);
}

// The hour runs out while the machine sleeps: the answer from before the
// sleep is no answer now. Scanning stays on until the router answers again,
// and then for the delay.
TEST_F(TrayIcon, APauseInASleepOrASessionsEndOrBesideARetryLeavesNoTimerActingLate) {
    p.start();
    p.world.runFor(5000);
    area().choose("&Pause for 1 hour");
    p.world.runFor(10'000);
    EXPECT_TRUE(core::ReadSessionLagRecord(p.world.share)->test.controlPaused) << "for the window";
    const int stops = p.world.services.stops;
    p.world.sleepMachine(2 * 3600'000);
    p.world.runFor(3000);
    EXPECT_EQ(p.world.services.stops, stops) << "not stopped while Windows reconnects";
    EXPECT_EQ(area().menu()[1], "&Pause for 1 hour") << "the pause is over";
    EXPECT_FALSE(core::ReadSessionLagRecord(p.world.share)->test.controlPaused);
    EXPECT_EQ(startMode(), 2) << "Windows is still reconnecting";
    answering(true);
    p.world.runFor(2500);
    EXPECT_EQ(startMode(), 2) << "the first answer arms the delay";
    p.world.runFor(2000);
    EXPECT_EQ(startMode(), 4);

    // A switch inside the resume answers Windows' question before the session
    // ends, or a pause whose own start worked meets an earlier start's retry:
    // neither lets a timer act afterwards.
    area().choose("&Pause for 1 hour");
    p.world.services.pendingQueries = 5;
    bool asked = false;
    p.world.system.onSleep = [&](int) {
        if (!asked && p.world.services.state == platform::kServiceStopPending)
            asked = p.window.queryEndSession();
    };
    area().choose("&Resume now");
    ASSERT_TRUE(asked);
    EXPECT_FALSE(p.window.T_ping.enabled()) << "the probe loop stays off";

    p.window.endSession(false);
    p.world.system.onSleep = nullptr;
    p.world.runFor(5000);
    ASSERT_EQ(startMode(), 4);
    p.world.services.failNextStarts = 1;
    answering(false);
    p.world.runFor(1500);
    ASSERT_TRUE(p.window.T_servicestart.enabled()) << "a failed start is tried again";
    area().choose("&Pause for 1 hour");
    const int starts = p.world.services.starts;
    p.world.runFor(60'000);
    EXPECT_EQ(p.world.services.starts, starts) << "the pause's start brought it up";
    EXPECT_EQ(p.window.Statusbar.panelText(0), " Wireless Zero starts automatically");
}

TEST_F(TrayIcon, APauseLetsWindowsScanForAnHourWhateverTheRouterDoes) {
    p.start();
    p.world.runFor(5000);
    ASSERT_EQ(startMode(), 4);
    EXPECT_EQ(area().menu(), (std::vector<std::string>{"&Lag meter", "&Pause for 1 hour",
                                                       "&Open Nolvara", "&End automatic control"}));
    area().choose("&Pause for 1 hour");
    EXPECT_EQ(startMode(), 2);
    EXPECT_EQ(p.world.services.state, platform::kServiceRunning);
    EXPECT_EQ(look(), NotifyLook::ScanOn);
    EXPECT_NE(tip().find("paused for 60 min"), std::string::npos) << tip();
    EXPECT_EQ(area().menu()[1], "&Resume now");

    // The router's answers switch nothing meanwhile, nor does a lost link.
    p.world.runFor(30 * 60'000);
    EXPECT_EQ(startMode(), 2);
    EXPECT_NE(tip().find("paused for 30 min"), std::string::npos) << tip();
    const int starts = p.world.services.starts;
    answering(false);
    p.world.runFor(10'000);
    EXPECT_EQ(p.world.services.starts, starts) << "the service runs already";
    answering(true);
    p.world.runFor(1000);
    EXPECT_EQ(startMode(), 2);

    area().choose("&Resume now");
    EXPECT_EQ(startMode(), 4) << "the router answers: off at once";
    EXPECT_EQ(area().menu()[1], "&Pause for 1 hour");

    // The hour runs out on its own; the link is lost at that moment, so
    // scanning goes off at the router's next answer.
    area().choose("&Pause for 1 hour");
    p.world.runFor(60 * 60'000 - 5000);
    answering(false);
    p.world.runFor(6000);
    EXPECT_EQ(startMode(), 2);
    EXPECT_EQ(tip().substr(0, tip().find('\n')), "Nolvara: Wireless Zero is running, link lost");
    answering(true);
    p.world.runFor(1100);
    EXPECT_EQ(startMode(), 4);

    // A service that will not start leaves nothing to pause.
    p.world.services.failNextStarts = 1;
    area().choose("&Pause for 1 hour");
    EXPECT_EQ(startMode(), 4);
    EXPECT_EQ(area().menu()[1], "&Pause for 1 hour");
    // A cancelled end of the session takes control up as after the start,
    // unpaused: the router answers, and after the delay it is off again.
    area().choose("&Pause for 1 hour");
    ASSERT_EQ(startMode(), 2);
    EXPECT_TRUE(p.window.queryEndSession());
    p.window.endSession(false);
    EXPECT_EQ(area().menu()[1], "&Pause for 1 hour");
    p.world.runFor(6000);
    EXPECT_EQ(startMode(), 4);

    // Left click and the menu start the window, a double click once; the
    // last item ends the run as the session's end does, and the next log-on
    // starts it again.
    area().events.clicked();
    area().events.clicked();
    p.world.runFor(2000);
    area().choose("&Open Nolvara");
    p.world.runFor(2000);
    area().choose("&Lag meter");
    ASSERT_EQ(p.world.shell.starts.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(p.world.shell.starts[i].file, kInstalled);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-lag");
    EXPECT_EQ(p.world.shell.starts[1].arguments, "");
    EXPECT_EQ(p.world.shell.starts[2].arguments, "-lag");
    area().choose("&End automatic control");
    EXPECT_EQ(startMode(), 2);
    EXPECT_EQ(p.world.services.state, platform::kServiceRunning) << "the session goes on";
    EXPECT_FALSE(area().shown.has_value());
    EXPECT_TRUE(p.world.system.terminateRequested());
    EXPECT_TRUE(p.world.registry.get(kRun, "Nolvara").has_value());
}

TEST(TrayWindow, TheLagArgumentOpensTheWindowOnTheLagMeter) {
    ProgramRig p({"-lag"});
    p.start();
    EXPECT_TRUE(p.window.box_lag.visible());
    EXPECT_TRUE(p.window.visible());
    EXPECT_FALSE(p.world.notify.shown.has_value()) << "only the hidden run has an icon";
}

}  // namespace
