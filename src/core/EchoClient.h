// ICMP echo client as the window holds it: where to send, with which
// time-to-live, how long to wait, and the handler the reply is delivered to
// inside the request, before it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/IcmpEcho.h"

namespace core {

using platform::EchoResult;
using platform::EchoStatus;

struct EchoClient {
    std::string host;
    int ttl = 128;
    std::int32_t receiveTimeoutMs = 100;
    std::function<void(const EchoResult&)> onReply;

    // Sends one request; the reply event runs before this returns. A request
    // that cannot be sent raises the facility's error and delivers no reply.
    void ping(platform::IcmpEcho& icmp) {
        const EchoResult result = icmp.echo(host, ttl, receiveTimeoutMs);
        if (onReply) onReply(result);
    }

    // An answer counts when it is an echo reply that came back within the
    // receive timeout; the timeout is read as signed, the round trip as
    // unsigned, so a negative timeout never lets one through.
    bool answeredInTime(const EchoResult& result) const {
        return result.status == EchoStatus::EchoReply &&
               static_cast<std::int64_t>(receiveTimeoutMs) >
                   static_cast<std::int64_t>(result.roundTripMs);
    }
};

}  // namespace core
