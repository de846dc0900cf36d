// File and process operations shared by installation, settings and update.
#include "core/Paths.h"
#include "shell/FolderTrust.h"
#include "shell/TF_nolvara.h"

namespace shell {

bool TF_nolvara::TerminateByName(const std::string& fileName) {
    auto& processes = platform.processes;
    const std::string wanted = processes.toLower(fileName);
    const std::uint32_t self = processes.currentProcessId();
    for (const platform::ProcessEntry& p : processes.snapshot()) {
        if (p.id == self || processes.toLower(p.exeFile) != wanted) continue;
        // A window the user works in is never ended from outside, however
        // its file is named: the uninstall it started would end it.
        if (platform.system.claimedInSession(core::kWindowClaimPrefix + std::to_string(p.id)))
            continue;
        // Its notification icon would stay behind until the mouse passed.
        const std::vector<std::uintptr_t> icons = platform.notify.iconsOf(p.id);
        // One that cannot be ended is passed over, its icon kept; the walk
        // goes on.
        if (processes.terminate(p.id)) {
            platform.notify.removeIcons(icons);
            return true;
        }
    }
    return false;
}

void TF_nolvara::DeleteFileForced(const std::string& path) {
    auto& files = platform.files;
    if (files.isReadOnly(path)) files.setReadOnly(path, false);
    files.deleteFile(path);
}

void TF_nolvara::HoldOwnProgram() {
    ownProgram =
        platform.files.holdRunningProgram(platform.system.programPath(), core::kMaxProgramBytes);
    if (ownProgram && !ownProgram->complete()) ownProgram.reset();
}

bool TF_nolvara::HoldsOwnProgram() {
    if (ownProgram) return true;
    if (runKind != core::RunKind::AutoControl) {
        ShowPanel("main");
        L_Text.setText(LookupText("ownfile_unheld"));
    }
    return false;
}

bool TF_nolvara::CopyFileNoOverwrite(const std::string& target) {
    // Every caller has said why already when nothing is held.
    return ownProgram && platform.files.createProtectedFile(target, ownProgram->bytes());
}

bool TF_nolvara::StartHeld(const std::string& path, const std::string& arguments) {
    // Held against writers from before the start until the system has the
    // program. Between making the copy and holding it, whoever may delete in
    // its folder could have put another file in its place: what is held must
    // be this program, byte for byte.
    const std::unique_ptr<platform::HeldFile> held =
        platform.files.holdFile(path, core::kMaxProgramBytes);
    return held && held->complete() && HoldsOwnProgram() && held->bytes() == ownProgram->bytes() &&
           StartOwn(path, arguments);
}

bool TF_nolvara::StartOwn(const std::string& path, const std::string& arguments) {
    // Started with this run's administrator rights, a hidden run would pass
    // them on until log-off to whatever it starts (the window from its icon,
    // an update), without a prompt; the one Windows starts at log-on has none.
    const std::string hidden = core::kHiddenRunSwitch;
    if (arguments.compare(0, hidden.size(), hidden) != 0)
        return platform.shell.start(path, arguments);
    hiddenRunDeferred = !platform.shell.startAsUser(path, arguments);
    return !hiddenRunDeferred;
}

bool TF_nolvara::SayWhenDeferred() {
    if (!hiddenRunDeferred) return false;
    hiddenRunDeferred = false;
    ShowPanel("main");
    // With Windows' own switch off, the next log-on starts nothing either.
    L_Text.setText(LookupText(state.startupSwitchedOff ? "status_startupoff" : "startsatlogon"));
    return true;
}

TF_nolvara::FolderFitness TF_nolvara::PrepareInstallFolder(const std::string& path) {
    std::string folder = path;
    if (!core::NormalizeFolderPath(folder)) return FolderFitness::NotMade;
    // A folder that someone else made before the program did may let him
    // swap the copy or put a DLL beside it, which would then run with
    // administrator rights; one above it that he may change lets him move
    // the whole path aside. Every level that was there is judged; the levels
    // made here are the program's own. No access list is ever changed: the
    // folder may be the user's own choice.
    std::string built = folder.substr(0, 3);
    std::string rest = folder.substr(3);
    const auto judged = [&](FolderRole role) {
        return FolderIsTrusted(platform.files.folderSecurity(built), role);
    };
    if (!judged(rest.empty() ? FolderRole::Install : FolderRole::DriveRoot))
        return FolderFitness::Untrusted;
    bool made = false;
    while (!rest.empty()) {
        const size_t end = rest.find('\\');
        built += rest.substr(0, end + 1);
        rest.erase(0, end + 1);
        if (!made && platform.files.folderExists(built)) {
            if (!judged(rest.empty() ? FolderRole::Install : FolderRole::Above))
                return FolderFitness::Untrusted;
            continue;
        }
        if (!platform.files.createProtectedFolder(built)) return FolderFitness::NotMade;
        made = true;
    }
    return FolderFitness::Fit;
}

bool TF_nolvara::CreateInstallFolder(const std::string& path) {
    return PrepareInstallFolder(path) == FolderFitness::Fit;
}

void TF_nolvara::RemoveFolder(const std::string& path) {
    std::string folder = path;
    if (core::NormalizeFolderPath(folder)) platform.files.removeFolder(folder);
}

}  // namespace shell

namespace shell {

// The installed copy is renewed from the running file whenever start with
// Windows is on. While a process runs the installed copy its file cannot be
// deleted, so the copy fails too and nothing changes.
// A folder that is not fit gets no copy; the start entry keeps pointing
// where it did.
bool TF_nolvara::RefreshInstalledCopy() {
    installedCopyPlaced = false;
    if (!state.autostart) {
        SetAutostart(0);
        return false;
    }
    // Without a file of its own held (the hidden run holds none: it runs
    // the installed copy) there is nothing to renew from. The user is told
    // when he asks for a copy, not at every start.
    if (ownProgram && CreateInstallFolder(state.installPath)) {
        const std::string installed = state.installPath + state.exeName;
        DeleteFileForced(installed);
        installedCopyPlaced = CopyFileNoOverwrite(installed);
    }
    SetAutostart(1);
    return installedCopyPlaced;
}

}  // namespace shell
