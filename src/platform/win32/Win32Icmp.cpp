#include "platform/win32/Win32Icmp.h"

// winsock2.h may follow windows.h only because WIN32_LEAN_AND_MEAN keeps the
// old winsock.h out; iphlpapi.h needs its types, and icmpapi.h those of both.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "core/IcmpStatus.h"

namespace platform::win32 {

namespace {

// One reply and the data it echoes, 8 bytes for an ICMP error message, and
// room for the status block that newer systems write behind the reply.
constexpr DWORD kReplyBufferBytes =
    sizeof(ICMP_ECHO_REPLY) + Win32IcmpEcho::kPayloadBytes + 8 + 2 * sizeof(void*);

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
    if (const auto result = core::EchoResultOfIcmpStatus(replied, status, elapsedMs))
        return *result;
    throw platform::IcmpSendError("The echo request to " + host + " failed (status " +
                                  std::to_string(status) + ").");
}

}  // namespace platform::win32
