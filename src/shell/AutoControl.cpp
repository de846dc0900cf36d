// The status line and Control menu, the hand-over from the window to a hidden
// automatic-control process, and what that process does when the session ends.
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::UpdateStatus() {
    const std::int32_t mode = ReadStartMode();
    // Nothing starts at log-on whatever the window does: that comes first.
    const bool startupOff = state.autostart && state.startupSwitchedOff;
    std::string status = LookupText(startupOff ? "status_startupoff" : StatusTextKey(mode));
    // Why the hidden run stands aside, where it does.
    if (gate.reason == core::GateReason::WaitingForProgram)
        status += LookupText("tray_waitingprogram");
    else if (gate.reason == core::GateReason::OnBattery)
        status += LookupText("tray_onbattery");
    Statusbar.setPanelText(0, status);
    state.startMode = mode;
    ui::MenuItem* items[] = {&Menu_status0, &Menu_status1, &Menu_status2, &Menu_status3,
                             &Menu_status4};
    for (ui::MenuItem* item : items) item->setEnabled(true);
    Menu_autocontrol.setEnabled(true);
    Menu_uninstall.setEnabled(platform.files.fileExists(state.installPath + state.exeName));
    if (controlWay != ControlWay::Service) {
        // The start modes are the wireless service's; without it they mean nothing.
        for (ui::MenuItem* item : items) item->setEnabled(false);
        Menu_autocontrol.setEnabled(mode != core::kStartModeUnreadable);
    } else if (mode >= 0 && mode <= 4) {
        // The current mode shows and cannot be chosen again.
        items[mode]->setEnabled(false);
        items[mode]->setChecked(true);
    } else if (mode == core::kStartModeUnreadable) {
        for (ui::MenuItem* item : items) item->setEnabled(false);
        Menu_autocontrol.setEnabled(false);
    }
    RefreshTray();
}

void TF_nolvara::Menu_autocontrolClick() {
    ShowPanel("main");
    const bool canEnable = (list_ip.count() > 0 && state.startMode != core::kStartModeUnreadable) ||
                           chk_dhcp.checked();
    if (!canEnable) {
        E_routerip.setText(LookupText("routerinput"));
        ShowPanel("settings");
        return;
    }
    // The window has administrator rights, and so has what it starts: the
    // installed copy must lie where no one else may have changed it.
    const std::string installed = state.installPath + state.exeName;
    if (!HoldsOwnProgram()) return;
    if (!CreateInstallFolder(state.installPath)) {
        L_Text.setText(LookupTextNaming("installfolder_untrusted", state.installPath));
        return;
    }
    const bool placed = CopyFileNoOverwrite(installed);
    SaveSettings(true, chk_restartservice.checked(), state.language);
    platform.dialogs.messageBox(LookupText("enable_automatic"), core::kApplicationTitle,
                                platform::MessageIcon::None);
    // A copy already there (one that a hidden run holds, say) lies in that
    // folder, which only administrators may change.
    if (placed)
        StartHeld(installed, core::kHiddenRunSwitch);
    else
        StartOwn(installed, core::kHiddenRunSwitch);
    // The window stays to say so: closed, it would leave the user guessing.
    if (SayWhenDeferred()) return;
    platform.system.sleepMs(100);
    close();
    state.autoControl = true;
}

bool TF_nolvara::ShutdownQueryHandler() {
    // The question is never refused, whatever fails below: the program never
    // keeps a session from ending.
    try {
        // Windows may end the process at any moment from here on: once the
        // service is set back to automatic, no timer of the probe loop may set
        // it to disabled again.
        state.sessionEnding = true;
        for (ui::Timer* timer : {&T_ping, &T_shutdowndelay, &T_servicestart})
            timer->setEnabled(false);
        // A cancelled end takes control up as after the start, unpaused.
        pause.end();
        ArmSignalTimer();
        // Nor may an update end or replace anything now: a transfer under way
        // is abandoned, and a partial download deleted.
        updateTransfer.reset();
        if (lagRecorder && lagRecorder->test().running()) {
            lagRecorder->test().end();
            lagRecorder->publishTest();
        }
        if (state.autoControl) {
            if (controlWay == ControlWay::Service) WriteStartMode(core::kStartModeAutomatic);
            // Also with the handle lost: no handle opened later may set "off".
            if (wireless.changed() && wireless.scanOff()) ApplyWirelessSettings(false);
            UpdateStatus();
        }
    } catch (...) {
    }
    return true;
}

void TF_nolvara::EndSessionHandler(bool ending) {
    try {
        if (ending) {
            // An end that came without its question sets everything back too.
            if (!state.sessionEnding) ShutdownQueryHandler();
            // The process may be ended any moment now: the icon goes first.
            tray.reset();
            ReleaseWirelessLink();
            close();
            return;
        }
        // Another program cancelled the end: control is taken up again as
        // after the start, waiting for the router's first answer.
        state.sessionEnding = false;
        if (!state.autoControl) return;
        state.awaitingFirstReply = true;
        state.connectionLost = false;
        ForgetServiceStartRetry();
        // The question set the mode back but may have left the service
        // stopped; that is seen to from the service-start timer, not within
        // the system's message.
        if (controlWay == ControlWay::Service) {
            state.takeOverDue = true;
            T_servicestart.setEnabled(true);
        } else {
            ResumeProbeLoop();
        }
        UpdateStatus();
    } catch (...) {
    }
}

}  // namespace shell
