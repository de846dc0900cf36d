// The hidden run's notification icon: its look and tooltip follow what the
// probe loop decides; its menu opens the window, pauses control for an hour,
// or ends the run as the session's end would.
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::MakeTray() {
    const auto text = [this](const std::string& key) { return LookupText(key); };
    platform::NotifyEvents events;
    events.clicked = [this] { OpenWindow(core::kLagMeterSwitch); };
    events.hovered = [this] { RefreshTray(core::kTrayMinuteHoveredMs); };
    events.menu = [this, text] {
        tray->menuOfferedResume = pause.active();
        return core::TrayMenu(pause.active(), text);
    };
    events.chosen = [this](std::size_t index) {
        TrayChosen(static_cast<core::TrayCommand>(index));
    };
    events.shellRestarted = [this] {
        if (tray) tray->shellRestarted();
        RefreshTray();
    };
    tray = std::make_unique<core::TrayIcon>(platform.notify, std::move(events));
    RefreshTray();
}

core::TrayReason TF_nolvara::TrayReasonNow() const {
    if (pause.active()) return core::TrayReason::Paused;
    if (gate.reason == core::GateReason::OnBattery) return core::TrayReason::OnBattery;
    if (gate.reason == core::GateReason::WaitingForProgram)
        return core::TrayReason::WaitingForProgram;
    if (state.connectionLost) return core::TrayReason::LinkLost;
    if (state.awaitingFirstReply || T_shutdowndelay.enabled()) return core::TrayReason::Waiting;
    if (controlWay == ControlWay::NativeWifi && wireless.scanningForWeakSignal())
        return core::TrayReason::WeakSignal;
    return core::TrayReason::None;
}

void TF_nolvara::RefreshTray(std::uint32_t minuteMaxAgeMs) {
    if (!tray) return;
    if (!state.trayIcon) {
        tray->update(false, false, std::string());
        return;
    }
    const auto text = [this](const std::string& key) { return LookupText(key); };
    const std::uint32_t now = platform.system.tickCountMs();
    const std::string& minute = tray->minute(now, minuteMaxAgeMs, [&] {
        return core::TrayMinute(
            lagRecorder ? lagRecorder->lastMinute() : std::vector<core::LagSample>(), text);
    });
    const bool scanOn = WindowsMayScan();
    tray->update(true, scanOn,
                 core::TrayTip(scanOn, TrayReasonNow(), controlWay == ControlWay::Service,
                               pause.minutesLeft(now), gate.program, minute, text));
}

void TF_nolvara::TrayChosen(core::TrayCommand command) {
    switch (command) {
        case core::TrayCommand::LagMeter:
            OpenWindow(core::kLagMeterSwitch);
            break;
        case core::TrayCommand::Pause:
            // As the menu said when it opened: the hour may have run out since.
            if (tray && tray->menuOfferedResume)
                ResumeControl();
            else
                PauseControl();
            break;
        case core::TrayCommand::Open:
            OpenWindow("");
            break;
        case core::TrayCommand::End: {
            // As at the session's end: everything set back, the run ends; the
            // next log-on starts it again. The session goes on, so Windows'
            // wireless service is started too, once no tick can switch it off.
            const bool ending = state.sessionEnding;
            ShutdownQueryHandler();
            if (controlWay == ControlWay::Service && !ending)
                ApplyStartMode(core::kStartModeAutomatic);
            EndSessionHandler(true);
            break;
        }
    }
}

void TF_nolvara::PauseControl(std::uint32_t lengthMs) {
    if (!state.autoControl || state.sessionEnding || pause.active()) return;
    // The user's pause wins over a lag test under way.
    if (lagRecorder && lagRecorder->test().running()) {
        lagRecorder->test().end(core::LagTestState::Paused);
        lagRecorder->publishTest();
    }
    pause.start(platform.system.tickCountMs(), lengthMs);
    T_shutdowndelay.setEnabled(false);
    // A service that will not start leaves nothing to pause: the probe loop
    // goes on deciding, and the status line says why. One that this start
    // brought up needs no retry of an earlier failed start: it would stop
    // and start the running service during the pause.
    if (state.startMode != core::kStartModeAutomatic) {
        if (ApplyStartMode(core::kStartModeAutomatic))
            ForgetServiceStartRetry();
        else
            pause.end();
    }
    UpdateStatus();
}

void TF_nolvara::TakeScriptRequest(const core::ControlRequest& request) {
    if (request.kind == core::ControlRequest::Kind::Resume) {
        ResumeControl();
        return;
    }
    const std::uint32_t lengthMs = request.minutes * 60'000u;
    if (!pause.active()) {
        PauseControl(lengthMs);
        return;
    }
    // A pause under way runs for the new length from now.
    pause.start(platform.system.tickCountMs(), lengthMs);
    UpdateStatus();
}

void TF_nolvara::ResumeControl() {
    if (!pause.active()) return;
    pause.end();
    if (state.sessionEnding) return;
    // Decided as the probe loop decides: off while the router answers; else
    // as after a lost link, off at its next answer. Only a tick of the last
    // two seconds tells: after a sleep the newest is as old as the sleep,
    // and Windows is still reconnecting. Then as after the start: the first
    // answer, then the delay.
    const std::optional<core::LagResult> newest =
        lagRecorder ? lagRecorder->newestWithin(platform.system.tickCountMs(), kFreshAnswerMs)
                    : std::nullopt;
    if (newest == core::LagResult::Answer) {
        // A start of the service still being tried from before is over.
        ForgetServiceStartRetry();
        state.awaitingFirstReply = false;
        state.connectionLost = false;
        if (ControlWanted()) ApplyStartMode(core::kStartModeDisabled);
        ResumeProbeLoop();
    } else if (newest) {
        if (!state.awaitingFirstReply && state.startMode != core::kStartModeDisabled)
            state.connectionLost = true;
    } else if (state.startMode != core::kStartModeDisabled) {
        state.awaitingFirstReply = true;
        state.connectionLost = false;
    }
    UpdateStatus();
}

void TF_nolvara::OpenWindow(const std::string& arguments) {
    if (tray && !tray->mayOpen(platform.system.tickCountMs())) return;
    platform.shell.start(platform.system.programPath(), arguments);
}

}  // namespace shell
