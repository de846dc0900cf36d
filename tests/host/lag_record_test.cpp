// The lag record's block, its reading as untrusted bytes, its figures and its CSV.
#include <gtest/gtest.h>

#include <vector>

#include "core/LagRecord.h"

namespace {

using core::LagResult;
using core::LagSample;

// 2026-12-09 14:03:07, local.
constexpr std::int64_t kT0 = 1796824987;

LagSample answer(std::int64_t t, std::uint16_t ms, bool scan = false) {
    return {t, LagResult::Answer, ms, scan, -1};
}

TEST(LagRecord, TheBlockKeepsTheLastHourOldestFirstAndReadsBackWhole) {
    std::vector<unsigned char> block(core::LagBlockBytes());
    core::LagWriter writer(block.data());
    ASSERT_TRUE(core::ReadLagBlock(block.data(), block.size()).has_value());
    EXPECT_TRUE(core::ReadLagBlock(block.data(), block.size())->samples.empty());
    for (int i = 0; i < 3600 + 25; ++i)
        writer.add({kT0 + i, i % 3 == 0 ? LagResult::Late : LagResult::Answer,
                    static_cast<std::uint16_t>(i % 3 == 0 ? 0 : i % 200), i % 2 == 0,
                    static_cast<std::int8_t>(i % 101)});
    writer.setTest({core::LagTestState::Running, 42});
    const auto view = core::ReadLagBlock(block.data(), block.size());
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->test, (core::LagTestStatus{core::LagTestState::Running, 42}));
    const auto* read = &view->samples;
    ASSERT_EQ(read->size(), 3600u);
    EXPECT_EQ(read->front().localTime, kT0 + 25) << "the oldest kept";
    EXPECT_EQ(read->back().localTime, kT0 + 3624);
    EXPECT_EQ(read->back().result, LagResult::Late);
    EXPECT_EQ((*read)[3598].rttMs, 3623 % 200);
    EXPECT_EQ(read->back().signal, 3624 % 101);

    // Untrusted bytes: anything off gives no record.
    const auto broken = [&](std::size_t at, unsigned char value) {
        std::vector<unsigned char> copy = block;
        copy[at] = value;
        return !core::ReadLagBlock(copy.data(), copy.size()).has_value();
    };
    EXPECT_TRUE(broken(0, 'X')) << "tag";
    EXPECT_TRUE(broken(4, 1)) << "layout";
    EXPECT_TRUE(broken(8, 0)) << "capacity";
    EXPECT_TRUE(broken(20, 1)) << "a writer at work";
    // A state a window does not know leaves the record whole; a window of an
    // earlier build, which refuses one beyond Refused, reads Paused as none.
    EXPECT_FALSE(broken(24, 7)) << "a later build's test state";
    EXPECT_FALSE(broken(26, 9)) << "a later build's test state";
    writer.setTest({core::LagTestState::Paused, 0, true});
    EXPECT_EQ(block[24], 0) << "what earlier builds read";
    EXPECT_EQ(core::ReadLagBlock(block.data(), block.size())->test,
              (core::LagTestStatus{core::LagTestState::Paused, 0, true}));
    EXPECT_TRUE(broken(25, 121)) << "test seconds left";
    const std::size_t newest = 28 + (3624 % 3600) * 14;
    EXPECT_TRUE(broken(newest + 8, 3)) << "result";
    EXPECT_TRUE(broken(newest + 9, 2)) << "scan";
    EXPECT_TRUE(broken(newest + 10, 101)) << "signal";
    EXPECT_TRUE(broken(newest + 13, 0xff)) << "round trip";
    EXPECT_TRUE(broken(newest + 7, 0x80)) << "a time before 1970";
    EXPECT_TRUE(broken(newest + 11, 3)) << "test phase";
    EXPECT_FALSE(broken(newest + 3, 0)) << "a clock set back is no broken record";
    // An earlier build's block ends after the ring: read without the run's
    // state and the scans. Shorter is broken.
    constexpr std::size_t kEarlierBytes = 28 + 3600 * 14;
    writer.setRun({4, true, 12, std::string(70, 'g')});
    writer.add({kT0 + 4000, LagResult::Answer, 7, false, -1, 0, 2});
    const auto whole = core::ReadLagBlock(block.data(), block.size());
    EXPECT_EQ(whole->run, (core::LagRunState{4, true, 12, std::string(63, 'g')}));
    EXPECT_EQ(whole->samples.back().scans, 2);
    const auto earlier = core::ReadLagBlock(block.data(), kEarlierBytes);
    EXPECT_TRUE(earlier && !earlier->run && earlier->samples.back().scans == core::kScansUnknown);
    EXPECT_FALSE(core::ReadLagBlock(block.data(), kEarlierBytes - 1).has_value()) << "short";
    EXPECT_FALSE(core::ReadLagBlock(nullptr, 0).has_value());
}

