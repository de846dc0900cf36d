// The hidden run's lag record and the lag test it runs at the window's request.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProgramRig.h"
#include "core/LagMeter.h"

namespace {

using core::LagResult;
using core::LagTestState;

struct Hidden {
    explicit Hidden(std::vector<std::string> args = {"-hide"}) : p(std::move(args)) {
        auto& r = p.world.registry;
        r.setInteger(kService, "Start", 2);
        r.setText(kIpList, "ip1", "192.168.0.1");
        r.setText(kIpList, "ip2", "192.168.0.2");
        r.setInteger(kKey, "shutdowndelay", 3);
        r.setInteger(kKey, "version", 6);
        r.setInteger(kKey, "restartservice", 1);
        p.world.services.state = platform::kServiceRunning;
        p.world.icmp.answer("192.168.0.1", {platform::EchoStatus::EchoReply, 9});
        p.world.icmp.answer("192.168.0.2", {platform::EchoStatus::EchoReply, 5});
    }
    std::vector<core::LagSample> samples() { return record().samples; }
    core::LagRecordView record() {
        const auto view = core::ReadSessionLagRecord(p.world.share);
        return view ? *view : core::LagRecordView{};
    }
    std::int32_t mode() { return p.world.registry.get(kService, "Start")->number; }
    ProgramRig p;
};

TEST(LagMeter, TheHiddenRunKeepsOneSamplePerTickWithWhetherWindowsCouldScan) {
    Hidden h;
    auto& w = h.p.world;
    h.p.start();
    w.runFor(8500);
    auto samples = h.samples();
    ASSERT_EQ(samples.size(), 8u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].localTime, w.system.localTimeAtStartSec + 1 + std::int64_t(i));
        EXPECT_EQ(samples[i].result, LagResult::Answer);
        EXPECT_EQ(samples[i].rttMs, 5) << "the faster of the two routers";
        // The service runs for the delay after the first answer, then not.
        EXPECT_EQ(samples[i].scanOn, i < 4) << i;
    }
    w.icmp.silence("192.168.0.1");
    w.icmp.silence("192.168.0.2");
    w.runFor(1000);
    EXPECT_EQ(h.samples().back().result, LagResult::Late);
    w.icmp.linkDown = true;
    w.runFor(3000);
    EXPECT_EQ(h.samples().back().result, LagResult::NoLink);
    EXPECT_TRUE(h.samples().back().scanOn) << "the lost link switched the service on";

    // A window records nothing; nor does a second hidden run of the session.
    Hidden window(std::vector<std::string>{});
    window.p.start();
    window.p.world.runFor(3000);
    EXPECT_FALSE(core::ReadSessionLagRecord(window.p.world.share).has_value());
    Hidden second;
    second.p.world.share.refuse = true;
    second.p.start();
    second.p.world.runFor(3000);
    EXPECT_FALSE(core::ReadSessionLagRecord(second.p.world.share).has_value());
    EXPECT_FALSE(core::AskForLagTest(second.p.world.share));
}

TEST(LagMeter, ALagTestScansAMinuteThenNotAndHandsBackOrEndsOnALostLinkOrTheSessionsEnd) {
    enum class Ending { None, LinkLost, LinkLostNoReconnect, SessionEnd };
    for (const Ending ending :
         {Ending::None, Ending::LinkLost, Ending::LinkLostNoReconnect, Ending::SessionEnd}) {
        Hidden h;
        auto& w = h.p.world;
        const bool reconnect = ending != Ending::LinkLostNoReconnect;
        w.registry.setInteger(kKey, "restartservice", reconnect ? 1 : 0);
        h.p.start();
        w.runFor(9500);
        ASSERT_EQ(h.mode(), 4);
        ASSERT_TRUE(core::AskForLagTest(w.share));
        w.runFor(1000);
        EXPECT_EQ(h.mode(), 2) << "Windows scans for the first minute";
        EXPECT_EQ(w.services.state, platform::kServiceRunning);
        EXPECT_EQ(h.record().test, (core::LagTestStatus{LagTestState::Running, 119}));
        w.runFor(29000);
        ASSERT_TRUE(core::AskForLagTest(w.share));
        const bool linkLost = ending == Ending::LinkLost || !reconnect;
        if (linkLost) w.icmp.linkDown = true;
        if (ending == Ending::SessionEnd) h.p.window.ShutdownQueryHandler();
        w.runFor(1000);
        if (linkLost) {
            EXPECT_EQ(h.record().test.state, LagTestState::LinkLost);
            w.icmp.linkDown = false;
            // With reconnection at the answer; without, after the delay.
            w.runFor(reconnect ? 3000 : 6000);
            EXPECT_EQ(h.mode(), 4) << "the usual handling switched it off again";
            continue;
        }
        if (ending == Ending::SessionEnd) {
            EXPECT_EQ(h.record().test.state, LagTestState::Ended);
            EXPECT_EQ(h.mode(), 2);
            continue;
        }
        // The wall clock set back an hour: the minutes are counted in ticks.
        w.system.localTimeAtStartSec -= 3600;
        w.runFor(30000);
        EXPECT_EQ(h.mode(), 4) << "the second minute without";
        EXPECT_EQ(w.services.state, platform::kServiceStopped);
        w.runFor(60000);
        const auto view = h.record();
        EXPECT_EQ(view.test.state, LagTestState::Finished);
        const auto test = core::LastLagTest(view.samples);
        ASSERT_EQ(test.size(), 120u) << "a second request while it ran started nothing";
        for (std::size_t i = 0; i < test.size(); ++i) {
            EXPECT_EQ(test[i].testPhase, i < 60 ? 1 : 2) << i;
            EXPECT_EQ(test[i].scanOn, i < 60) << i;
        }
        EXPECT_EQ(test.back().localTime - test.front().localTime, 119 - 3600) << "one line a tick";
        EXPECT_EQ(view.samples.back().testPhase, 0) << "the probe loop has control again";
        w.icmp.linkDown = true;
        w.runFor(2000);
        EXPECT_EQ(h.mode(), 2) << "and switches as ever";
    }
}

