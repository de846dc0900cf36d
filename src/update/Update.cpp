// Updates. The running program downloads the new program file to the updater
// file and starts it with "-update"; that run of the new version replaces the
// old file (or the installed copy), starts it with "-clearupdaterest" and
// ends, and the restarted program deletes the updater file.
#include <exception>
#include <string>
#include <vector>

#include "shell/TF_nolvara.h"

namespace shell {

namespace {

// A Windows program announces its header within the first few hundred bytes.
constexpr std::size_t kProgramHeadBytes = 4096;
// Passes over an installed copy that will not be deleted, 100 ms apart: the
// process just ended may hold its file a little longer.
constexpr int kReplacePasses = 50;

// A read-only updater file left by an earlier update could not be replaced.
void ClearReadOnly(platform::FileSystem& files, const std::string& path) {
    if (files.fileExists(path) && files.isReadOnly(path)) files.setReadOnly(path, false);
}

}  // namespace

std::string TF_nolvara::UpdaterFilePath() {
    return GetWindowsDir().substr(0, 3) + core::kUpdaterFileName;
}

update::UpdateResponse TF_nolvara::ReadUpdateResponse() {
    return update::ReadResponse(platform.http.get(core::kUpdateServerUrl));
}

void TF_nolvara::Menu_checkforupdateClick() {
    try {
        const update::UpdateResponse response = ReadUpdateResponse();
        if (!update::IsNewerBuild(response.build, state.programVersion)) {
            ShowPanel("main");
            L_Text.setText(LookupText("update_uptodate"));
            return;
        }
        ShowPanel("update");
        std::string text = LookupText("update_outofdate");
        text += "\r\n\r\n";
        text += LookupText("update_version");
        text += ' ';
        text += response.versionText;
        text += "\r\n";
        text += LookupText(response.mark == "urgent" ? "update_important" : "update_notimportant");
        L_Text.setText(text);
        state.updateFileUrl = response.fileUrl;
    } catch (const std::exception&) {
        ShowPanel("main");
        L_Text.setText(LookupText("update_servernotfound"));
    }
}

bool TF_nolvara::DownloadFile(const std::string& url, const std::string& fileName) {
    bool transferred = true;
    try {
        platform.http.getToFile(url, fileName);
    } catch (const platform::HttpError&) {
        transferred = false;
    }
    // Started, a broken or foreign file would leave no program running at
    // all; the caller keeps running instead.
    if (transferred &&
        update::LooksLikeWindowsProgram(platform.files.readFile(fileName, kProgramHeadBytes)))
        return true;
    DeleteFileForced(fileName);
    return false;
}

void TF_nolvara::B_updateClick() {
    const std::string target = UpdaterFilePath();
    ClearReadOnly(platform.files, target);
    try {
        if (!DownloadFile(state.updateFileUrl, target)) return;
        std::string arguments = "-update ";
        arguments += update::EncodePathArgument(platform.system.programPath());
        platform.shell.start(target, arguments);
        platform.system.requestTerminate();
    } catch (const std::exception&) {
        // The updater file could not be created: the window stays as it is.
    }
}

void TF_nolvara::PeriodicUpdateCheck() {
    // Silent in every case; a check that fails is simply tried again at the
    // next period, and automatic control goes on meanwhile.
    try {
        const update::UpdateResponse response = ReadUpdateResponse();
        if (!update::IsNewerBuild(response.build, state.programVersion)) return;
        const std::string target = UpdaterFilePath();
        ClearReadOnly(platform.files, target);
        state.updateFileUrl = response.fileUrl;
        if (!DownloadFile(state.updateFileUrl, target)) return;
        platform.shell.start(target, "-update silent");
        platform.system.requestTerminate();
    } catch (const std::exception&) {
    }
}

void TF_nolvara::RunUpdater() {
    const std::vector<std::string> args = platform.system.arguments();
    const std::string second = args.size() > 2 ? args[2] : std::string();
    if (second == "silent") {
        ReplaceInstalledCopy();
    } else {
        const std::string path = update::DecodePathArgument(second);
        // The old process may still hold its file for a moment.
        platform.system.sleepMs(100);
        DeleteFileForced(path);
        platform.files.copyFile(platform.system.programPath(), path, true);
        platform.shell.start(path, path == state.installPath + state.exeName
                                       ? "-hide -clearupdaterest"
                                       : "-clearupdaterest");
    }
    platform.system.requestTerminate();
}

void TF_nolvara::ReplaceInstalledCopy() {
    MigrateRouterIP();
    LoadSettings();
    if (!state.autostart) return;
    const std::string installed = state.installPath + state.exeName;
    for (int pass = 0; platform.files.fileExists(installed) && pass < kReplacePasses; ++pass) {
        if (pass > 0) platform.system.sleepMs(100);
        TerminateByName(state.exeName);
        platform.files.deleteFile(installed);
    }
    // A copy that will not go stays as it is and is not recorded as replaced;
    // it is started again all the same, as automatic control was ended above.
    if (!platform.files.fileExists(installed)) {
        CopyFileNoOverwrite(platform.system.programPath(), installed);
        SaveSettings(state.autostart, chk_restartservice.checked(), state.language);
    }
    platform.system.sleepMs(100);
    platform.shell.start(installed, "-hide -clearupdaterest");
}

void TF_nolvara::ClearUpdateRest() {
    platform.system.sleepMs(100);
    DeleteFileForced(UpdaterFilePath());
}

void TF_nolvara::B_manupdateClick() {
    ReplaceInstalledCopy();
    ShowPanel("main");
    L_Text.setText(LookupText("manupdate"));
    Menu_file.setEnabled(true);
    Menu_autocontrol.setVisible(true);
}

}  // namespace shell
