// ICMP echo client as the window holds it: where to send, with which
// time-to-live, how long to wait, and the handler the reply is delivered to
// (inside the request, before it returns).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace core {

enum class EchoStatus { EchoReply, Error, Timeout, DestinationUnreachable, TtlExceeded };

struct EchoReply {
    EchoStatus status = EchoStatus::Error;
    std::uint32_t roundTripMs = 0;
};

struct EchoClient {
    std::string host;
    int ttl = 128;
    std::int32_t receiveTimeoutMs = 100;
    std::function<void(const EchoReply&)> onReply;
};

}  // namespace core
