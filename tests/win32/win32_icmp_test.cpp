// Echo requests through the system's ICMP service, to loopback only: a target
// that stays silent needs a network of the tests' own (the end-to-end rig).
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/Win32Icmp.h"

namespace {

using platform::EchoStatus;

TEST(Win32IcmpEcho, LoopbackAnswersQuicklyAtTheTimesToLiveInUse) {
    platform::win32::Win32IcmpEcho icmp;
    // 64 for the probe loop, 128 for the test ping, and the ends of the range.
    for (const int ttl : {64, 128, 1, 255}) {
        const DWORD sentAt = GetTickCount();
        const platform::EchoResult result = icmp.echo("127.0.0.1", ttl, 1000);
        const DWORD tookMs = GetTickCount() - sentAt;
        EXPECT_EQ(result.status, EchoStatus::EchoReply) << "ttl " << ttl;
        EXPECT_LT(result.roundTripMs, 100u) << "ttl " << ttl;
        EXPECT_LT(tookMs, 500u) << "an answer ends the wait; ttl " << ttl;
    }
}

TEST(Win32IcmpEcho, TextThatIsNoAddressCannotBeSent) {
    platform::win32::Win32IcmpEcho icmp;
    for (const char* host : {"", "300.1.1.1", "1.2.3.4.5", "127.0.0.1x", "router.invalid", "1.2.3",
                             "1..2.3", "1.2.3.", " 1.2.3.4", "1.2.3.0004", "255.255.255.255"})
        EXPECT_THROW(icmp.echo(host, 64, 100), platform::IcmpSendError) << '"' << host << '"';
    // None of that spoils the client for the next request.
    EXPECT_EQ(icmp.echo("127.0.0.1", 64, 1000).status, EchoStatus::EchoReply);
}

// Loopback's broadcast address is refused without broadcast rights, with the
// same IP_GENERAL_FAILURE and no counted reply that a link that is down gives:
// that must reach the probe loop as a failure, not as a reply it may ignore.
TEST(Win32IcmpEcho, ARefusedRequestIsASendFailure) {
    platform::win32::Win32IcmpEcho icmp;
    EXPECT_THROW(icmp.echo("127.255.255.255", 64, 1000), platform::IcmpSendError);
}

}  // namespace
