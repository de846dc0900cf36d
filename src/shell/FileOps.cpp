// File and process operations shared by installation, settings and update.
// None reports a failure: the sequences that use them go on regardless.
#include "core/Paths.h"
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
        // One that cannot be ended is passed over; the walk goes on.
        if (processes.terminate(p.id)) return true;
    }
    return false;
}

void TF_nolvara::DeleteFileForced(const std::string& path) {
    auto& files = platform.files;
    if (files.isReadOnly(path)) files.setReadOnly(path, false);
    files.deleteFile(path);
}

bool TF_nolvara::CopyFileNoOverwrite(const std::string& source, const std::string& target) {
    return platform.files.createProtectedCopy(source, target);
}

void TF_nolvara::CreateInstallFolder(const std::string& path) {
    std::string folder = path;
    if (!core::NormalizeFolderPath(folder)) return;
    std::string built = folder.substr(0, 3);
    std::string rest = folder.substr(3);
    while (!rest.empty()) {
        const size_t end = rest.find('\\');
        built += rest.substr(0, end + 1);
        rest.erase(0, end + 1);
        if (!platform.files.folderExists(built)) platform.files.createProtectedFolder(built);
    }
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
void TF_nolvara::RefreshInstalledCopy() {
    if (state.autostart) {
        const std::string installed = state.installPath + state.exeName;
        CreateInstallFolder(state.installPath);
        DeleteFileForced(installed);
        CopyFileNoOverwrite(platform.system.programPath(), installed);
        SetAutostart(1);
    } else {
        SetAutostart(0);
    }
}

}  // namespace shell
