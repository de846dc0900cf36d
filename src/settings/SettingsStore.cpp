// The settings in the window: loaded into the program state and the panels,
// saved from them, and the key removed once every setting is back at its
// default so that an untouched installation leaves nothing.
#include "core/Convert.h"
#include "settings/IpAddress.h"
#include "settings/Settings.h"
#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

std::string TF_nolvara::GetWindowsDir() {
    std::string dir = platform.system.windowsDirectory();
    while (!dir.empty() && dir.front() == ' ') dir.erase(dir.begin());
    while (!dir.empty() && dir.back() == ' ') dir.pop_back();
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

std::string TF_nolvara::DefaultInstallPath() { return GetWindowsDir().substr(0, 3) + "Nolvara\\"; }

settings::Settings TF_nolvara::PanelSettings() {
    settings::Settings s;
    s.autostart = AutostartWanted();
    s.language = state.language;
    s.useDhcp = chk_dhcp.checked();
    if (s.useDhcp) s.adapter = state.adapterName;
    s.restartService = chk_restartservice.checked();
    s.installPath = state.installPath;
    s.shutdownDelay = settings::kNoDelay;
    try {
        s.shutdownDelay = core::DelaySecFromText(E_shutdowndelay.text());
    } catch (const core::ConversionError&) {
    }
    s.checkForUpdate = Chk_update.checked();
    s.routers = RouterAddresses();
    s.weakSignal = wireless.weakSignalThreshold();
    s.trayIcon = state.trayIcon;
    s.apps = state.apps;
    s.onBattery = state.onBattery;
    return s;
}

void TF_nolvara::LoadSettings() {
    // What is not read keeps what the run holds now.
    // A managed choice is the organisation's: the user's own is the last read.
    settings::Settings previous;
    previous.language = state.language;
    // A proposal's tick is no choice of the user's.
    previous.useDhcp = policies.useDhcp ? ownSettings.useDhcp : chk_dhcp.checked() && !proposing;
    previous.adapter = policies.adapter ? ownSettings.adapter : state.adapterName;
    const settings::Loaded loaded =
        settings::Load(platform.registry, previous, DefaultInstallPath());
    ownSettings = loaded.settings;
    policies = settings::ReadPolicies(platform.registry);
    settings::Settings s = settings::Governed(loaded.settings, policies);
    routerUnchosen = loaded.stoppedAt == settings::Value::None && !loaded.routerChosen &&
                     s.routers.empty() && !policies.useDhcp && !policies.adapter;
    // A proposal stands while nothing names a router; one stored meanwhile
    // (an update's move of the old one, another window, a policy) ends it,
    // and the box shows what is stored.
    proposing = proposing && routerUnchosen;
    if (proposing) s.useDhcp = true;
    using settings::Value;
    // A value is taken where the read reached it, or where a policy sets it.
    const auto take = [&](Value value, bool managed) { return loaded.read(value) || managed; };

    wireless.setWeakSignalThreshold(s.weakSignal);
    state.trayIcon = s.trayIcon;
    Chk_trayicon.setChecked(state.trayIcon);
    // The power source is asked again at once when the rule changes.
    if (state.onBattery != s.onBattery) powerLook.invalidate();
    state.onBattery = s.onBattery;
    Chk_onbattery.setChecked(state.onBattery);
    if (state.apps != s.apps) {
        state.apps = s.apps;
        ChooseControlPrograms(state.apps);
    }
    state.startupSwitchedOff = settings::StartupSwitchedOff(platform.registry);
    // Windows' switch wins: the box shows what happens at log-on, and only
    // Windows' own settings turn it on again.
    Chk_autostart.setEnabled(!state.startupSwitchedOff);
    if (loaded.read(Value::Autostart)) SetAutostart(s.autostart ? 1 : 0);
    if (loaded.read(Value::Language)) {
        state.language = s.language;
        ApplyCaptions();
        if (state.language == "german")
            radio_lang_german.setChecked(true);
        else
            radio_lang_english.setChecked(true);
    }
    if (take(Value::UseDhcp, policies.useDhcp.has_value())) chk_dhcp.setChecked(s.useDhcp);
    if (take(Value::Adapter, policies.adapter.has_value())) state.adapterName = s.adapter;
    if (take(Value::RestartService, policies.restartService.has_value()))
        chk_restartservice.setChecked(s.restartService);
    if (loaded.read(Value::InstallPath)) {
        state.installPath = s.installPath;
        speed_installpath.setText(state.installPath);
    }
    if (take(Value::ShutdownDelay, policies.shutdownDelay.has_value())) {
        state.shutdownDelay = s.shutdownDelay;
        E_shutdowndelay.setText(std::to_string(state.shutdownDelay));
    }
    if (loaded.read(Value::ShutdownDelay)) state.autostart = s.autostart;
    if (loaded.read(Value::Version)) state.installedVersion = loaded.version;
    if (take(Value::CheckForUpdate, policies.checkForUpdate.has_value()))
        state.checkForUpdate = s.checkForUpdate;
    // The list is read after the update switch, so it shows once that was
    // read (a list read part-way shows the part); the switch's box is set
    // once the list was read through.
    if (take(Value::CheckForUpdate, policies.routers.has_value())) {
        list_ip.clear();
        for (const std::string& address : s.routers) list_ip.add(settings::RouterEntry(address));
        if (loaded.routerValueRead || policies.routers) E_routerip.setText("");
    }
    if (loaded.read(Value::Routers)) {
        Chk_autostart.setChecked(state.autostart && !state.startupSwitchedOff);
        // The box's own caption says why it is off: the panel has no room
        // for another line.
        if (state.startupSwitchedOff) setCaptionOf("Chk_autostart", LookupText("autostart_off"));
        speed_installpath.setEnabled(Chk_autostart.checked());
    }
    if (take(Value::Routers, policies.checkForUpdate.has_value()))
        Chk_update.setChecked(state.checkForUpdate);
    ShowManaged();
}

void TF_nolvara::SaveSettings(bool autostart, bool restartService, const std::string& language) {
    settings::Settings s = PanelSettings();
    s.autostart = autostart;
    s.restartService = restartService;
    s.language = language;
    s.checkForUpdate = state.checkForUpdate;
    if (s.useDhcp) {
        // The panel's choice, or the stored adapter where the panel has none.
        const std::string chosen = AdapterQuery("showadapterinfo", "adaptername");
        if (!chosen.empty() || state.adapterName.empty()) s.adapter = chosen;
    }
    settings::Save(platform.registry, s, state.programVersion, policies);
    // Stored, the proposal is the user's choice.
    proposing = false;
    RemoveKeyIfDefault();
}

void TF_nolvara::RemoveKeyIfDefault() {
    // The panel shows the organisation's values: whether the user's own are
    // all at their defaults it cannot tell.
    if (policies.any()) return;
    settings::Settings defaults;
    defaults.installPath = DefaultInstallPath();
    // An address typed but not yet added to the list counts too, and so does
    // a delay typed otherwise than the default's own digits ("030").
    if (PanelSettings() != defaults || E_shutdowndelay.text() != "30" ||
        E_routerip.text() != LookupText("routerinput"))
        return;
    auto reg = platform.registry.open();
    settings::Guarded([&] {
        // Deleted once; a key that survives stays until the next save.
        if (reg->openKey("SOFTWARE", false)) reg->deleteKey("Nolvara");
    });
}

}  // namespace shell