TEST(LagMeter, WithoutTheServiceTheTestSwitchesBackgroundScanAndTheRecordFollowsIt) {
    ProgramRig p({"-hide"});
    auto& w = p.world;
    w.wifi.addConnectedInterface();
    w.registry.setText(kIpList, "ip1", "192.168.0.1");
    w.registry.setInteger(kKey, "shutdowndelay", 3);
    w.registry.setInteger(kKey, "version", 6);
    w.icmp.answer("192.168.0.1", {platform::EchoStatus::EchoReply, 5});
    p.start();
    w.runFor(6500);
    ASSERT_FALSE(w.wifi.interfaces[0].backgroundScan);
    ASSERT_TRUE(core::AskForLagTest(w.share));
    w.runFor(1000);
    EXPECT_TRUE(w.wifi.interfaces[0].backgroundScan) << "the first minute scans";
    w.runFor(60000);
    EXPECT_FALSE(w.wifi.interfaces[0].backgroundScan) << "the second does not";
    w.runFor(60000);
    const auto record = core::ReadSessionLagRecord(w.share);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->test.state, LagTestState::Finished);
    const auto test = core::LastLagTest(record->samples);
    ASSERT_EQ(test.size(), 120u);
    EXPECT_EQ(std::count_if(test.begin(), test.end(), [](const auto& s) { return s.scanOn; }), 60);
    EXPECT_TRUE(test.front().scanOn && !test.back().scanOn);
    EXPECT_TRUE(record->samples.front().scanOn && !record->samples[5].scanOn)
        << "before the test: on until the delay, then off";
}

TEST(LagMeter, ALagTestWhoseServiceWillNotStartLeavesTheDelayToSwitchItOff) {
    Hidden h;
    auto& w = h.p.world;
    h.p.start();
    w.runFor(1500);
    ASSERT_TRUE(h.p.window.T_shutdowndelay.enabled());
    w.services.failNextStarts = 2;
    ASSERT_TRUE(core::AskForLagTest(w.share));
    w.runFor(1000);
    EXPECT_EQ(h.record().test.state, LagTestState::Refused);
    w.runFor(3000);
    EXPECT_EQ(h.mode(), 4);
    EXPECT_EQ(w.services.state, platform::kServiceStopped);
}

TEST(LagMeter, TheReportIsWrittenWholeOrSaysWhyNot) {
    Hidden h;
    auto& w = h.p.world;
    w.files.addFolder("C:\\Reports");
    EXPECT_EQ(core::WriteLagReport(w.share, w.files, "C:\\Reports\\lag.csv"),
              core::kLagReportNoRecord);
    h.p.start();
    w.runFor(2500);
    EXPECT_EQ(core::WriteLagReport(w.share, w.files, "C:\\Nowhere\\lag.csv"),
              core::kLagReportNotWritten);
    EXPECT_EQ(core::WriteLagReport(w.share, w.files, ""), core::kLagReportNotWritten);
    ASSERT_EQ(core::WriteLagReport(w.share, w.files, "C:\\Reports\\lag.csv"),
              core::kLagReportWritten);
    EXPECT_EQ(w.files.file("C:\\Reports\\lag.csv")->bytes,
              "time,scan,result,rtt_ms,signal,scans\r\n"
              "2026-12-09 14:03:08,on,answer,5,,\r\n"
              "2026-12-09 14:03:09,on,answer,5,,\r\n");
}


