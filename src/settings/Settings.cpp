// Settings as far as the program has them so far: the defaults of an empty
// store. Reading and writing the registry arrive with the settings store.
#include <cctype>

#include "shell/TF_nolvara.h"

namespace shell {

std::string TF_nolvara::GetWindowsDir() {
    std::string dir = platform.system.windowsDirectory();
    const auto isBlank = [](char c) { return c == ' '; };
    while (!dir.empty() && isBlank(dir.front())) dir.erase(dir.begin());
    while (!dir.empty() && isBlank(dir.back())) dir.pop_back();
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

void TF_nolvara::LoadSettings() {
    const int storedAutostart = 0;  // nothing stored yet
    SetAutostart(storedAutostart);
    if (state.language != "german" && state.language != "english") state.language = "english";
    ApplyCaptions();
    if (state.language == "german")
        radio_lang_german.setChecked(true);
    else
        radio_lang_english.setChecked(true);
    chk_restartservice.setChecked(true);
    state.installPath = GetWindowsDir().substr(0, 3) + "Nolvara\\";
    speed_installpath.setText(state.installPath);
    state.shutdownDelay = 30;
    E_shutdowndelay.setText(std::to_string(state.shutdownDelay));
    state.autostart = storedAutostart == 1;
    state.installedVersion = 1;
    state.checkForUpdate = false;
    list_ip.clear();
    Chk_autostart.setChecked(state.autostart);
}

void TF_nolvara::SaveSettings(bool, bool, const std::string&) {
    // No-op until the registry store exists.
}

void TF_nolvara::SetAutostart(int) {
    // No-op until the Run entry and the install folder move exist.
}

void TF_nolvara::Chk_autostartClick() { speed_installpath.setEnabled(Chk_autostart.checked()); }

void TF_nolvara::chk_dhcpClick() {
    B_manageip.setEnabled(!chk_dhcp.checked());
    B_dhcpconfig.setEnabled(chk_dhcp.checked());
}

}  // namespace shell
