// The probe loop's rule without the window: the step a reply asks for, the
// hosts of a tick, and the DHCP gateway's memory.
#include <gtest/gtest.h>

#include "core/ProbeRule.h"
#include "core/ProgramState.h"

namespace {

using core::ReplyStep;
constexpr std::int32_t kAuto = core::kStartModeAutomatic;
constexpr std::int32_t kOff = core::kStartModeDisabled;
constexpr std::int32_t kUnreadable = core::kStartModeUnreadable;

TEST(ProbeRule, EachReplyAsksForOneStep) {
    // Each row: answered, held, retry pending, start mode, awaiting the first
    // reply, link lost; the step.
    const struct {
        core::ReplyFacts facts;
        ReplyStep step;
    } table[] = {
        {{true, false, false, kAuto, true, false}, ReplyStep::ArmDelay},
        {{true, false, false, kAuto, false, false}, ReplyStep::Answered},
        {{true, false, false, 3, false, true}, ReplyStep::Answered},
        {{true, true, false, kAuto, true, false}, ReplyStep::None},
        {{false, true, false, 3, false, false}, ReplyStep::None},
        {{true, false, true, kOff, true, true}, ReplyStep::LinkBack},
        {{false, false, true, 3, false, true}, ReplyStep::None},
        {{true, false, false, kOff, true, false}, ReplyStep::None},
        {{false, false, false, kOff, false, false}, ReplyStep::None},
        {{true, false, false, kUnreadable, true, false}, ReplyStep::None},
        {{false, false, false, kUnreadable, false, false}, ReplyStep::LinkLost},
        {{false, false, false, 3, false, false}, ReplyStep::LinkLost},
        {{false, false, false, kAuto, false, false}, ReplyStep::None},
        {{false, false, false, 3, false, true}, ReplyStep::None},
        // Standing aside: only the first answer and a lost link's return count.
        {{true, false, false, kAuto, false, false, true}, ReplyStep::None},
        {{true, false, false, kAuto, true, false, true}, ReplyStep::ArmDelay},
        {{true, false, false, kAuto, false, true, true}, ReplyStep::Answered},
        {{true, false, false, 3, false, false, true}, ReplyStep::Answered},
    };
    for (const auto& row : table) {
        const core::ReplyFacts& f = row.facts;
        EXPECT_EQ(core::StepOfReply(f), row.step)
            << f.answered << f.held << f.serviceRetryPending << " mode " << f.startMode
            << f.awaitingFirstReply << f.connectionLost;
    }
    // After an answer, with the mode read again.
    EXPECT_TRUE(core::LossBegins(3, false));
    EXPECT_FALSE(core::LossBegins(kAuto, false));
    EXPECT_FALSE(core::LossBegins(3, true));
    EXPECT_TRUE(core::ScanGoesOffOnAnswer(kAuto, true));
    EXPECT_FALSE(core::ScanGoesOffOnAnswer(kOff, true));
    EXPECT_FALSE(core::ScanGoesOffOnAnswer(kAuto, false));
}

TEST(ProbeRule, ATickPingsTheGatewayInDhcpModeAndTheListOtherwise) {
    const std::vector<std::string> routers{"10.0.0.1", "10.0.0.2"};
    const struct {
        bool dhcp;
        const char* gateway;
        std::vector<std::string> hosts;
        std::string mode;
    } table[] = {
        {true, "192.168.1.1", {"192.168.1.1"}, "DHCP"},
        {true, "", routers, "Static"},
        {false, "192.168.1.1", routers, "Static"},
    };
    for (const auto& row : table) {
        const core::ProbeTargets targets = core::TargetsOfTick(row.dhcp, row.gateway, routers);
        EXPECT_EQ(targets.hosts, row.hosts) << row.dhcp << row.gateway;
        EXPECT_EQ(targets.mode, row.mode) << row.dhcp << row.gateway;
    }
}

TEST(ProbeRule, TheGatewayIsSoughtOnNewsOrEachMinuteAndTheLastOneStandsIn) {
    core::GatewayMemory memory;
    int asked = 0;
    const auto changed = [&asked](bool answer) {
        return [&asked, answer] {
            ++asked;
            return answer;
        };
    };
    EXPECT_TRUE(memory.walkDue(changed(false))) << "stale at the start";
    EXPECT_EQ(asked, 0) << "the system's notice is kept for later";
    memory.walked("192.168.1.1");
    EXPECT_EQ(memory.target(), "192.168.1.1");
    EXPECT_TRUE(memory.walkDue(changed(true)));
    memory.walked("");
    EXPECT_EQ(memory.target(), "192.168.1.1") << "the last gateway stands in";
    EXPECT_TRUE(memory.walkDue(changed(false))) << "none found: stale";
    memory.walked("192.168.1.2");
    for (int tick = 1; tick < core::GatewayMemory::kWalkTicks; ++tick)
        EXPECT_FALSE(memory.walkDue(changed(false))) << tick;
    EXPECT_TRUE(memory.walkDue(changed(false))) << "a minute passed";
    memory.walked("192.168.1.2");
    memory.markStale();
    EXPECT_TRUE(memory.walkDue(changed(false)));
    EXPECT_EQ(memory.target(), "192.168.1.2");
}

}  // namespace
