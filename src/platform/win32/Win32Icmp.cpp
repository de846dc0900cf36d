#include "platform/win32/Win32Icmp.h"

// winsock2.h may follow windows.h only because WIN32_LEAN_AND_MEAN keeps the
// old winsock.h out; iphlpapi.h needs its types, and icmpapi.h those of both.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <array>
#include <vector>

namespace platform::win32 {

namespace {

// One reply and the data it echoes, 8 bytes for an ICMP error message, and
// room for the status block that newer systems write behind the reply.
constexpr DWORD kReplyBufferBytes =
    sizeof(ICMP_ECHO_REPLY) + Win32IcmpEcho::kPayloadBytes + 8 + 2 * sizeof(void*);

platform::EchoStatus statusOf(ULONG replyStatus) {
    switch (replyStatus) {
        case IP_SUCCESS:
            return platform::EchoStatus::EchoReply;
        case IP_DEST_NET_UNREACHABLE:
        case IP_DEST_HOST_UNREACHABLE:
        case IP_DEST_PROT_UNREACHABLE:
        case IP_DEST_PORT_UNREACHABLE:
        case IP_DEST_UNREACHABLE:
            return platform::EchoStatus::DestinationUnreachable;
        case IP_TTL_EXPIRED_TRANSIT:
        case IP_TTL_EXPIRED_REASSEM:
        case IP_TIME_EXCEEDED:
            return platform::EchoStatus::TtlExceeded;
        case IP_REQ_TIMED_OUT:
            return platform::EchoStatus::Timeout;
        default:
            return platform::EchoStatus::Error;
    }
}

}  // namespace

void CloseIcmpHandle::operator()(HANDLE handle) const { IcmpCloseHandle(handle); }

platform::EchoResult Win32IcmpEcho::echo(const std::string& host, int ttl, int timeoutMs) {
    // XP's inet_addr reads an empty text as 0.0.0.0, and INADDR_NONE is also
    // what it answers for text that is no address.
    const IPAddr address = host.empty() ? INADDR_NONE : inet_addr(host.c_str());
    if (address == INADDR_NONE)
        throw platform::IcmpSendError("Not an IPv4 address: \"" + host + "\".");

    if (!handle_) {
        handle_.reset(IcmpCreateFile());
        if (!handle_)
            throw platform::IcmpOpenError("The ICMP service cannot be opened (error " +
                                          std::to_string(GetLastError()) + ").");
    }

    std::array<char, kPayloadBytes> payload;
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 23);
    IP_OPTION_INFORMATION options{};
    options.Ttl = static_cast<UCHAR>(std::clamp(ttl, 1, 255));
    std::vector<unsigned char> replies(kReplyBufferBytes);
    const DWORD waitMs = static_cast<DWORD>(std::max(timeoutMs, 0));

    const DWORD sentAt = GetTickCount();
    const DWORD count =
        IcmpSendEcho(handle_.get(), address, payload.data(), static_cast<WORD>(payload.size()),
                     &options, replies.data(), static_cast<DWORD>(replies.size()), waitMs);
    if (count == 0) {
        const DWORD error = GetLastError();
        // Silence within the timeout is an answer of its own, not a failure.
        if (error == IP_REQ_TIMED_OUT)
            return {platform::EchoStatus::Timeout, GetTickCount() - sentAt};
        throw platform::IcmpSendError("The echo request to " + host + " cannot be sent (error " +
                                      std::to_string(error) + ").");
    }
    const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(replies.data());
    return {statusOf(reply->Status), reply->RoundTripTime};
}

}  // namespace platform::win32