TEST(LagRecord, FiguresSplitByScanStateWithNearestRankPercentiles) {
    std::vector<LagSample> samples;
    // Not scanning: 1..100 ms, one each, and a second without link.
    for (std::uint16_t ms = 1; ms <= 100; ++ms) samples.push_back(answer(kT0 + ms, ms));
    samples.push_back({kT0 + 101, LagResult::NoLink, 0, false, -1});
    // Scanning: 3, 3, 4, 250 ms and two late seconds.
    for (const std::uint16_t ms : {3, 250, 4, 3}) samples.push_back(answer(kT0 + 200 + ms, ms, true));
    samples.push_back({kT0 + 300, LagResult::Late, 0, true, -1});
    samples.push_back({kT0 + 301, LagResult::Late, 0, true, -1});

    // Seconds, answers, median, 99th percentile, worst, spikes (50 ms and more,
    // and late seconds).
    EXPECT_EQ(core::FiguresOf(samples, false), (core::LagFigures{101, 100, 50, 99, 100, 51}));
    EXPECT_EQ(core::FiguresOf(samples, true), (core::LagFigures{6, 4, 3, 250, 250, 3}));

    EXPECT_EQ(core::FiguresOf({}, true).medianMs, 0u);
}

TEST(LagRecord, TheReportHasOneLinePerTickInItsOwnWords) {
    const std::vector<LagSample> samples = {
        {kT0, LagResult::Answer, 3, true, -1},
        {kT0 + 1, LagResult::Late, 0, true, -1},
        {kT0 + 2, LagResult::NoLink, 0, false, 71, 0, 2},
    };
    EXPECT_EQ(core::LagCsv(samples),
              "time,scan,result,rtt_ms,signal,scans\r\n"
              "2026-12-09 14:03:07,on,answer,3,,\r\n"
              "2026-12-09 14:03:08,on,late,,,\r\n"
              "2026-12-09 14:03:09,off,nolink,,71,2\r\n");
    for (const auto& [t, text] : {std::pair<std::int64_t, const char*>{0, "1970-01-01 00:00:00"},
                                  {951782400, "2000-02-29 00:00:00"},
                                  {253402300799, "9999-12-31 23:59:59"}})
        EXPECT_EQ(core::LagTimeText(t), text);
}


TEST(LagRecord, ATicksOutcomeIsItsFastestAnswerInTimeElseLateElseNoLink) {
    struct Probe {
        bool inTime;
        std::uint32_t ms;
    };
    const struct {
        std::vector<Probe> probes;
        LagResult result;
        std::uint16_t rttMs;
    } table[] = {
        {{}, LagResult::NoLink, 0},
        {{{false, 0}}, LagResult::Late, 0},
        {{{false, 0}, {true, 40}, {true, 7}, {false, 0}}, LagResult::Answer, 7},
        {{{true, 0}}, LagResult::Answer, 0},
        {{{true, 90'000}}, LagResult::Answer, 60'000},
    };
    for (const auto& row : table) {
        core::LagTick tick;
        for (const Probe& p : row.probes) tick.probed(p.inTime, p.ms);
        EXPECT_EQ(tick.result(), row.result);
        EXPECT_EQ(tick.rttMs(), row.rttMs);
    }
}

TEST(LagRecord, ALagTestScansAMinuteThenNotAMinuteAndEndsEarlyOnALostLink) {
    using Step = core::LagTest::Step;
    core::LagTest test;
    EXPECT_EQ(test.phase(), 0);
    EXPECT_EQ(test.ticked(LagResult::Answer), Step::None) << "no test, nothing to do";
    ASSERT_TRUE(test.start());
    EXPECT_FALSE(test.start()) << "one at a time";
    for (int tick = 1; tick <= 120; ++tick) {
        EXPECT_EQ(test.phase(), tick <= 60 ? 1 : 2) << tick;
        // A late second or four in a row is lag, not a lost link.
        const Step step = test.ticked(tick % 7 < 4 ? LagResult::Late : LagResult::Answer);
        EXPECT_EQ(step, tick == 60 ? Step::ScanOff : tick == 120 ? Step::HandBack : Step::None) << tick;
        if (tick == 100) {
            EXPECT_EQ(test.status().secondsLeft, 20);
        }
    }
    EXPECT_EQ(test.status(), (core::LagTestStatus{core::LagTestState::Finished, 0}));

    ASSERT_TRUE(test.start()) << "another once it is over";
    for (int tick = 1; tick < 5; ++tick) EXPECT_EQ(test.ticked(LagResult::Late), Step::None);
    EXPECT_EQ(test.ticked(LagResult::Late), Step::LinkLost) << "five late seconds in a row";
    EXPECT_EQ(test.status().state, core::LagTestState::LinkLost);
    ASSERT_TRUE(test.start());
    EXPECT_EQ(test.ticked(LagResult::NoLink), Step::LinkLost) << "nothing could be sent";
    ASSERT_TRUE(test.start());
    test.end();
    EXPECT_EQ(test.status().state, core::LagTestState::Ended);
    EXPECT_EQ(test.phase(), 0);
}

TEST(LagRecord, TheLastTestIsTheNewestRunOfTestTicks) {
    const auto phases = [](std::vector<std::uint8_t> ps) {
        std::vector<LagSample> samples;
        for (std::uint8_t p : ps) samples.push_back({kT0, LagResult::Answer, 1, p == 1, -1, p});
        std::string out;
        for (const LagSample& s : core::LastLagTest(samples)) out += char('0' + s.testPhase);
        return out;
    };
    EXPECT_EQ(phases({0, 1, 1, 2, 2, 0, 0}), "1122");
    EXPECT_EQ(phases({1, 2, 0, 1, 1, 2}), "112") << "one under way";
    EXPECT_EQ(phases({1, 1, 2, 2, 1}), "1") << "a new one right after the last";
    EXPECT_EQ(phases({0, 0}), "");
}

}  // namespace