// The window's page over a record that the test writes as the hidden run would.
TEST(LagMeter, ThePageShowsTheHourOrTheLastTestLiveInBothLanguagesAndSavesIt) {
    for (const std::string language : {"english", "german"}) {
        ProgramRig p;
        auto& w = p.world;
        w.registry.setText(kKey, "language", language);
        w.registry.setInteger(kKey, "version", 6);
        p.start();
        const bool de = language == "german";
        p.window.Menu_lagmeter.click();
        EXPECT_TRUE(p.window.box_lag.visible());
        EXPECT_EQ(
            p.window.L_lagstate.text(),
            de ? "Keine Aufzeichnung: In dieser Sitzung l\344uft die Automatik nicht. Schalten "
                 "Sie sie ein mit Steuerung > Automatik einschalten."
               : "Nothing is recorded: automatic control does not run in this session. Start "
                 "it with Control > Enable automatic control.");
        p.window.B_lagtest.click();
        EXPECT_NE(p.window.L_lagstate.text().find(de ? "braucht die Automatik" : "needs automatic"),
                  std::string::npos);

        auto block = w.share.createBlock(core::kLagRecordName, core::LagBlockBytes());
        auto signal = w.share.createSignal(core::kLagTestSignal);
        core::LagWriter writer(block->data());
        const std::int64_t t = 1796824987;
        // Scanning: 3 and 80 ms, a late second with a scan reported; not: 4
        // and 5 ms, two scans that something else asked for; then no link.
        const LagResult A = LagResult::Answer;
        for (const core::LagSample& s :
             std::vector<core::LagSample>{{t, A, 3, true, -1},
                                          {t + 1, A, 80, true, -1},
                                          {t + 2, LagResult::Late, 0, true, -1, 0, 1},
                                          {t + 3, A, 4, false, -1},
                                          {t + 4, A, 5, false, -1, 0, 2},
                                          {t + 6, LagResult::NoLink, 0, false, -1}})
            writer.add(s);
        w.runFor(3000);
        EXPECT_EQ(p.window.L_lagscan.text(),
                  de ? "Windows sucht\r\n3 s\r\n3 ms\r\n80 ms\r\n80 ms\r\n2\r\n2"
                     : "Windows scanning\r\n3 s\r\n3 ms\r\n80 ms\r\n80 ms\r\n2\r\n2");
        EXPECT_EQ(p.window.L_lagnoscan.text().substr(p.window.L_lagnoscan.text().find('\n') + 1),
                  "3 s\r\n4 ms\r\n5 ms\r\n5 ms\r\n0\r\n0");
        EXPECT_TRUE(p.window.L_lagscans.text().starts_with(de ? "2 Suchen in den letzten 10 Minuten"
                                                              : "2 scans in the last 10 minutes"));
        EXPECT_TRUE(
            p.window.L_lagrows.text().starts_with(de ? "Letzte Stunde\r\n" : "Last hour\r\n"));
        const auto& chart = p.window.chart_lag.points();
        ASSERT_EQ(chart.size(), 600u);
        using Kind = ui::ChartPoint::Kind;
        const std::vector<ui::ChartPoint> newest(chart.end() - 7, chart.end());
        EXPECT_EQ(newest, (std::vector<ui::ChartPoint>{{Kind::Value, true, 3},
                                                       {Kind::Value, true, 80},
                                                       {Kind::Mark, true, 0, true},
                                                       {Kind::Value, false, 4},
                                                       {Kind::Value, false, 5, true},
                                                       {Kind::Gap, false, 0},
                                                       {Kind::Gap, false, 0}}))
            << "a second without a sample is a gap too";

        writer.setTest({core::LagTestState::Running, 42});
        w.runFor(1000);
        EXPECT_EQ(p.window.L_lagstate.text(),
                  de ? "Lag-Test: noch 42 s, erst mit, dann ohne die Suche von Windows."
                     : "Lag test: 42 s left, first with Windows scanning, then without.");
        p.window.B_lagtest.click();
        EXPECT_FALSE(signal->taken()) << "one test at a time";
        w.runFor(1000);
        EXPECT_EQ(p.window.L_lagstate.text(),
                  de ? "Ein Lag-Test l\344uft bereits." : "A lag test is running already.")
            << "a note outlives the next refresh";
        for (int i = 0; i < 120; ++i)
            writer.add({t + 10 + i, A, static_cast<std::uint16_t>(i < 60 && i % 20 == 0 ? 90 : 4),
                        i < 60, -1, static_cast<std::uint8_t>(i < 60 ? 1 : 2)});
        writer.setTest({core::LagTestState::Finished, 0});
        w.runFor(3000);
        EXPECT_EQ(p.window.L_lagstate.text(),
                  de ? "Lag-Spitzen in 60 s: 3 w\344hrend Windows sucht, 0 ohne."
                     : "Lag spikes in 60 s: 3 with Windows scanning, 0 without.");
        EXPECT_TRUE(p.window.L_lagscan.text().find("\r\n60 s\r\n") != std::string::npos)
            << "the table holds the test's minutes";
        p.window.B_lagtest.click();
        EXPECT_TRUE(signal->taken()) << "a new test may be asked for";

        w.files.addFolder("C:\\Reports");
        w.dialogs.fileToSave = "C:\\Reports\\lag.csv";
        p.window.B_lagsave.click();
        EXPECT_EQ(w.dialogs.savesOffered, std::vector<std::string>{"nolvara-lag.csv|CSV"});
        ASSERT_NE(w.files.file("C:\\Reports\\lag.csv"), nullptr);
        EXPECT_EQ(w.files.file("C:\\Reports\\lag.csv")->bytes,
                  core::LagCsv(core::ReadSessionLagRecord(w.share)->samples));
        EXPECT_EQ(p.window.L_lagstate.text(),
                  (de ? "Gespeichert: " : "Saved: ") + std::string("C:\\Reports\\lag.csv"));
        w.dialogs.fileToSave = "C:\\Nowhere\\lag.csv";
        p.window.B_lagsave.click();
        EXPECT_TRUE(p.window.L_lagstate.text().starts_with("C:\\Nowhere\\lag.csv "));

        writer.setTest({core::LagTestState::Refused, 0});
        w.runFor(4000);
        EXPECT_NE(p.window.L_lagstate.text().find(de ? "nicht schalten" : "could not switch"),
                  std::string::npos);
        // While control is paused a test asked for waits, and the page says so.
        writer.setTest({core::LagTestState::None, 0, true});
        p.window.B_lagtest.click();
        const std::string waits =
            de ? "beginnt, sobald die Pause endet" : "starts once the pause ends";
        EXPECT_NE(p.window.L_lagstate.text().find(waits), std::string::npos);
        w.runFor(1000);
        EXPECT_NE(p.window.L_lagstate.text().find(waits), std::string::npos);

        p.window.Menu_aboutme.click();
        w.runFor(1500);
        EXPECT_FALSE(p.window.T_lag.enabled()) << "no refresh for a page that does not show";
    }
}


