#include "platform/IcmpStatus.h"

namespace platform {

namespace {

// The service's IP_STATUS codes, by value: the logic may not include the
// system's headers. Codes below the base are plain system errors.
constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kBase = 11000;
constexpr std::uint32_t kDestNetUnreachable = kBase + 2;
constexpr std::uint32_t kDestHostUnreachable = kBase + 3;
constexpr std::uint32_t kDestProtUnreachable = kBase + 4;
constexpr std::uint32_t kDestPortUnreachable = kBase + 5;
constexpr std::uint32_t kReqTimedOut = kBase + 10;
constexpr std::uint32_t kTtlExpiredTransit = kBase + 13;
constexpr std::uint32_t kTtlExpiredReassem = kBase + 14;
constexpr std::uint32_t kDestUnreachable = kBase + 40;
constexpr std::uint32_t kTimeExceeded = kBase + 41;

}  // namespace

std::optional<EchoResult> EchoResultOfIcmpStatus(bool replied, std::uint32_t status,
                                                 std::uint32_t elapsedMs) {
    using platform::EchoStatus;
    switch (status) {
        case kSuccess:
            // With no reply, a zero error is a call that failed without
            // saying why, not an echo reply.
            if (!replied) return std::nullopt;
            return platform::EchoResult{EchoStatus::EchoReply, elapsedMs};
        case kReqTimedOut:
            return platform::EchoResult{EchoStatus::Timeout, elapsedMs};
        // These may come with no reply counted and the status left as the
        // error, as for a host the local stack already knows it cannot reach;
        // either way the router did not answer, which is for the reply
        // handler to judge, not a failure to send.
        case kDestNetUnreachable:
        case kDestHostUnreachable:
        case kDestProtUnreachable:
        case kDestPortUnreachable:
        case kDestUnreachable:
            return platform::EchoResult{EchoStatus::DestinationUnreachable, elapsedMs};
        case kTtlExpiredTransit:
        case kTtlExpiredReassem:
        case kTimeExceeded:
            return platform::EchoResult{EchoStatus::TtlExceeded, elapsedMs};
        default:
            // IP_GENERAL_FAILURE among them, which is what a link that is down
            // gives: it has to stay a failure, since while the service is
            // disabled the reply handler ignores every result, and only a
            // failure brings the service back.
            return std::nullopt;
    }
}

}  // namespace platform
