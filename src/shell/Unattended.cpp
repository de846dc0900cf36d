// The unattended installation: "-noguiinst" followed by switches. The run
// fills the settings panel from them, presses Apply as a user would, starts
// the installed copy in automatic control and ends with a code that a
// deployment tool can act on (core::kExit...); no window is shown.
#include <string>
#include <vector>

#include "core/CommandLine.h"
#include "core/Convert.h"
#include "core/Paths.h"
#include "settings/IpAddress.h"
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::ParseCommandLine() {
    std::string installFolder;
    std::string routerText;
    bool reconnect = true;
    std::int32_t delay = 30;
    std::string languageText;

    // Every argument is looked at, values too: a value that is itself a
    // switch name counts as that switch. The scan ends at the first empty
    // argument, which is the end of the command line.
    const std::vector<std::string> args = platform.system.arguments();
    for (size_t i = 2; i < args.size() && !args[i].empty(); ++i) {
        const std::string& name = args[i];
        const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
        if (name == "-path")
            installFolder = value;
        else if (name == "-ip")
            routerText = value;
        else if (name == "-reconnect")
            reconnect = value != "0";
        else if (name == "-delay" && !DelayFromArgument(value, delay))
            return EndUnattended(core::kExitBadArguments);
        else if (name == "-lang")
            languageText = value;
    }

    if (installFolder.empty()) installFolder = DefaultInstallPath();
    const bool folderValid = core::NormalizeFolderPath(installFolder);

    Chk_autostart.setChecked(true);
    speed_installpath.setText(installFolder);
    if (languageText == "german")
        radio_lang_german.setChecked(true);
    else
        radio_lang_english.setChecked(true);
    E_shutdowndelay.setText(std::to_string(delay));
    chk_restartservice.setChecked(reconnect);

    if (routerText.empty() || routerText.back() != ';') routerText += ';';
    bool added = false;
    while (!routerText.empty()) {
        const size_t end = routerText.find(';');
        std::string item = routerText.substr(0, end);
        routerText.erase(0, end + 1);
        if (settings::IsValidIP(item)) {
            list_ip.add(settings::RouterEntry(item));
            added = true;
        }
    }

    // What Apply takes for a router: an address, or the gateway of the
    // adapter in the DHCP mode that the organisation set.
    const bool target = added || policies.routers ||
                        (policies.useDhcp.value_or(false) && !state.adapterName.empty());
    if (!target || !folderValid) return EndUnattended(core::kExitBadArguments);
    // A folder that others may change counts as unusable: nothing is saved
    // and nothing installed.
    if (!CreateInstallFolder(installFolder)) return EndUnattended(core::kExitFolderUnusable);
    // Apply reloads the router list from the registry before it saves it,
    // which would drop the addresses just added; they are stored first, as
    // the list's own Save button would.
    SaveIPList(RouterTransferText());
    b_apply.click();
    platform.system.sleepMs(200);
    // Only a copy that Apply made just now is started. Without a user's
    // desktop to start it in (a deployment under a service's account) the
    // copy starts at the next log-on, as installed.
    const bool started =
        installedCopyPlaced &&
        (StartHeld(state.installPath + state.exeName, core::kHiddenRunSwitch) || hiddenRunDeferred);
    EndUnattended(started ? core::kExitDone : core::kExitCopyOrStartFailed);
}

bool TF_nolvara::DelayFromArgument(const std::string& text, std::int32_t& delay) {
    try {
        delay = core::DelaySecFromText(text);
        return true;
    } catch (const core::ConversionError& error) {
        // A person who typed it is told why; a deployment tool reads the code.
        if (platform.system.seenByUser())
            platform.dialogs.messageBox(error.what(), core::kApplicationTitle,
                                        platform::MessageIcon::Error);
        return false;
    }
}

}  // namespace shell
