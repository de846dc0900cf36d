// The rule of the hidden run's probe loop: which hosts a tick pings, when the
// link counts as lost, and what an answer or a silence asks of the run. Nothing
// here knows of the window, its timers or the echo client: the settings, the
// start mode and what the router did come in as values, the step to take goes
// out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace core {

// What one tick pings: in DHCP mode the chosen adapter's gateway while one is
// known, otherwise every router of the list, in order.
struct ProbeTargets {
    std::vector<std::string> hosts;
    // The status bar's second field.
    const char* mode = "Static";
};
ProbeTargets TargetsOfTick(bool dhcp, const std::string& gateway, std::vector<std::string> routers);

// Whether a silence, a failed send or a missing gateway begins the handling of
// a lost link: not while the service already starts automatically, nor while
// the loss is being handled.
bool LossBegins(std::int32_t startMode, bool connectionLost);

// What one reply (or its absence) asks for, before the switches move.
struct ReplyFacts {
    bool answered = false;
    // A lag test or a pause holds the switches: Windows scans until it ends.
    bool held = false;
    // A start of the wireless service failed while the link was lost and is
    // being tried again.
    bool serviceRetryPending = false;
    std::int32_t startMode = 0;
    bool awaitingFirstReply = true;
    bool connectionLost = false;
    // Control stands aside (no chosen program runs, or on battery): Windows
    // may scan, and an answer on a link that is up asks for nothing.
    bool standingAside = false;
};
enum class ReplyStep {
    None,
    // The link came back while the service would not start (another program
    // connected): no more tries, the link counts as back, the service stays off.
    LinkBack,
    // The link's first answer: scanning goes off once the delay is over.
    ArmDelay,
    // The router answers: the start mode is read again, then LossBegins and
    // ScanGoesOffOnAnswer say what follows.
    Answered,
    // The router fell silent: the handling of a lost link begins.
    LinkLost,
};
ReplyStep StepOfReply(const ReplyFacts& facts);

// After an answer, with the start mode read again: whether the handling of a
// lost link begins first (a mode that someone else set), and whether scanning
// then goes off at once, the loss ending.
bool ScanGoesOffOnAnswer(std::int32_t startMode, bool connectionLost);

// After a start of the wireless service failed while the link is lost, the
// pause before the next try: a second, doubled with each failure in a row, up
// to half a minute.
std::int32_t ServiceStartRetryMs(std::int32_t failures);

// DHCP mode's memory of the gateway from tick to tick. The adapter list is
// walked again only when it may hold news, and a gateway that cannot be found
// for a while is replaced by the last one that was.
class GatewayMemory {
public:
    // At least this often the adapter list is walked again.
    static constexpr std::int32_t kWalkTicks = 60;

    // Whether this tick walks the list: the gateway is stale (the settings
    // changed, it fell silent, a send failed), the system reported a changed
    // address, or a minute of ticks passed. The system is asked only when the
    // gateway is not stale, so that its notice is not spent on a walk that
    // happens anyway.
    template <typename AddressesChanged>
    bool walkDue(AddressesChanged addressesChanged) {
        return stale_ || addressesChanged() || ++ticksSinceWalk_ >= kWalkTicks;
    }
    // What the walk found; empty when the adapter has no gateway.
    void walked(const std::string& gateway);
    // The gateway to ping: the last walk's, or the last one found before it.
    std::string target();
    void markStale() { stale_ = true; }

private:
    std::string current_;
    std::string last_;
    bool stale_ = true;
    std::int32_t ticksSinceWalk_ = 0;
};

}  // namespace core
