// The probe loop of the hidden automatic-control run: once a second the router
// (or the chosen adapter's gateway) is pinged, and its answers, silences and
// send failures drive the wireless service.
#include <exception>

#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

namespace {
// At least this often the adapter list is walked again in DHCP mode.
constexpr std::int32_t kAdapterWalkTicks = 60;
}  // namespace

void TF_nolvara::StartConnectionLossHandling() {
    // The session's end was asked for while a switch was under way: the
    // timers stay off.
    if (state.sessionEnding) return;
    state.connectionLost = true;
    T_ping.setEnabled(false);
    T_servicestart.setEnabled(true);
}

void TF_nolvara::T_pingTimer() {
    if (pause.over(platform.system.tickCountMs())) ResumeControl();
    // The registry is read again only when it changed: settings saved by the
    // window or edited by hand, a start mode set from outside.
    if (!settingsWatch) settingsWatch = platform.registry.watch(settings::kSettingsKey + 1);
    if (!serviceWatch) serviceWatch = platform.registry.watch(core::kServiceKey + 1);
    const bool settingsChanged = settingsWatch->changed();
    if (settingsChanged) {
        LoadSettings();
        state.gatewayStale = true;
    }
    // Without the service its key tells nothing; the Native Wifi way has its
    // own round: a handle tried again, settings read back, signals followed.
    const bool serviceChanged = controlWay == ControlWay::Service && serviceWatch->changed();
    const bool wirelessChanged = controlWay == ControlWay::NativeWifi && wireless.tick();
    if (settingsChanged || serviceChanged || wirelessChanged) UpdateStatus();
    if (controlWay == ControlWay::NativeWifi) ArmSignalTimer();

    std::string gateway;
    if (chk_dhcp.checked()) {
        // The adapter list is walked again only when it may hold news: the
        // system reported a changed address, the gateway did not answer, the
        // settings changed; and once a minute, for systems that report no
        // changes.
        if (state.gatewayStale || platform.adapters.addressesChanged() ||
            ++state.ticksSinceAdapterWalk >= kAdapterWalkTicks) {
            state.currentGateway = AdapterQuery("getadaptergateway", state.adapterName);
            state.gatewayStale = state.currentGateway.empty();
            state.ticksSinceAdapterWalk = 0;
        }
        gateway = state.currentGateway;
        if (gateway.empty())
            gateway = state.lastGateway;
        else
            state.lastGateway = gateway;
        if (gateway.empty() && state.startMode != core::kStartModeAutomatic &&
            !state.connectionLost)
            StartConnectionLossHandling();
    }

    BeginLagTick();
    if (chk_dhcp.checked() && !gateway.empty()) {
        ICMP.host = gateway;
        Statusbar.setPanelText(1, "DHCP");
        ProbeHost();
    } else {
        Statusbar.setPanelText(1, "Static");
        ICMP.host.clear();
        // The list is copied: a reply handler may reload the settings.
        const std::vector<std::string> entries = list_ip.items();
        for (const std::string& entry : entries) {
            ICMP.host = entry.substr(1);
            ProbeHost();
        }
    }
    EndLagTick();
    RefreshTray();

    if (state.sessionEnding) return;
    if (state.updateCheckTicks < 1799) {
        ++state.updateCheckTicks;
    } else if (state.checkForUpdate) {
        state.updateCheckTicks = 0;
        PeriodicUpdateCheck();
    }
}

void TF_nolvara::ProbeHost() {
    if (ICMP.host.empty()) return;
    ICMP.ttl = 64;
    try {
        ICMP.ping(platform.icmp);
    } catch (const std::exception&) {
        // Whatever failed, sending or handling the reply, counts as no link.
        state.gatewayStale = true;
        if (state.startMode != core::kStartModeAutomatic && !state.connectionLost)
            StartConnectionLossHandling();
    }
}

void TF_nolvara::ICMPReply(const core::EchoResult& reply) {
    // A gateway that stops answering may have been replaced by another.
    if (!ICMP.answeredInTime(reply)) state.gatewayStale = true;
    if (lagRecorder) {
        lagRecorder->tick().probed(ICMP.answeredInTime(reply), reply.roundTripMs);
        // The lag test holds the switches until it ends.
        if (lagRecorder->test().running()) return;
    }
    // So does a pause: Windows scans until it ends, whatever the router does.
    if (pause.active()) return;
    // The link came back while the service would not start (another
    // program connected): no more tries, and the service stays off.
    if (state.serviceStartFailures > 0 && ICMP.answeredInTime(reply)) {
        ForgetServiceStartRetry();
        state.connectionLost = false;
        UpdateStatus();
        return;
    }
    if (state.startMode == core::kStartModeDisabled) return;
    if (ICMP.answeredInTime(reply)) {
        if (state.startMode == core::kStartModeUnreadable) return;
        if (state.awaitingFirstReply) {
            T_shutdowndelay.setEnabled(true);
            state.awaitingFirstReply = false;
            return;
        }
        UpdateStatus();
        if (state.startMode != core::kStartModeAutomatic && !state.connectionLost)
            StartConnectionLossHandling();
        if (state.startMode != core::kStartModeDisabled && state.connectionLost) {
            state.connectionLost = false;
            ApplyStartMode(core::kStartModeDisabled);
        }
    } else {
        if (state.startMode == core::kStartModeAutomatic || state.connectionLost) return;
        StartConnectionLossHandling();
    }
}

}  // namespace shell
