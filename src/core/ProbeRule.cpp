#include "core/ProbeRule.h"

#include <algorithm>
#include <utility>

#include "core/ProgramState.h"

namespace core {

ProbeTargets TargetsOfTick(bool dhcp, const std::string& gateway,
                           std::vector<std::string> routers) {
    if (dhcp && !gateway.empty()) return {{gateway}, "DHCP"};
    return {std::move(routers), "Static"};
}

bool LossBegins(std::int32_t startMode, bool connectionLost) {
    return startMode != kStartModeAutomatic && !connectionLost;
}

ReplyStep StepOfReply(const ReplyFacts& facts) {
    if (facts.held) return ReplyStep::None;
    if (facts.serviceRetryPending && facts.answered) return ReplyStep::LinkBack;
    if (facts.startMode == kStartModeDisabled) return ReplyStep::None;
    if (!facts.answered)
        return LossBegins(facts.startMode, facts.connectionLost) ? ReplyStep::LinkLost
                                                                 : ReplyStep::None;
    // A mode that cannot be read is never switched from an answer.
    if (facts.startMode == kStartModeUnreadable) return ReplyStep::None;
    // Nor one left as it should be while control stands aside: the start mode
    // need not be read again each second.
    if (facts.standingAside && facts.startMode == kStartModeAutomatic &&
        !facts.awaitingFirstReply && !facts.connectionLost)
        return ReplyStep::None;
    return facts.awaitingFirstReply ? ReplyStep::ArmDelay : ReplyStep::Answered;
}

bool ScanGoesOffOnAnswer(std::int32_t startMode, bool connectionLost) {
    return startMode != kStartModeDisabled && connectionLost;
}

std::int32_t ServiceStartRetryMs(std::int32_t failures) {
    constexpr std::int32_t kFirstMs = 1000;
    constexpr std::int32_t kLongestMs = 30'000;
    std::int32_t pauseMs = kFirstMs;
    for (std::int32_t i = 1; i < failures && pauseMs < kLongestMs; ++i) pauseMs *= 2;
    return std::min(pauseMs, kLongestMs);
}

void GatewayMemory::walked(const std::string& gateway) {
    current_ = gateway;
    stale_ = gateway.empty();
    ticksSinceWalk_ = 0;
}

std::string GatewayMemory::target() {
    if (current_.empty()) return last_;
    last_ = current_;
    return current_;
}

}  // namespace core
