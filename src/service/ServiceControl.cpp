// Starting and stopping the wireless service through the service manager, and
// ApplyStartMode, the one way the program changes the start mode and the
// service's running state together.
#include "shell/TF_nolvara.h"

namespace shell {

namespace {

using platform::ServiceConnection;
using platform::ServiceStatus;

// A service that stays pending without its checkpoint ever going back would
// hold the poll forever; after this long the poll gives up.
constexpr std::uint32_t kPollLimitMs = 30'000;

// Queries until the target state is reached, a query fails, the checkpoint
// goes back, or the time is up.
void pollUntil(ServiceConnection& service, ServiceStatus& status, std::uint32_t target,
               platform::System& system) {
    const std::uint32_t startedMs = system.tickCountMs();
    while (status.state != target) {
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
    return status.state == platform::kServiceStopped;
}

void TF_nolvara::ApplyStartMode(std::int32_t mode) {
    // A start that keeps failing re-applies the previous mode once, not again
    // and again.
    ApplyStartModeOnce(mode, true);
}

void TF_nolvara::ApplyStartModeOnce(std::int32_t mode, bool mayRetry) {
    if (controlWay != ControlWay::Service) {
        if (controlWay == ControlWay::NativeWifi)
            ApplyWirelessSettings(mode == core::kStartModeDisabled);
        UpdateStatus();
        return;
    }
    const std::string machine = platform.system.computerName();
    WriteStartMode(mode);
    if (StopWirelessService(machine, core::kServiceName) && mode >= 0 && mode <= 3 &&
        !StartWirelessService(machine, core::kServiceName)) {
        ShowPanel("main");
        L_Text.setText(LookupText("service_unabletostart"));
        if (mayRetry) ApplyStartModeOnce(state.startMode, false);
    }
    UpdateStatus();
}

void TF_nolvara::T_shutdowndelayTimer() {
    ApplyStartMode(core::kStartModeDisabled);
    T_shutdowndelay.setEnabled(false);
}

void TF_nolvara::T_servicestartTimer() {
    T_servicestart.setEnabled(false);
    if (chk_restartservice.checked())
        ApplyStartMode(core::kStartModeAutomatic);
    else
        state.connectionLost = false;
    T_ping.setEnabled(true);
}

void TF_nolvara::Menu_statusClick(std::int32_t mode) { ApplyStartMode(mode); }

}  // namespace shell
