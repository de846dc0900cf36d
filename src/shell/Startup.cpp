#include "shell/Startup.h"

#include <exception>
#include <string>
#include <vector>

#include "core/CommandLine.h"
#include "shell/TF_nolvara.h"

namespace shell {

namespace {
// How long a new hidden run waits for the one before it to end.
constexpr int kClaimWaitMs = 3000;
// How long an unattended run waits for its elevated self: a removal waits
// up to 30 s for the remover and 10 s for the copy to go.
constexpr int kUnattendedWaitMs = 120000;

std::string argumentAt(const std::vector<std::string>& args, size_t index) {
    return index < args.size() ? args[index] : std::string();
}
}  // namespace

bool TF_nolvara::RestartedWithAdministratorRights(const std::vector<std::string>& args,
                                                  core::RunKind kind) {
    // The hidden run needs no such rights, and neither it nor the silent
    // updater it starts may ever put a prompt in front of the user.
    if (kind == core::RunKind::AutoControl ||
        (argumentAt(args, 1) == "-update" && argumentAt(args, 2) == "silent"))
        return false;
    if (!platform.system.lacksAdministratorRights()) return false;
    const std::string arguments = platform::JoinArguments(args, 1);
    if (core::IsUnattended(kind)) {
        // The tool that started it reads the elevated run's outcome; without
        // one (refused, or not ended in time) nothing was done here either.
        // On a desktop no one sees, no one could answer the prompt.
        const std::optional<int> code =
            platform.system.seenByUser() ? platform.shell.runElevated(platform.system.programPath(),
                                                                      arguments, kUnattendedWaitMs)
                                         : std::nullopt;
        platform.system.setExitCode(code.value_or(core::kExitCopyOrStartFailed));
    } else if (!platform.shell.startElevated(platform.system.programPath(), arguments)) {
        // Refused, the run goes on with the user's rights: it can show the
        // state but not change it.
        return false;
    }
    showMainForm = false;
    platform.system.requestTerminate();
    return true;
}

void TF_nolvara::FormCreate() {
    const std::vector<std::string> args = platform.system.arguments();
    const core::RunKind kind = core::RunKindOf(args);
    // The remover ends every process of the program's name but the windows
    // users work in; an unattended run, and one that waits for its elevated
    // self, must live to tell the tool that started it how it ended.
    if (core::IsUnattended(kind)) ClaimWindow();
    if (RestartedWithAdministratorRights(args, kind)) return;
    // Known before anything reads the wireless state: a hidden run takes
    // none it finds for its own.
    runKind = kind;
    if (kind != core::RunKind::AutoControl) HoldOwnProgram();
    ChooseControlWay();
    state.awaitingFirstReply = true;
    state.exeName = core::kExeName;
    state.updateCheckTicks = 0;
    Statusbar.setPanelText(1, core::kVersionText);
    state.programVersion = core::kProgramVersion;
    ArrangeLayout();
    setCaption(caption() + " | " + Statusbar.panelText(1));
    LoadSettings();
    speed_installpath.setText(state.installPath);
    Menu_aboutme.click();
    // Without the wireless service the main panel says what the program does instead.
    if (controlWay == ControlWay::NativeWifi)
        ShowPage(WirelessStartMode() == core::kStartModeUnreadable ? "nowirelessinfo" : "wifimode");

    if (state.shutdownDelay == 0) state.shutdownDelay = 1;
    // LoadSettings lets no delay beyond an hour through: 3,600,000 ms at most.
    T_shutdowndelay.setIntervalMs(state.shutdownDelay * 1000);

    if (state.installedVersion < state.programVersion && state.autostart) {
        ShowPanel("manupdate");
        Menu_file.setEnabled(false);
        Menu_autocontrol.setVisible(false);
    }

    RefreshInstalledCopy();
    UpdateStatus();

    const std::string first = argumentAt(args, 1);
    if (first == core::kClearUpdateRestSwitch ||
        argumentAt(args, 2) == core::kClearUpdateRestSwitch)
        ClearUpdateRest();

    bool handled = false;
    if (kind == core::RunKind::AutoControl) {
        showMainForm = false;
        // A window that never shows needs no fade-in: no timer faster than
        // the probe loop's second runs in a hidden run.
        T_fadein.setEnabled(false);
        // Two hidden runs would switch the service against each other. A run
        // that was just ended for this one (update, new install folder) has
        // let go within moments; one that still runs keeps the claim.
        // The wireless service is the machine's: two sessions' runs would
        // switch it against each other. The Native Wifi settings are each
        // handle's own.
        const bool claimed =
            controlWay == ControlWay::Service
                ? platform.system.claimForMachine(core::kAutoControlClaim, kClaimWaitMs)
                : platform.system.claimForSession(core::kAutoControlClaim, kClaimWaitMs);
        if (claimed) {
            state.autoControl = true;
            lagRecorder = std::make_unique<core::LagRecorder>(platform.share);
            if (controlWay == ControlWay::Service) TakeOverService();
            // After the take-over: the first look is the one that holds.
            MakeTray();
            ResumeProbeLoop();
        } else {
            handled = true;
            platform.system.requestTerminate();
        }
    } else if (kind == core::RunKind::Updater) {
        showMainForm = false;
        handled = true;
        RunUpdater();
    } else if (kind == core::RunKind::Uninstall) {
        showMainForm = false;
        handled = true;
        RunUninstallStage();
    } else if (kind == core::RunKind::UnattendedInstall) {
        ParseCommandLine();
    } else if (kind == core::RunKind::UnattendedUninstall) {
        showMainForm = false;
        handled = true;
        RunUnattendedUninstall();
    }

    if (runKind == core::RunKind::Interactive) ClaimWindow();

    if (!handled && state.installedVersion >= state.programVersion)
        SaveSettings(state.autostart, chk_restartservice.checked(), state.language);
    // After that save, which stores what the panel shows: a proposal is
    // stored only when the user applies it. The window only: an unattended
    // installation takes the routers it is given or none.
    if (runKind == core::RunKind::Interactive) ProposeRouter();
    // The notification icon's way into the window.
    if (runKind == core::RunKind::Interactive && first == core::kLagMeterSwitch &&
        Menu_file.enabled())
        Menu_lagmeterClick();
}

void TF_nolvara::ClaimWindow() {
    platform.system.claimForSession(
        core::kWindowClaimPrefix + std::to_string(platform.processes.currentProcessId()), 0);
}

void TF_nolvara::FormClose(ui::CloseAction& action) {
    // The window fades out first; the fade's last step closes it again at
    // opacity 0. A close during the fade-in ends the fade-in, or the two fades
    // would undo each other's steps.
    T_fadein.setEnabled(false);
    T_fadeout.setEnabled(true);
    if (alphaBlendValue() > 0) action = ui::CloseAction::None;
}

void TF_nolvara::Menu_closeClick() { close(); }

void StartProgram(TF_nolvara& window) {
    try {
        window.FormCreate();
    } catch (const std::exception& error) {
        // An unattended run shows nothing: its tool reads the code.
        if (core::IsUnattended(window.runKind))
            return window.EndUnattended(core::kExitCopyOrStartFailed);
        window.platform.dialogs.messageBox(error.what(), core::kApplicationTitle,
                                           platform::MessageIcon::Error);
        window.runKind = core::RunKind::Interactive;
        window.showMainForm = true;
        window.show();
        return;
    }
    if (window.showMainForm && !window.platform.system.terminateRequested()) window.show();
}

}  // namespace shell
