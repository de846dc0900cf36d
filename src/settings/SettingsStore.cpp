// The settings key in the machine-wide registry: loading it into the program
// state and the settings panel, saving it, and removing it once every setting
// is back at its default so that an untouched installation leaves nothing.
#include "core/Convert.h"
#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

using settings::kSettingsKey;

std::string TF_nolvara::GetWindowsDir() {
    std::string dir = platform.system.windowsDirectory();
    while (!dir.empty() && dir.front() == ' ') dir.erase(dir.begin());
    while (!dir.empty() && dir.back() == ' ') dir.pop_back();
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

std::string TF_nolvara::DefaultInstallPath() { return GetWindowsDir().substr(0, 3) + "Nolvara\\"; }

void TF_nolvara::LoadSettings() {
    auto reg = platform.registry.open();
    // A key that cannot be opened reads as empty: every value takes its default.
    const bool opened = reg->openKey(kSettingsKey, true);
    // On its own: a value of the wrong type means the default and stops
    // nothing else. Read before the router list moves the accessor away.
    std::optional<std::int64_t> weakSignal;
    settings::Guarded([&] {
        if (opened && reg->valueExists("weaksignal")) weakSignal = reg->readInteger("weaksignal");
    });
    wireless.setWeakSignalThreshold(core::WeakSignalThreshold(weakSignal));
    // Shown unless switched off; anything but 0 shows it.
    std::optional<std::int64_t> trayIcon;
    settings::Guarded([&] {
        if (opened && reg->valueExists("trayicon")) trayIcon = reg->readInteger("trayicon");
    });
    state.trayIcon = !trayIcon || *trayIcon != 0;
    Chk_trayicon.setChecked(state.trayIcon);
    state.startupSwitchedOff = settings::StartupSwitchedOff(platform.registry);
    // Windows' switch wins: the box shows what happens at log-on, and only
    // Windows' own settings turn it on again.
    Chk_autostart.setEnabled(!state.startupSwitchedOff);
    settings::Guarded([&] {
        const std::int32_t storedAutostart =
            reg->valueExists("autostart") ? reg->readInteger("autostart") : 0;
        SetAutostart(storedAutostart);
        if (reg->valueExists("language")) state.language = reg->readText("language");
        if (state.language != "german" && state.language != "english") state.language = "english";
        ApplyCaptions();
        if (state.language == "german")
            radio_lang_german.setChecked(true);
        else
            radio_lang_english.setChecked(true);
        if (reg->valueExists("use_dhcp")) chk_dhcp.setChecked(reg->readInteger("use_dhcp") == 1);
        if (reg->valueExists("adapter")) state.adapterName = reg->readText("adapter");
        const std::int32_t restart =
            reg->valueExists("restartservice") ? reg->readInteger("restartservice") : 1;
        chk_restartservice.setChecked(restart == 1);
        state.installPath =
            reg->valueExists("installpath") ? reg->readText("installpath") : DefaultInstallPath();
        speed_installpath.setText(state.installPath);
        // A stored delay out of range stops the load as a value of the wrong
        // type does.
        state.shutdownDelay = reg->valueExists("shutdowndelay")
                                  ? core::CheckedDelaySec(reg->readInteger("shutdowndelay"))
                                  : 30;
        E_shutdowndelay.setText(std::to_string(state.shutdownDelay));
        state.autostart = storedAutostart == 1;
        state.installedVersion = reg->valueExists("version") ? reg->readInteger("version") : 1;
        const std::int32_t update =
            reg->valueExists("checkforupdate") ? reg->readInteger("checkforupdate") : 0;
        state.checkForUpdate = update == 1;
        if (opened)
            LoadIPList(*reg);
        else
            list_ip.clear();
        Chk_autostart.setChecked(state.autostart && !state.startupSwitchedOff);
        // The box's own caption says why it is off: the panel has no room
        // for another line.
        if (state.startupSwitchedOff) setCaptionOf("Chk_autostart", LookupText("autostart_off"));
        speed_installpath.setEnabled(Chk_autostart.checked());
        Chk_update.setChecked(state.checkForUpdate);
    });
}

void TF_nolvara::SaveSettings(bool autostart, bool restartService, const std::string& language) {
    {
        auto reg = platform.registry.open();
        settings::Guarded([&] {
            if (!reg->openKey(kSettingsKey, true)) return;
            reg->writeText("language", language);
            reg->writeInteger("autostart", autostart ? 1 : 0);
            reg->writeInteger("restartservice", restartService ? 1 : 0);
            if (chk_dhcp.checked()) {
                const std::string chosen = AdapterQuery("showadapterinfo", "adaptername");
                reg->writeText("adapter",
                               chosen.empty() && !state.adapterName.empty() ? state.adapterName
                                                                            : chosen);
                reg->writeInteger("use_dhcp", 1);
            } else {
                reg->writeInteger("use_dhcp", 0);
            }
            reg->writeText("installpath", state.installPath);
            reg->writeInteger("checkforupdate", state.checkForUpdate ? 1 : 0);
            reg->writeInteger("version", state.programVersion);
            // Last: a delay out of range ends the save here, and would
            // otherwise keep the version from being recorded.
            reg->writeInteger("shutdowndelay", core::DelaySecFromText(E_shutdowndelay.text()));
        });
    }
    RemoveKeyIfDefault();
}

bool TF_nolvara::SettingsAreDefault() {
    return !AutostartWanted() && chk_restartservice.checked() && !Chk_update.checked() &&
           state.installPath == DefaultInstallPath() && state.language == "english" &&
           !chk_dhcp.checked() && list_ip.count() == 0 && E_shutdowndelay.text() == "30" &&
           E_routerip.text() == LookupText("routerinput") &&
           wireless.weakSignalThreshold() == core::kWeakSignalDefault && state.trayIcon;
}

void TF_nolvara::RemoveKeyIfDefault() {
    if (!SettingsAreDefault()) return;
    auto reg = platform.registry.open();
    settings::Guarded([&] {
        // Deleted once; a key that survives stays until the next save.
        if (reg->openKey("SOFTWARE", false)) reg->deleteKey("Nolvara");
    });
}

}  // namespace shell
