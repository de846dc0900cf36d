// Starting and stopping the wireless service through the service manager, and
// ApplyStartMode, the one way the program changes the start mode and the
// service's running state together.
#include <algorithm>

#include "shell/TF_nolvara.h"

namespace shell {

namespace {

using platform::ServiceConnection;
using platform::ServiceStatus;

// A service that stays pending without its checkpoint ever going back would
// hold the poll forever; after this long the poll gives up.
constexpr std::uint32_t kPollLimitMs = 30'000;
// The pause between two queries: a tenth of the wait the service announces,
// within these bounds. A second at most keeps the answer to Windows' question
// before the session ends well within its patience.
constexpr std::uint32_t kPollPauseMinMs = 100;
constexpr std::uint32_t kPollPauseMaxMs = 1000;
bool isPending(std::uint32_t state) {
    return state == platform::kServiceStartPending || state == platform::kServiceStopPending;
}

// Queries until the target state is reached, the service settles in another
// state it will not leave by itself, a query fails, the checkpoint goes back,
// or the time is up. Between queries the thread pauses, answering the
// system's questions.
void pollUntil(ServiceConnection& service, ServiceStatus& status, std::uint32_t target,
               platform::System& system) {
    const std::uint32_t startedMs = system.tickCountMs();
    while (status.state != target && isPending(status.state)) {
        const std::uint32_t pauseMs =
            std::clamp(status.waitHintMs / 10, kPollPauseMinMs, kPollPauseMaxMs);
        system.pauseAnsweringMs(static_cast<int>(pauseMs));
        const std::uint32_t lastCheckpoint = status.checkpoint;
        if (!service.query(status) || status.checkpoint < lastCheckpoint) break;
        if (system.tickCountMs() - startedMs >= kPollLimitMs) break;
    }
}

}  // namespace

bool TF_nolvara::StartWirelessService(const std::string& machine, const std::string& service) {
    ServiceStatus status;
    auto connection = platform.services.open(machine, service, platform::ServiceManager::Access::Start);
    if (connection && connection->start() && connection->query(status))
        pollUntil(*connection, status, platform::kServiceRunning, platform.system);
    if (status.state == platform::kServiceRunning) state.serviceRunning = true;
    return status.state == platform::kServiceRunning;
}

bool TF_nolvara::StopWirelessService(const std::string& machine, const std::string& service) {
    ServiceStatus status;
    auto connection = platform.services.open(machine, service, platform::ServiceManager::Access::Stop);
    if (connection) {
        // A refused stop still reports the state: not running reads as stopped.
        if (connection->stop(status) && connection->query(status))
            pollUntil(*connection, status, platform::kServiceStopped, platform.system);
    }
    if (status.state == platform::kServiceStopped) state.serviceRunning = false;
    return status.state == platform::kServiceStopped;
}

bool TF_nolvara::ApplyStartMode(std::int32_t mode) {
    // A start that keeps failing re-applies the previous mode once, not again
    // and again.
    return ApplyStartModeOnce(mode, true);
}

bool TF_nolvara::ApplyStartModeOnce(std::int32_t mode, bool mayRetry) {
    // Once Windows has asked whether the session may end, the mode it was
    // answered with stays, even where a switch under way answered it.
    if (state.sessionEnding && mode != core::kStartModeAutomatic) return true;
    if (controlWay != ControlWay::Service) {
        if (controlWay == ControlWay::NativeWifi)
            ApplyWirelessSettings(mode == core::kStartModeDisabled);
        UpdateStatus();
        return true;
    }
    const std::string machine = platform.system.computerName();
    WriteStartMode(mode);
    bool started = true;
    if (StopWirelessService(machine, core::kServiceName) && mode >= 0 && mode <= 3 &&
        !StartWirelessService(machine, core::kServiceName)) {
        started = false;
        ShowPanel("main");
        L_Text.setText(LookupText("service_unabletostart"));
        if (mayRetry) ApplyStartModeOnce(state.startMode, false);
    }
    UpdateStatus();
    return started;
}

bool TF_nolvara::WirelessServiceRunning() {
    ServiceStatus status;
    auto connection = platform.services.open(platform.system.computerName(), core::kServiceName,
                                             platform::ServiceManager::Access::Start);
    return connection && connection->query(status) && status.state == platform::kServiceRunning;
}

void TF_nolvara::TakeOverService() {
    const std::int32_t mode = ReadStartMode();
    state.serviceRunning = WirelessServiceRunning();
    bool started = true;
    // A run that ended without the session's end (a crash, a kill, a power
    // cut) left the service disabled; with reconnection on, it is switched
    // on first so that Windows can connect, and off again once the router
    // has answered and the delay is over.
    if (mode == core::kStartModeDisabled && chk_restartservice.checked()) {
        started = ApplyStartMode(core::kStartModeAutomatic);
    } else if (mode == core::kStartModeAutomatic && !state.serviceRunning) {
        // Services outlive a log-off, and a cancelled end of the session
        // leaves the mode set back: the service may be stopped all the same.
        started = StartWirelessService(platform.system.computerName(), core::kServiceName);
        UpdateStatus();
    }
    if (started || state.sessionEnding) return;
    // Tried again as after a lost link whose start failed.
    state.connectionLost = true;
    state.serviceStartFailures = 1;
    T_servicestart.setIntervalMs(core::ServiceStartRetryMs(1));
    T_servicestart.setEnabled(true);
    UpdateStatus();
}

void TF_nolvara::T_shutdowndelayTimer() {
    // Over before the switch, so that the icon drawn with it no longer says
    // the run waits. While the gate is closed the delay just runs out:
    // scanning goes off once it opens.
    T_shutdowndelay.setEnabled(false);
    if (ControlWanted()) ApplyStartMode(core::kStartModeDisabled);
}

void TF_nolvara::ForgetServiceStartRetry() {
    state.serviceStartFailures = 0;
    T_servicestart.setEnabled(false);
    T_servicestart.setIntervalMs(kServiceStartDelayMs);
}

void TF_nolvara::ResumeProbeLoop() {
    if (!state.sessionEnding) T_ping.setEnabled(true);
}

void TF_nolvara::T_servicestartTimer() {
    T_servicestart.setEnabled(false);
    if (state.takeOverDue) {
        state.takeOverDue = false;
        TakeOverService();
        ResumeProbeLoop();
        return;
    }
    if (!chk_restartservice.checked()) {
        state.connectionLost = false;
        ForgetServiceStartRetry();
    } else if (ApplyStartMode(core::kStartModeAutomatic)) {
        // A start that the run's take-over had to try again: the router has
        // not answered yet, and its first answer arms the delay as ever.
        if (state.serviceStartFailures > 0 && state.awaitingFirstReply) state.connectionLost = false;
        ForgetServiceStartRetry();
    } else {
        // The link stays lost, and the probe loop waits for the service: it
        // is tried again while the link is lost, the status line saying why.
        ++state.serviceStartFailures;
        T_servicestart.setIntervalMs(core::ServiceStartRetryMs(state.serviceStartFailures));
        T_servicestart.setEnabled(true);
        UpdateStatus();
    }
    // The question before the session's end may have come during the switch.
    if (state.sessionEnding) {
        T_servicestart.setEnabled(false);
        return;
    }
    ResumeProbeLoop();
}

void TF_nolvara::Menu_statusClick(std::int32_t mode) { ApplyStartMode(mode); }

}  // namespace shell
