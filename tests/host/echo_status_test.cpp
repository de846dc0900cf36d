// The status codes of the system's ICMP service (ipexport.h, and system
// errors below 11000) as the probe loop receives them. Two runs tell its
// decisions apart: with the service set to start automatically only an
// answer acts (the first one arms the shutdown delay); with the service
// disabled every result is ignored and only a failed request acts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ProgramRig.h"
#include "platform/IcmpStatus.h"

namespace {

constexpr const char* kRouter = "192.168.0.1";

struct Case {
    std::uint32_t status;
    bool replied;
    std::uint32_t elapsedMs;
    const char* meaning;
};

struct FirstTick {
    bool delayArmed;
    bool connectionLost;
};

FirstTick firstTick(std::int32_t startMode, const Case& c) {
    ProgramRig p({"-hide"});
    // A run finds the service on; "disabled" is what it has switched it to.
    p.world.registry.setInteger(kService, "Start", 2);
    p.world.registry.setText(kIpList, "ip1", kRouter);
    p.world.registry.setInteger(kKey, "version", 6);
    p.world.services.state = platform::kServiceRunning;
    fakes::FakeIcmp::Answer answer;
    if (const auto result = platform::EchoResultOfIcmpStatus(c.replied, c.status, c.elapsedMs)) {
        answer.status = result->status;
        answer.roundTripMs = result->roundTripMs;
    } else {
        answer.sendFails = true;
    }
    p.world.icmp.answer(kRouter, answer);
    p.start();
    p.world.registry.setInteger(kService, "Start", startMode);
    if (startMode == 4) p.world.services.state = platform::kServiceStopped;
    p.world.runFor(1000);
    return {p.window.T_shutdowndelay.enabled(), p.window.state.connectionLost};
}

std::string describe(const Case& c) {
    return std::to_string(c.status) + (c.replied ? " in a reply, " : " with no reply, ") +
           c.meaning;
}

TEST(EchoStatus, AnswersSilenceAndIcmpErrorsAreLeftToTheReplyHandler) {
    const struct {
        Case c;
        bool answers;
    } cases[] = {
        {{0, true, 5, "IP_SUCCESS"}, true},
        {{0, true, 100, "IP_SUCCESS as late as the timeout"}, false},
        {{11010, false, 100, "IP_REQ_TIMED_OUT"}, false},
        {{11002, false, 3, "IP_DEST_NET_UNREACHABLE"}, false},
        {{11003, false, 3, "IP_DEST_HOST_UNREACHABLE"}, false},
        {{11003, true, 3, "IP_DEST_HOST_UNREACHABLE"}, false},
        {{11005, false, 3, "IP_DEST_PORT_UNREACHABLE"}, false},
        {{11013, false, 3, "IP_TTL_EXPIRED_TRANSIT"}, false},
        {{11013, true, 3, "IP_TTL_EXPIRED_TRANSIT"}, false},
        {{11014, false, 3, "IP_TTL_EXPIRED_REASSEM"}, false},
    };
    for (const auto& [c, answers] : cases) {
        EXPECT_EQ(firstTick(2, c).delayArmed, answers) << describe(c);
        EXPECT_FALSE(firstTick(4, c).connectionLost) << describe(c);
    }
}

TEST(EchoStatus, AFailedRequestIsALostLinkEvenWhileTheServiceIsDisabled) {
    const Case cases[] = {
        {11050, false, 0, "IP_GENERAL_FAILURE, as when the link is down"},
        {11050, true, 3, "IP_GENERAL_FAILURE, a malformed reply"},
        {11015, true, 3, "IP_PARAM_PROBLEM, an ICMP message of another kind"},
        {11016, true, 3, "IP_SOURCE_QUENCH, an ICMP message of another kind"},
        {11001, false, 0, "IP_BUF_TOO_SMALL"},
        {11008, false, 0, "IP_HW_ERROR"},
        {0, false, 0, "no reply and no reason"},
        {87, false, 0, "ERROR_INVALID_PARAMETER"},
        {6, false, 0, "ERROR_INVALID_HANDLE"},
        {8, false, 0, "ERROR_NOT_ENOUGH_MEMORY"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(firstTick(4, c).connectionLost) << describe(c);
        EXPECT_FALSE(firstTick(2, c).delayArmed) << describe(c);
    }
}

}  // namespace
