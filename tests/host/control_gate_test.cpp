// When the hidden run controls at all, and when the process list is walked;
// the hidden run that follows it is in wireless_test.cpp.
#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "core/ControlGate.h"

namespace {

using core::GateReason;

TEST(ControlGate, ChosenProgramsOfTheSessionAndThePowerRuleDecide) {
    fakes::FakeProcesses processes;
    processes.otherSession = {9};
    const auto lower = [&](const std::string& s) { return processes.toLower(s); };
    const struct {
        std::vector<std::string> list;
        std::vector<platform::ProcessEntry> running;
        bool controlOnBattery, onBattery;
        GateReason reason;
        const char* program;
    } table[] = {
        // clang-format off
        {{}, {{1, "explorer.exe"}}, true, false, GateReason::Open, ""},
        {{"game.exe"}, {{1, "explorer.exe"}}, true, false, GateReason::WaitingForProgram, ""},
        {{" Game.EXE ", "game.exe", ""}, {{4, "GAME.exe"}}, true, false, GateReason::Open, "GAME.exe"},
        {{"game.exe", "stream.exe"}, {{5, "stream.exe"}}, true, false, GateReason::Open, "stream.exe"},
        {{"game.exe"}, {{9, "game.exe"}}, true, false, GateReason::WaitingForProgram, ""},
        {{"game.exe"}, {{9, "game.exe"}, {3, "game.exe"}}, true, false, GateReason::Open, "game.exe"},
        {{"game.exe"}, {{3, "game.exe"}}, false, true, GateReason::OnBattery, ""},
        {{}, {}, true, true, GateReason::Open, ""},
        {{}, {}, false, false, GateReason::Open, ""},
        // clang-format on
    };
    for (const auto& row : table) {
        const auto chosen = core::ChosenNames(row.list, lower);
        const auto found = core::ChosenRunning(chosen, row.running, lower, [&](std::uint32_t id) {
            return processes.inOwnSession(id);
        });
        const core::Gate gate = core::GateOf(row.controlOnBattery, row.onBattery, chosen.empty(),
                                             found ? found->exeFile : "");
        EXPECT_EQ(gate.reason, row.reason) << row.list.size() << " " << row.running.size();
        EXPECT_EQ(gate.program, row.program);
    }
}

TEST(ControlGate, TheListIsWalkedOnlyWhenTheForegroundChangesOrTheChosenProgramEnds) {
    core::ProgramWatch watch;
    // Each step: time, foreground process, held program ended; then whether
    // a walk was due, and what it found (found, held).
    const struct {
        std::uint32_t ms, foreground;
        bool ended, due, found, held;
    } steps[] = {
        {0, 5, false, true, false, false},      // the first look
        {1000, 5, false, false, false, false},  // nothing changed
        {9000, 5, false, false, false, false},  // however long
        {10000, 7, false, true, true, true},    // a game took the screen, held
        {20000, 7, false, false, true, true},
        {21000, 7, true, true, true, false},  // it ended: another one runs, unheld
        {22000, 7, false, false, true, false},
        {23000, 7, false, true, false, false},  // unheld: walked every 2 s
        {40000, 7, false, false, false, false},
        {142000, 7, false, false, false, false},
        {143000, 7, false, true, false, false},  // a sweep, in case one started unseen
    };
    for (const auto& step : steps) {
        EXPECT_EQ(watch.listDue(step.ms, step.foreground, step.ended), step.due) << step.ms;
        if (step.due) watch.listed(step.ms, step.found, step.held);
    }
}

}  // namespace
