// ICMP echo through the system's ICMP service (IcmpCreateFile and friends),
// which needs no administrator rights and no raw socket, and exists on XP.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/IcmpEcho.h"

namespace platform::win32 {

// Owns one handle of the ICMP service and closes it exactly once.
class IcmpHandle {
public:
    IcmpHandle() = default;
    explicit IcmpHandle(HANDLE handle) : handle_(handle) {}
    ~IcmpHandle() { reset(); }
    IcmpHandle(IcmpHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    IcmpHandle& operator=(IcmpHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, INVALID_HANDLE_VALUE));
        return *this;
    }
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;

    HANDLE get() const { return handle_; }
    // IcmpCreateFile reports failure as INVALID_HANDLE_VALUE, not as null.
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE);

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class Win32IcmpEcho : public platform::IcmpEcho {
public:
    // Bytes of the echo request's data; their content is never looked at.
    static constexpr int kPayloadBytes = 32;

    // The host is an IPv4 address in dotted text; anything else cannot be
    // sent (IcmpSendError), and neither can 255.255.255.255, which inet_addr
    // cannot tell from an error. The time-to-live is kept within 1..255, the
    // timeout at 0 or more; a Timeout result carries the time waited. The
    // ICMP service is opened on the first request and kept for the later
    // ones; when it cannot be opened the request raises IcmpOpenError, and
    // the next one tries again.
    platform::EchoResult echo(const std::string& host, int ttl, int timeoutMs) override;

private:
    IcmpHandle handle_;
};

}  // namespace platform::win32
