// A wireless service behind a fake service manager, and a fake ICMP service
// whose answers the test scripts.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AdapterInfo.h"
#include "platform/IcmpEcho.h"
#include "platform/ServiceManager.h"

namespace fakes {

class VirtualClock;

class FakeServiceManager : public platform::ServiceManager {
public:
    explicit FakeServiceManager(VirtualClock& clock) : clock_(clock) {}

    std::unique_ptr<platform::ServiceConnection> open(const std::string& machine,
                                                      const std::string& service,
                                                      Access access) override;

    // The service as it stands; absent means it is not installed.
    bool installed = true;
    std::uint32_t state = platform::kServiceStopped;
    // A start the manager accepts but after which the service stops again:
    // every one, or as many as failNextStarts counts down.
    bool startFails = false;
    int failNextStarts = 0;
    // The wait a pending service announces with each status.
    std::uint32_t waitHintMs = 0;
    // A start that stays pending with a checkpoint that never goes back.
    bool startHangs = false;
    // Queries that a start or stop stays pending for, its checkpoint rising.
    int pendingQueries = 2;
    // From this query of a pending start or stop on, the checkpoint reads 0
    // while the service stays pending, as a service that began anew; 0: never.
    int checkpointDropsAt = 0;
    std::string expectedMachine = "TESTHOST";

    int starts = 0;
    int stops = 0;
    int queries = 0;
    int openConnections = 0;
    std::vector<std::string> openedWith;  // machine names asked for

    VirtualClock& clock() { return clock_; }

private:
    VirtualClock& clock_;
};

class FakeIcmp : public platform::IcmpEcho {
public:
    explicit FakeIcmp(VirtualClock& clock) : clock_(clock) {}

    struct Request {
        std::string host;
        int ttl;
        int timeoutMs;
    };
    // How each host answers; a host without an entry times out.
    struct Answer {
        platform::EchoStatus status = platform::EchoStatus::EchoReply;
        std::uint32_t roundTripMs = 1;
        bool sendFails = false;
    };
    platform::EchoResult echo(const std::string& host, int ttl, int timeoutMs) override;
    void answer(const std::string& host, Answer a);
    void silence(const std::string& host);
    // Every request fails to send, as when the link is down.
    bool linkDown = false;
    // The ICMP service itself cannot be opened.
    bool openFails = false;
    std::vector<Request> requests;

private:
    VirtualClock& clock_;
    std::vector<std::pair<std::string, Answer>> answers_;
};

// The adapter list as a test lays it out; the walk counts how often it is read.
class FakeAdapters : public platform::AdapterInfo {
public:
    std::vector<platform::AdapterRecord> adapters() override {
        ++walks;
        return list;
    }
    bool addressesChanged() override {
        const bool changed = addressChangeReported;
        addressChangeReported = false;
        return changed;
    }
    std::vector<platform::AdapterRecord> list;
    int walks = 0;
    // What the system has reported since the last look; a test that changes
    // an address sets it, as the system would (a first look reads anyway).
    bool addressChangeReported = true;
};

}  // namespace fakes
