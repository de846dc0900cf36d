// The panel of the settings that the first versions did not have: for now
// the signal quality below which Windows may look for a better access point.
#include "core/Convert.h"
#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::Menu_optionsClick() {
    ShowPanel("options");
    E_weaksignal.setText(std::to_string(wireless.weakSignalThreshold()));
    // Windows XP has no per-connection scan to let on: its service is switched.
    const bool applies = controlWay == ControlWay::NativeWifi;
    E_weaksignal.setEnabled(applies);
    B_optionssave.setEnabled(applies);
    L_optionsnote.setText(LookupText(applies ? "options_weaksignal" : "options_vistaonly"));
}

void TF_nolvara::B_optionssaveClick() {
    std::int32_t threshold = -1;
    try {
        threshold = core::StrToInt(E_weaksignal.text());
    } catch (const core::ConversionError&) {
    }
    if (threshold < 0 || threshold > 100) {
        L_optionsnote.setText(LookupText("options_invalid"));
        return;
    }
    bool saved = false;
    {
        auto reg = platform.registry.open();
        settings::Guarded([&] {
            if (!reg->openKey(settings::kSettingsKey, true)) return;
            reg->writeInteger("weaksignal", threshold);
            saved = true;
        });
    }
    if (!saved) {
        L_optionsnote.setText(LookupText("options_notsaved"));
        return;
    }
    // The hidden run reads it at its next tick; this window shows it from now.
    wireless.setWeakSignalThreshold(threshold);
    L_optionsnote.setText(LookupText("options_saved"));
}

}  // namespace shell
