// The panel of the settings that the first versions did not have: the signal
// quality below which Windows may look for a better access point, the hidden
// run's notification icon, control on battery, and the programs while which
// alone it controls.
#include "core/Convert.h"
#include "settings/Settings.h"
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::Menu_optionsClick() {
    ShowPanel("options");
    E_weaksignal.setText(std::to_string(wireless.weakSignalThreshold()));
    Chk_trayicon.setChecked(state.trayIcon);
    Chk_onbattery.setChecked(state.onBattery);
    list_apps.clear();
    for (const std::string& app : state.apps) list_apps.add(app);
    E_app.setText("");
    // Windows XP has no per-connection scan to let on: its service is switched.
    const bool applies = controlWay == ControlWay::NativeWifi;
    L_optionsnote.setText(LookupText(applies ? "options_weaksignal" : "options_vistaonly"));
}

void TF_nolvara::B_appaddClick() {
    // A path pasted from Explorer counts by its file name, as the process
    // list names programs.
    std::string name = E_app.text();
    const auto slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const auto first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!settings::IsProgramFileName(name)) {
        L_optionsnote.setText(LookupText("options_appinvalid"));
        E_app.setFocus();
        return;
    }
    const std::string lower = platform.processes.toLower(name);
    bool listed = false;
    for (const std::string& entry : list_apps.items())
        listed = listed || platform.processes.toLower(entry) == lower;
    if (!listed) list_apps.add(name);
    E_app.setText("");
    E_app.setFocus();
}

void TF_nolvara::B_appdeleteClick() { list_apps.removeSelected(); }

void TF_nolvara::B_optionssaveClick() {
    const bool applies = controlWay == ControlWay::NativeWifi;
    std::int32_t threshold = -1;
    try {
        threshold = core::StrToInt(E_weaksignal.text());
    } catch (const core::ConversionError&) {
    }
    if (applies && !core::WeakSignalInBounds(threshold)) {
        L_optionsnote.setText(LookupText("options_invalid"));
        return;
    }
    settings::Options options;
    if (applies) options.weakSignal = threshold;
    options.trayIcon = Chk_trayicon.checked();
    options.apps = list_apps.items();
    options.onBattery = Chk_onbattery.checked();
    if (!settings::SaveOptions(platform.registry, options, policies)) {
        L_optionsnote.setText(LookupText("options_notsaved"));
        return;
    }
    // The hidden run reads them at its next tick; this window shows them from now.
    if (applies) wireless.setWeakSignalThreshold(threshold);
    state.trayIcon = options.trayIcon;
    state.onBattery = options.onBattery;
    state.apps = options.apps;
    ChooseControlPrograms(state.apps);
    L_optionsnote.setText(LookupText("options_saved"));
}

}  // namespace shell
