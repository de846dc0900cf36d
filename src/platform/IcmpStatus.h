// The status codes of the system's ICMP service read as echo results, kept
// apart from the call that yields them so that every code can be held against
// the probe loop's decisions anywhere.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/IcmpEcho.h"

namespace platform {

// What one request to the system's ICMP service came to: `replied` tells
// whether it counted a reply, `status` is then that reply's status and
// otherwise the error it left; `elapsedMs` is the reply's round trip or the
// time waited. Silence and ICMP destination-unreachable or time-exceeded
// messages are results for the reply handler, whether counted as replies or
// not. Empty means the request failed: it could not be sent, or what came
// back was none of those, which the probe loop treats alike.
std::optional<EchoResult> EchoResultOfIcmpStatus(bool replied, std::uint32_t status,
                                                 std::uint32_t elapsedMs);

}  // namespace platform
