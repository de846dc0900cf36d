// ICMP echo through the system's ICMP service (IcmpCreateFile and friends),
// which needs no administrator rights and no raw socket, and exists on XP.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/IcmpEcho.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

// A handle of the ICMP service; IcmpCreateFile reports failure as
// INVALID_HANDLE_VALUE, not as null.
struct CloseIcmpHandle {
    void operator()(HANDLE handle) const;
    static bool failed(HANDLE handle) { return handle == INVALID_HANDLE_VALUE; }
};
using IcmpHandle = UniqueHandle<HANDLE, CloseIcmpHandle>;

class Win32IcmpEcho : public platform::IcmpEcho {
public:
    // Bytes of the echo request's data; their content is never looked at.
    static constexpr int kPayloadBytes = 32;

    // The host is an IPv4 address in dotted decimal text; anything else
    // cannot be sent (IcmpSendError), and neither can 255.255.255.255. The time-to-live is kept within 1..255, the
    // timeout at 0 or more. A result without a counted reply carries the time
    // waited; a status that is no result (core::EchoResultOfIcmpStatus)
    // raises IcmpSendError. The ICMP service is opened on the first request
    // and kept for the later ones; when it cannot be opened the request
    // raises IcmpOpenError, and the next one tries again.
    platform::EchoResult echo(const std::string& host, int ttl, int timeoutMs) override;

private:
    IcmpHandle handle_;
    // The request's data and the reply's room, made once: the probe loop
    // sends one request a second all day.
    std::vector<char> payload_;
    std::vector<unsigned char> replies_;
};

}  // namespace platform::win32
