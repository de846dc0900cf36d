// The settings panel: Apply, the start-with-Windows entry, and the choice of
// the install folder.
#include <algorithm>

#include "platform/CommandLine.h"
#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::Menu_settingsClick() { ShowPanel("settings"); }

void TF_nolvara::Chk_autostartClick() { speed_installpath.setEnabled(Chk_autostart.checked()); }

void TF_nolvara::speed_installpathClick() {
    std::string folder = platform.dialogs.browseForFolder(speed_installpath.text(),
                                                          LookupText("choose_installpath"));
    if (folder.empty()) folder = state.installPath;
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    speed_installpath.setText(folder);
}

void TF_nolvara::SetAutostart(int mode) {
    const std::string chosen = speed_installpath.text();
    bool endedRunningCopy = false;
    // Only a run whose window may show moves the installation: the hidden,
    // updater and uninstall runs never do.
    if (mode == 1 && chosen != state.installPath && showMainForm) {
        // The new copy is put in place before the running one is ended: a
        // folder that cannot be made, or a copy that fails, leaves the
        // installation and its automatic control where they are.
        const std::string successor = chosen + state.exeName;
        if (!HoldsOwnProgram() || !CreateInstallFolder(chosen)) return;
        DeleteFileForced(successor);
        if (CopyFileNoOverwrite(successor)) {
            endedRunningCopy = TerminateByName(state.exeName);
            platform.system.sleepMs(150);
            DeleteFileForced(state.installPath + state.exeName);
            platform.system.sleepMs(150);
            RemoveFolder(state.installPath);
            state.installPath = chosen;
        }
    }
    if (endedRunningCopy) {
        platform.system.sleepMs(100);
        StartHeld(state.installPath + state.exeName, core::kHiddenRunSwitch);
    }
    auto reg = platform.registry.open();
    settings::Guarded([&] {
        if (!reg->openKey(settings::kRunKey, true)) return;
        if (mode == 1)
            reg->writeText(
                settings::kRunValue,
                platform::CommandLineOf(state.installPath + state.exeName, core::kHiddenRunSwitch));
        else
            reg->deleteValue(settings::kRunValue);
    });
}

void TF_nolvara::chk_dhcpClick() {
    B_manageip.setEnabled(!chk_dhcp.checked() && !policies.routers);
    B_dhcpconfig.setEnabled(chk_dhcp.checked() && !policies.adapter);
    // Unticked, a proposal is over: the user chooses, and its line goes.
    if (!proposing || chk_dhcp.checked()) return;
    proposing = false;
    if (box_settings.visible()) ShowPanel("settings");
}

void TF_nolvara::ShowManaged() {
    const settings::Policies& p = policies;
    // A managed control shows what the organisation set; it is never written.
    chk_restartservice.setEnabled(!p.restartService);
    Chk_update.setEnabled(!p.checkForUpdate);
    E_shutdowndelay.setEnabled(!p.shutdownDelay);
    chk_dhcp.setEnabled(!p.useDhcp);
    chk_dhcpClick();
    // Windows XP has no per-connection scan to let on: its service is switched.
    E_weaksignal.setEnabled(controlWay == ControlWay::NativeWifi && !p.weakSignal);
    Chk_trayicon.setEnabled(!p.trayIcon);
    Chk_onbattery.setEnabled(!p.onBattery);
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{&list_apps, &E_app, &B_appadd, &B_appdelete})
        control->setEnabled(!p.apps);
    const std::string line = p.any() ? LookupText("managed") : std::string();
    L_managed.setText(line);
    L_managedoptions.setText(line);
}

bool TF_nolvara::AutostartWanted() const {
    // A box that Windows' switch holds unticked changes nothing stored; one
    // ticked all the same (the unattended installation does) counts.
    return Chk_autostart.checked() || (state.startupSwitchedOff && state.autostart);
}

void TF_nolvara::B_applyClick() {
    const bool routerTarget = list_ip.count() > 0 || (chk_dhcp.checked() && !state.adapterName.empty());
    const bool autostart = AutostartWanted();
    // A folder that others may change, or that cannot be made, is not used,
    // and nothing of the settings changes: the user chooses another folder
    // and applies again. So with a program file that is not held: start with
    // Windows copies it.
    if (routerTarget && autostart) {
        if (!HoldsOwnProgram()) return;
        const FolderFitness fitness = PrepareInstallFolder(speed_installpath.text());
        if (fitness != FolderFitness::Fit) {
            ShowPanel("main");
            L_Text.setText(LookupTextNaming(fitness == FolderFitness::Untrusted
                                                ? "installfolder_untrusted"
                                                : "installfolder_notmade",
                                            speed_installpath.text()));
            return;
        }
    }
    state.checkForUpdate = Chk_update.checked();
    if (radio_lang_english.checked())
        state.language = "english";
    else if (radio_lang_german.checked())
        state.language = "german";

    std::string delay;
    for (char c : E_shutdowndelay.text())
        if (c >= '0' && c <= '9') delay += c;
    E_shutdowndelay.setText(delay.empty() ? std::string(1, '0') : delay);

    if (routerTarget) {
        SetAutostart(autostart ? 1 : 0);
        SaveSettings(autostart, chk_restartservice.checked(), state.language);
        LoadSettings();
        ShowPanel("main");
        L_Text.setText(LookupText("settingsapplied"));
    } else {
        SetAutostart(0);
        platform.dialogs.messageBox(LookupText("novalidip"), core::kApplicationTitle,
                                    platform::MessageIcon::None);
        SaveSettings(state.autostart, chk_restartservice.checked(), state.language);
    }
    SaveIPList(RouterTransferText());
    ApplyCaptions();
    LoadSettings();
    UpdateStatus();
    RemoveKeyIfDefault();
    RefreshInstalledCopy();
    UpdateStatus();
    SayWhenDeferred();
}

}  // namespace shell
