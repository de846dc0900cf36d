// The panel of the settings that the first versions did not have: the signal
// quality below which Windows may look for a better access point, and the
// hidden run's notification icon.
#include "core/Convert.h"
#include "settings/Settings.h"
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::Menu_optionsClick() {
    ShowPanel("options");
    E_weaksignal.setText(std::to_string(wireless.weakSignalThreshold()));
    // Windows XP has no per-connection scan to let on: its service is switched.
    const bool applies = controlWay == ControlWay::NativeWifi;
    E_weaksignal.setEnabled(applies);
    Chk_trayicon.setChecked(state.trayIcon);
    L_optionsnote.setText(LookupText(applies ? "options_weaksignal" : "options_vistaonly"));
}

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
    if (!settings::SaveOptions(platform.registry,
                               applies ? std::optional<std::int32_t>(threshold) : std::nullopt,
                               Chk_trayicon.checked())) {
        L_optionsnote.setText(LookupText("options_notsaved"));
        return;
    }
    // The hidden run reads them at its next tick; this window shows them from now.
    if (applies) wireless.setWeakSignalThreshold(threshold);
    state.trayIcon = Chk_trayicon.checked();
    L_optionsnote.setText(LookupText("options_saved"));
}

}  // namespace shell
