// Uninstall. The window that the user works in cannot delete the installed
// copy while a hidden process runs it, so the work passes through two more
// processes: the installed copy started with "-kill" (stage 1) copies itself
// to the remover path and starts that copy (stage 2), which ends every process
// of the program's name, removes the installed copy, the folder and the
// registry entries, and leaves a hidden batch file behind that deletes the
// remover copy once it has ended.
#include "core/CommandLine.h"
#include "settings/Store.h"
#include "shell/FolderTrust.h"
#include "shell/TF_nolvara.h"

namespace shell {

namespace {

// How long the window waits for stage 2 to delete the installed copy. The
// chain starts two processes and stage 2 may wait for a hidden process to end.
constexpr int kUninstallWaitMs = 30000;
constexpr int kUninstallPollMs = 100;
// Passes of stage 2 over an installed copy that will not go, 100 ms apart:
// a process that was just ended keeps its file open until it has gone.
constexpr int kRemovalPasses = 100;
constexpr int kRemovalPauseMs = 100;
// Deletions of a registry key or value that keeps coming back.
constexpr int kRegistryDeleteAttempts = 10;
// Rounds of about a second that each wait of the removal batch file lasts.
constexpr int kBatchWaitSec = 60;

}  // namespace

std::string TF_nolvara::RemoverNameTaken() {
    // A folder under the name of the remover copy or of the batch file would
    // make the uninstall fail after its wait, without saying why.
    for (const char* path : {core::kRemoverPath, core::kRemoveBatchPath})
        if (platform.files.folderExists(path)) return path;
    return {};
}

int TF_nolvara::Uninstall() {
    const std::string installed = state.installPath + state.exeName;
    // The installed copy would run with this window's administrator rights:
    // where others may have changed it, this program's own copy takes its
    // place as the remover.
    if (FolderIsTrusted(platform.files.folderSecurity(state.installPath)))
        platform.shell.start(installed, "-kill");
    else if (HoldsOwnProgram())
        PlaceAndStartRemover();
    else
        return core::kExitFolderUnusable;
    // Should the copy never disappear, the window comes back to life anyway;
    // the menu item then stays enabled for another attempt.
    for (int waited = 0; platform.files.fileExists(installed) && waited < kUninstallWaitMs;
         waited += kUninstallPollMs)
        platform.system.sleepMs(kUninstallPollMs);
    // Nothing was removed (a leftover remover copy that is locked, say): the
    // service and the settings stay as they were.
    if (platform.files.fileExists(installed)) return core::kExitCopyOrStartFailed;
    // The hidden run has ended, and with it whatever it set through the
    // Native Wifi interface: only the wireless service needs setting back.
    if (controlWay == ControlWay::Service) ApplyStartMode(core::kStartModeAutomatic);
    return core::kExitDone;
}

void TF_nolvara::Menu_uninstallClick() {
    const std::string taken = RemoverNameTaken();
    if (!taken.empty()) {
        UpdateStatus();
        L_Text.setText(LookupTextNaming("name_taken", taken));
        return;
    }
    switch (Uninstall()) {
        case core::kExitFolderUnusable:
            return;
        case core::kExitCopyOrStartFailed:
            UpdateStatus();
            L_Text.setText(LookupText("uninstall_failed"));
            return;
        default:
            if (controlWay == ControlWay::Service) L_Text.setText(LookupText("uninstall"));
            UpdateStatus();
    }
}

void TF_nolvara::RunUnattendedUninstall() {
    // Run from the installed copy, the run would hold the file it is to
    // remove until it has told how the removal ended.
    if (RunsFrom(state.installPath + state.exeName) || !RemoverNameTaken().empty())
        return EndUnattended(core::kExitFolderUnusable);
    const int outcome = Uninstall();
    if (outcome != core::kExitDone) return EndUnattended(outcome);
    // The remover took them with the copy; where there was no copy to
    // remove, they go here.
    EndUnattended(RemoveRegistryEntries() ? core::kExitDone : core::kExitEntriesLeft);
}

bool TF_nolvara::RunsFrom(const std::string& path) {
    auto& processes = platform.processes;
    return processes.toLower(platform.system.programPath()) == processes.toLower(path);
}

void TF_nolvara::EndUnattended(int exitCode) {
    platform.system.setExitCode(exitCode);
    platform.system.requestTerminate();
}

void TF_nolvara::RunUninstallStage() {
    if (platform.system.programPath() == core::kRemoverPath)
        RemoveInstallation();
    else
        StartRemover();
}

void TF_nolvara::StartRemover() {
    if (RunsFrom(core::kRemoverPath)) {
        platform.system.sleepMs(100);
        StartHeld(core::kRemoverPath, "-kill");
    } else {
        PlaceAndStartRemover();
    }
    close();
}

void TF_nolvara::PlaceAndStartRemover() {
    // A remover copy left over from an earlier uninstall may be an older
    // version: it is replaced, and when it cannot be replaced it is not started.
    if (!HoldsOwnProgram()) return;
    DeleteFileForced(core::kRemoverPath);
    if (!CopyFileNoOverwrite(core::kRemoverPath)) return;
    platform.system.sleepMs(100);
    StartHeld(core::kRemoverPath, "-kill");
}

void TF_nolvara::RemoveInstallation() {
    const std::string installed = state.installPath + state.exeName;
    auto& files = platform.files;
    TerminateByName(state.exeName);
    for (int pass = 0; files.fileExists(installed) && pass < kRemovalPasses; ++pass) {
        if (pass > 0) platform.system.sleepMs(kRemovalPauseMs);
        // Each call ends one process; the windows users work in are passed over.
        TerminateByName(state.exeName);
        RemoveRegistryEntries();
        DeleteFileForced(installed);
        RemoveFolder(state.installPath);
    }
    // The batch file waits until the installed copy is gone; if it is still
    // there, a batch would loop for ever in the background. The remover copy
    // then stays behind, and the next uninstall replaces it.
    if (files.fileExists(installed))
        platform.system.requestTerminate();
    else
        WriteRemoveBatch();
}

bool TF_nolvara::RemoveRegistryEntries() {
    auto reg = platform.registry.open();
    settings::Guarded([&] {
        if (!reg->openKey("\\SOFTWARE", false)) return;
        for (int i = 0; i < kRegistryDeleteAttempts && reg->keyExists("Nolvara"); ++i)
            reg->deleteKey("Nolvara");
    });
    settings::Guarded([&] {
        if (!reg->openKey(settings::kRunKey, true)) return;
        for (int i = 0; i < kRegistryDeleteAttempts && reg->valueExists(settings::kRunValue); ++i)
            reg->deleteValue(settings::kRunValue);
    });
    // What cannot be looked at counts as left.
    bool left = true;
    settings::Guarded([&] {
        left = reg->openKey(settings::kSettingsKey, false) ||
               (reg->openKey(settings::kRunKey, false) && reg->valueExists(settings::kRunValue));
    });
    return !left;
}

std::string TF_nolvara::RemoveBatchText() {
    // A "%" in a batch file starts a variable, even within quotes; doubled,
    // cmd reads it as itself.
    const auto batchPath = [](const std::string& path) {
        std::string text;
        for (char c : path) text += c == '%' ? std::string("%%") : std::string(1, c);
        return text;
    };
    const std::string remover = batchPath(platform.system.programPath());
    const std::string installed = batchPath(state.installPath + state.exeName);
    const std::string batch = batchPath(core::kRemoveBatchPath);
    // By full path: a ping.exe in whatever folder is current, or first on
    // the path, must not run with the remover's rights.
    const std::string ping = batchPath(GetWindowsDir() + "system32\\ping.exe");
    std::string text;
    const auto line = [&text](std::initializer_list<std::string> parts) {
        for (const std::string& part : parts) text += part;
        text += "\r\n";
    };
    // Each wait gives up after about a minute (a ping of the machine's own
    // loopback is the one pause every Windows has): a batch that ran on for
    // ever would keep a hidden command processor busy. /f deletes a
    // read-only file too. The batch deletes itself in any case.
    // A wait under label: step, then on to next once the file is gone or the
    // rounds are used up.
    const auto boundedWait = [&](const std::string& label, const std::string& step,
                                 const std::string& file, const std::string& next) {
        line({"set /a tries=0"});
        line({":", label});
        if (!step.empty()) line({step});
        line({"if not exist \"", file, "\" goto ", next});
        line({"set /a tries+=1"});
        line({"if %tries% geq ", std::to_string(kBatchWaitSec), " goto ", next});
        line({"\"", ping, "\" -n 2 127.0.0.1 >nul"});
        line({"goto ", label});
    };
    line({"@echo off"});
    boundedWait("remove", "del /f /q \"" + remover + "\" >nul 2>&1", remover, "removeprog");
    line({":removeprog"});
    boundedWait("waitprog", "", installed, "done");
    line({":done"});
    line({"del /f /q \"", batch, "\""});
    return text;
}

void TF_nolvara::WriteRemoveBatch() {
    // Made anew, never written through a file someone else left there.
    DeleteFileForced(core::kRemoveBatchPath);
    // Started only when made here: a file of that name that would not go
    // may be someone else's, held open for the moment it runs.
    if (platform.files.createProtectedFile(core::kRemoveBatchPath, RemoveBatchText()))
        platform.shell.runBatch(core::kRemoveBatchPath);
    platform.system.requestTerminate();
}

}  // namespace shell