TEST(LagMeter, ATickASecondAfterTheLastIsTheNextSecondWhicheverSideOfTheEdgeItFell) {
    fakes::FakeSessionShare share;
    core::LagRecorder recorder(share);
    ASSERT_TRUE(recorder.recording());
    const std::int64_t t = 1796824987;
    const std::pair<std::int64_t, std::uint32_t> ticks[] = {
        {t, 0},         {t + 2, 1000}, {t + 2, 2010}, {t + 2, 2990},
        {t + 10, 4000}, {t + 5, 5000}, {t + 5, 5100}};
    for (const auto& [time, ms] : ticks) recorder.endTick(time, ms, -1);
    std::vector<std::int64_t> times;
    const auto record = core::ReadSessionLagRecord(share);
    ASSERT_TRUE(record.has_value());
    for (const auto& s : record->samples) times.push_back(s.localTime - t);
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 1, 2, 3, 10, 5, 5}))
        << "the clock set forward and back, and a tick without a second between, keep their times";
}

// Any program of the user's can raise the signal: a word is taken only as a
// request of a known kind and length.
TEST(ScriptRun, OnlyRequestsOfAKnownKindAndLengthAreTaken) {
    using Request = core::ControlRequest;
    for (const Request request : {Request{Request::Kind::Pause, 1},
                                  {Request::Kind::Pause, 1440},
                                  {Request::Kind::Resume, 0}})
        EXPECT_EQ(core::RequestOf(core::WordOf(request)), request);
    for (const std::uint32_t word : {0x105A1u, 0x10000u, 0x20001u, 0x30001u, 0u})
        EXPECT_FALSE(core::RequestOf(word).has_value()) << word;
}

}  // namespace
