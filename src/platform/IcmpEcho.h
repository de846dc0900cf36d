// ICMP echo through the system's ICMP service.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/SystemError.h"

namespace platform {

enum class EchoStatus { EchoReply, Error, Timeout, DestinationUnreachable, TtlExceeded };

struct EchoResult {
    EchoStatus status = EchoStatus::Error;
    std::uint32_t roundTripMs = 0;
};

// The request could not be sent (no route, the link is down, a host name that
// does not resolve), or what came back is none of the results above.
class IcmpSendError : public SystemError {
public:
    using SystemError::SystemError;
};

// The system's ICMP service could not be opened at all.
class IcmpOpenError : public SystemError {
public:
    using SystemError::SystemError;
};

class IcmpEcho {
public:
    virtual ~IcmpEcho() = default;
    // Sends one echo request with the time-to-live and waits up to timeoutMs
    // for the answer. No answer in time is a Timeout result, and an ICMP
    // destination-unreachable or time-exceeded message a result of its own,
    // not an error.
    virtual EchoResult echo(const std::string& host, int ttl, int timeoutMs) = 0;
};

}  // namespace platform
