#include "fakes/FakeNetwork.h"

#include <algorithm>

#include "fakes/Headless.h"

namespace fakes {

namespace {

class FakeConnection : public platform::ServiceConnection {
public:
    explicit FakeConnection(FakeServiceManager& m) : m_(m) { ++m_.openConnections; }
    ~FakeConnection() override { --m_.openConnections; }

    bool start() override {
        if (m_.state != platform::kServiceStopped) return false;
        ++m_.starts;
        m_.state = platform::kServiceStartPending;
        checkpoint_ = 0;
        startFails_ = m_.startFails || m_.failNextStarts > 0;
        if (m_.failNextStarts > 0) --m_.failNextStarts;
        return true;
    }
    bool stop(platform::ServiceStatus& status) override {
        status.state = m_.state;
        status.waitHintMs = m_.waitHintMs;
        status.checkpoint = 0;
        if (m_.state != platform::kServiceRunning) return false;
        ++m_.stops;
        m_.state = platform::kServiceStopPending;
        status.state = m_.state;
        checkpoint_ = 0;
        return true;
    }
    bool query(platform::ServiceStatus& status) override {
        ++m_.queries;
        // Every question to the manager takes a moment.
        m_.clock().sleep(1);
        const bool pending =
            m_.state == platform::kServiceStartPending || m_.state == platform::kServiceStopPending;
        if (pending) ++checkpoint_;
        const bool dropped = pending && m_.checkpointDropsAt > 0 &&
                             checkpoint_ >= static_cast<std::uint32_t>(m_.checkpointDropsAt);
        const bool hangs = m_.state == platform::kServiceStartPending && m_.startHangs;
        if (pending && !dropped && !hangs &&
            checkpoint_ > static_cast<std::uint32_t>(m_.pendingQueries)) {
            if (m_.state == platform::kServiceStopPending)
                m_.state = platform::kServiceStopped;
            else
                m_.state = startFails_ ? platform::kServiceStopped : platform::kServiceRunning;
        }
        status.state = m_.state;
        status.checkpoint =
            m_.state == platform::kServiceStartPending || m_.state == platform::kServiceStopPending
                ? (dropped ? 0 : checkpoint_)
                : 0;
        return true;
    }

private:
    FakeServiceManager& m_;
    std::uint32_t checkpoint_ = 0;
    bool startFails_ = false;
};

}  // namespace

std::unique_ptr<platform::ServiceConnection> FakeServiceManager::open(const std::string& machine,
                                                                      const std::string& service,
                                                                      Access) {
    openedWith.push_back(machine);
    if (!installed || service != "WZCSVC" || machine != expectedMachine) return nullptr;
    return std::make_unique<FakeConnection>(*this);
}

platform::EchoResult FakeIcmp::echo(const std::string& host, int ttl, int timeoutMs) {
    if (openFails) throw platform::IcmpOpenError("IcmpCreateFile failed");
    requests.push_back({host, ttl, timeoutMs});
    if (linkDown) throw platform::IcmpSendError("IcmpSendEcho failed: 11050");
    auto it = std::find_if(answers_.begin(), answers_.end(),
                           [&](const auto& a) { return a.first == host; });
    if (it == answers_.end()) {
        clock_.sleep(timeoutMs);
        return {platform::EchoStatus::Timeout, static_cast<std::uint32_t>(timeoutMs)};
    }
    if (it->second.sendFails) throw platform::IcmpSendError("IcmpSendEcho failed: 11050");
    clock_.sleep(static_cast<int>(it->second.roundTripMs));
    return {it->second.status, it->second.roundTripMs};
}

void FakeIcmp::answer(const std::string& host, Answer a) {
    silence(host);
    answers_.emplace_back(host, a);
}

void FakeIcmp::silence(const std::string& host) {
    std::erase_if(answers_, [&](const auto& a) { return a.first == host; });
}

}  // namespace fakes
