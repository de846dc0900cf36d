#include "platform/win32/Win32Icmp.h"

// winsock2.h may follow windows.h only because WIN32_LEAN_AND_MEAN keeps the
// old winsock.h out; iphlpapi.h needs its types, and icmpapi.h those of both.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/IcmpStatus.h"
#include "platform/win32/Win32Error.h"

namespace platform::win32 {

namespace {

// One reply and the data it echoes, 8 bytes for an ICMP error message, and
// room for the status block that newer systems write behind the reply.
constexpr DWORD kReplyBufferBytes =
    sizeof(ICMP_ECHO_REPLY) + Win32IcmpEcho::kPayloadBytes + 8 + 2 * sizeof(void*);

// The address of dotted decimal text "a.b.c.d", each part 0 to 255, in
// network order as IcmpSendEcho takes it; INADDR_NONE for any other text and
// for the broadcast address. Read here rather than by ws2_32's inet_addr,
// which would load that whole library into a process that runs all day.
IPAddr dottedAddress(const std::string& host) {
    std::uint32_t address = 0;
    int parts = 0;
    size_t pos = 0;
    while (parts < 4) {
        size_t digits = 0;
        unsigned value = 0;
        while (pos < host.size() && host[pos] >= '0' && host[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(host[pos++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return INADDR_NONE;
        address |= value << (8 * parts++);
        if (parts < 4 && (pos >= host.size() || host[pos++] != '.')) return INADDR_NONE;
    }
    return pos == host.size() ? address : INADDR_NONE;
}

}  // namespace

void CloseIcmpHandle::operator()(HANDLE handle) const { IcmpCloseHandle(handle); }

platform::EchoResult Win32IcmpEcho::echo(const std::string& host, int ttl, int timeoutMs) {
    const IPAddr address = dottedAddress(host);
    if (address == INADDR_NONE)
        throw platform::IcmpSendError("Not an IPv4 address: \"" + host + "\".");

    if (!handle_) {
        handle_.reset(IcmpCreateFile());
        if (!handle_)
            throw Win32Error<platform::IcmpOpenError>("The ICMP service cannot be opened",
                                                      "IcmpCreateFile", GetLastError());
    }

    if (payload_.empty()) {
        payload_.resize(kPayloadBytes);
        for (size_t i = 0; i < payload_.size(); ++i) payload_[i] = static_cast<char>('a' + i % 23);
        replies_.resize(kReplyBufferBytes);
    }
    IP_OPTION_INFORMATION options{};
    options.Ttl = static_cast<UCHAR>(std::clamp(ttl, 1, 255));
    const DWORD waitMs = static_cast<DWORD>(std::max(timeoutMs, 0));

    const DWORD sentAt = GetTickCount();
    const DWORD count =
        IcmpSendEcho(handle_.get(), address, payload_.data(), static_cast<WORD>(payload_.size()),
                     &options, replies_.data(), static_cast<DWORD>(replies_.size()), waitMs);
    // Without a counted reply the status is only in the last error, and the
    // buffer's round trip is not to be trusted.
    const bool replied = count > 0;
    const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(replies_.data());
    const DWORD status = replied ? reply->Status : GetLastError();
    const DWORD elapsedMs = replied ? reply->RoundTripTime : GetTickCount() - sentAt;
    if (const auto result = platform::EchoResultOfIcmpStatus(replied, status, elapsedMs))
        return *result;
    throw platform::IcmpSendError("The echo request to " + host + " failed (status " +
                                  std::to_string(status) + ").");
}

}  // namespace platform::win32
