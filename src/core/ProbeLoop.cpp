// The probe loop of the hidden automatic-control run: once a second the router
// (or the chosen adapter's gateway) is pinged, and its answers, silences and
// send failures drive the wireless service.
#include <exception>

#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::StartConnectionLossHandling() {
    state.connectionLost = true;
    T_ping.setEnabled(false);
    T_servicestart.setEnabled(true);
}

void TF_nolvara::T_pingTimer() {
    UpdateStatus();
    LoadSettings();

    std::string gateway;
    if (chk_dhcp.checked()) {
        gateway = AdapterQuery("getadaptergateway", state.adapterName);
        if (gateway.empty())
            gateway = state.lastGateway;
        else
            state.lastGateway = gateway;
        if (gateway.empty() && state.startMode != core::kStartModeAutomatic && !state.connectionLost)
            StartConnectionLossHandling();
    }

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
        if (state.startMode != core::kStartModeAutomatic && !state.connectionLost)
            StartConnectionLossHandling();
    }
}

void TF_nolvara::ICMPReply(const core::EchoResult& reply) {
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
