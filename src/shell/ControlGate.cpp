// When the hidden run controls at all: the chosen programs and the power
// source, looked at as often as the rule says, and the switches set as the
// gate turns. The probe loop's own rule goes on beneath it: while the gate
// is closed, an answer or the delay's end takes nothing off.
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::ChooseControlPrograms(const std::vector<std::string>& apps) {
    chosenPrograms = core::ChosenNames(
        apps, [this](const std::string& name) { return platform.processes.toLower(name); });
    programWatch.invalidate();
}

void TF_nolvara::UpdateGate() {
    const std::uint32_t now = platform.system.tickCountMs();
    // Only a run that lets Windows scan on battery asks where the power comes from.
    if (state.onBattery) {
        onBatteryPower = false;
    } else if (powerLook.due(now)) {
        onBatteryPower = platform.power.onBattery();
        powerLook.done(now);
    }
    if (chosenPrograms.empty()) {
        chosenRunning.clear();
        chosenHeld.reset();
    } else if (const std::uint32_t foreground = platform.processes.foregroundProcessId();
               programWatch.listDue(now, foreground, chosenHeld && chosenHeld->ended())) {
        // The program in front is in this session whatever its rights: the
        // screen is the session's.
        const auto found = core::ChosenRunning(
            chosenPrograms, platform.processes.snapshot(),
            [this](const std::string& name) { return platform.processes.toLower(name); },
            [this, foreground](std::uint32_t id) {
                return id == foreground || platform.processes.inOwnSession(id);
            });
        chosenHeld = found ? platform.processes.hold(found->id) : nullptr;
        chosenRunning = found ? found->exeFile : std::string();
        programWatch.listed(now, found.has_value(), chosenHeld != nullptr);
    }
    const core::Gate next =
        core::GateOf(state.onBattery, onBatteryPower, chosenPrograms.empty(), chosenRunning);
    if (next == gate) return;
    const bool turned = next.open() != gate.open();
    gate = next;
    if (turned) FollowGate();
    UpdateStatus();
}

void TF_nolvara::FollowGate() {
    const bool held = pause.active() || (lagRecorder && lagRecorder->test().running());
    if (held || state.sessionEnding || !state.autoControl) return;
    if (gate.open()) {
        // Off as the delay would take it off: once the router has answered
        // past it. A link that is lost, or not yet answered, waits for the
        // probe loop's rule; so does one that fell silent while control
        // stood aside, which nothing marked as lost.
        if (state.awaitingFirstReply || state.connectionLost || T_shutdowndelay.enabled() ||
            state.startMode == core::kStartModeDisabled ||
            state.startMode == core::kStartModeUnreadable)
            return;
        const std::optional<core::LagResult> newest =
            lagRecorder ? lagRecorder->newestWithin(platform.system.tickCountMs(), kFreshAnswerMs)
                        : std::nullopt;
        if (newest == core::LagResult::Answer)
            ApplyStartMode(core::kStartModeDisabled);
        else
            state.awaitingFirstReply = true;
    } else if (state.startMode == core::kStartModeDisabled &&
               (controlWay == ControlWay::NativeWifi ||
                gate.reason == core::GateReason::OnBattery)) {
        // Windows scans as after a lost link. For a program that ends, the
        // wireless service is left as it is: it starts when the link needs
        // it, and stopping and starting it with every game would cost more
        // than it saves. On battery it runs, to save power as it does.
        ApplyStartMode(core::kStartModeAutomatic);
    }
}

}  // namespace shell
