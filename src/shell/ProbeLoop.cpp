// The probe loop of the hidden automatic-control run: once a second the router
// (or the chosen adapter's gateway) is pinged, and its answers, silences and
// send failures drive the wireless service.
#include <exception>
#include <string>
#include <vector>

#include "settings/Settings.h"
#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

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
    if (lagRecorder)
        if (const auto request = lagRecorder->controlAsked()) TakeScriptRequest(*request);
    UpdateGate();
    // The registry is read again only when it changed: settings saved by the
    // window or edited by hand, a start mode set from outside.
    // So is the policy key, which Group Policy writes at its refresh.
    if (!settingsWatch) settingsWatch = platform.registry.watch(settings::kSettingsKey + 1);
    if (!policyWatch) policyWatch = platform.registry.watch(settings::kPolicyKey + 1);
    if (!serviceWatch) serviceWatch = platform.registry.watch(core::kServiceKey + 1);
    // Both are looked at every tick: each watch is armed anew by its look.
    const bool ownChanged = settingsWatch->changed();
    const bool settingsChanged = policyWatch->changed() || ownChanged;
    if (settingsChanged) {
        LoadSettings();
        gatewayMemory.markStale();
    }
    // Without the service its key tells nothing; the Native Wifi way has its
    // own round: a handle tried again, settings read back, signals followed.
    const bool serviceChanged = controlWay == ControlWay::Service && serviceWatch->changed();
    const bool wirelessChanged = controlWay == ControlWay::NativeWifi && wireless.tick();
    if (settingsChanged || serviceChanged || wirelessChanged) UpdateStatus();
    if (controlWay == ControlWay::NativeWifi) ArmSignalTimer();

    std::string gateway;
    if (chk_dhcp.checked()) {
        if (gatewayMemory.walkDue([this] { return platform.adapters.addressesChanged(); }))
            gatewayMemory.walked(AdapterQuery("getadaptergateway", state.adapterName));
        gateway = gatewayMemory.target();
        if (gateway.empty() && core::LossBegins(state.startMode, state.connectionLost))
            StartConnectionLossHandling();
    }

    BeginLagTick();
    // The list is copied: a reply handler may reload the settings.
    const core::ProbeTargets targets =
        core::TargetsOfTick(chk_dhcp.checked(), gateway, RouterAddresses());
    Statusbar.setPanelText(1, targets.mode);
    ICMP.host.clear();
    for (const std::string& host : targets.hosts) {
        ICMP.host = host;
        ProbeHost();
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
        gatewayMemory.markStale();
        if (core::LossBegins(state.startMode, state.connectionLost)) StartConnectionLossHandling();
    }
}

void TF_nolvara::ICMPReply(const core::EchoResult& reply) {
    const bool answered = ICMP.answeredInTime(reply);
    // A gateway that stops answering may have been replaced by another.
    if (!answered) gatewayMemory.markStale();
    if (lagRecorder) lagRecorder->tick().probed(answered, reply.roundTripMs);
    // The lag test holds the switches until it ends, and so does a pause.
    const bool held = (lagRecorder && lagRecorder->test().running()) || pause.active();
    switch (core::StepOfReply({answered, held, state.serviceStartFailures > 0, state.startMode,
                               state.awaitingFirstReply, state.connectionLost, !ControlWanted()})) {
        case core::ReplyStep::None:
            return;
        case core::ReplyStep::LinkBack:
            ForgetServiceStartRetry();
            state.connectionLost = false;
            UpdateStatus();
            return;
        case core::ReplyStep::ArmDelay:
            T_shutdowndelay.setEnabled(true);
            state.awaitingFirstReply = false;
            return;
        case core::ReplyStep::Answered:
            UpdateStatus();
            if (core::LossBegins(state.startMode, state.connectionLost))
                StartConnectionLossHandling();
            if (core::ScanGoesOffOnAnswer(state.startMode, state.connectionLost)) {
                state.connectionLost = false;
                // With the gate closed the link is back, and Windows may scan.
                if (ControlWanted()) ApplyStartMode(core::kStartModeDisabled);
            }
            return;
        case core::ReplyStep::LinkLost:
            StartConnectionLossHandling();
            return;
    }
}

}  // namespace shell
