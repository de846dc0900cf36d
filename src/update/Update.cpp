// Updates. The running program downloads the new program file to the updater
// file and starts it with "-update"; that run of the new version replaces the
// old file (or the installed copy), starts it with "-clearupdaterest" and
// ends, and the restarted program deletes the updater file.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/TF_nolvara.h"

namespace shell {

namespace {

// An answer is one short line; a program file of this program comes nowhere
// near 16 MiB. Anything longer, or slower, is a failure.
constexpr platform::HttpBounds kAnswerBounds{64u << 10, 15 * 1000};
constexpr platform::HttpBounds kDownloadBounds{core::kMaxProgramBytes, 5 * 60 * 1000};
// What a replaced copy is started with: it deletes the updater's file, and
// the installed one runs hidden as ever.
const std::string kRestartHidden =
    std::string(core::kHiddenRunSwitch) + " " + core::kClearUpdateRestSwitch;
// How long the updater waits for the old program file to be free: the old
// process ends only after its window has faded out.
constexpr int kReplaceWaitMs = 10000;
constexpr int kReplacePollMs = 100;
// Passes over an installed copy that will not be deleted, 100 ms apart: the
// process just ended may hold its file a little longer.
constexpr int kReplacePasses = 50;

}  // namespace

std::string TF_nolvara::UpdaterFilePath() {
    return GetWindowsDir().substr(0, 3) + core::kUpdaterFileName;
}

void TF_nolvara::TakeAnnouncedUpdate(const update::UpdateResponse& response) {
    state.updateFileUrl = response.fileUrl;
    state.updateBuild = response.build;
    state.updateSignature = response.signature;
}

void TF_nolvara::AskUpdateServer(std::function<void(const platform::HttpOutcome&)> then) {
    updateTransfer = platform.http.get(
        core::kUpdateServerUrl, kAnswerBounds,
        [this, then = std::move(then)](const platform::HttpOutcome& outcome) {
            // Done with it before anything else may start the next transfer.
            const std::unique_ptr<platform::HttpTransfer> finished = std::move(updateTransfer);
            then(outcome);
        });
}

void TF_nolvara::Menu_checkforupdateClick() {
    // One transfer at a time: a click while one runs starts nothing new.
    if (updateTransfer) return;
    ShowPanel("main");
    L_Text.setText(LookupText("update_checking"));
    AskUpdateServer([this](const platform::HttpOutcome& outcome) { ShowUpdateAnswer(outcome); });
}

void TF_nolvara::ShowUpdateAnswer(const platform::HttpOutcome& outcome) {
    if (outcome.result != platform::HttpOutcome::Result::Done) {
        ShowPanel("main");
        L_Text.setText(LookupText("update_servernotfound"));
        return;
    }
    const update::UpdateResponse response = update::ReadResponse(outcome.body);
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
    text += update::ShownVersionText(response.versionText);
    text += "\r\n";
    text += LookupText(response.mark == "urgent" ? "update_important" : "update_notimportant");
    L_Text.setText(text);
    TakeAnnouncedUpdate(response);
}

std::unique_ptr<platform::HeldFile> TF_nolvara::HoldVerifiedUpdate(const std::string& fileName) {
    // The signed message is the build, a line feed and the file: a build
    // with a line feed of its own would move that boundary.
    if (!update::IsSignableBuild(state.updateBuild)) return nullptr;
    std::unique_ptr<platform::HeldFile> held =
        platform.files.holdFile(fileName, kDownloadBounds.maxBytes);
    std::string signature;
    if (!held || !held->complete() || !update::LooksLikeWindowsProgram(held->bytes()) ||
        !update::DecodeHex(state.updateSignature, signature))
        return nullptr;
    // The build is signed with the file, so that an older signed file cannot
    // be announced as a newer build.
    if (!platform.signatures.verify({state.updateBuild, "\n", held->bytes()}, signature))
        return nullptr;
    return held;
}

void TF_nolvara::DownloadUpdater(const std::string& arguments,
                                 std::function<void(UpdaterStart)> then) {
    const std::string target = UpdaterFilePath();
    // Whatever is there, perhaps a link that someone else placed, goes; the
    // download then makes a file of its own or fails.
    DeleteFileForced(target);
    updateTransfer = platform.http.download(
        state.updateFileUrl, target, kDownloadBounds,
        [this, target, arguments, then = std::move(then)](const platform::HttpOutcome& outcome) {
            const std::unique_ptr<platform::HttpTransfer> finished = std::move(updateTransfer);
            then(StartDownloadedUpdater(outcome, target, arguments));
        });
}

TF_nolvara::UpdaterStart TF_nolvara::StartDownloadedUpdater(const platform::HttpOutcome& outcome,
                                                            const std::string& target,
                                                            const std::string& arguments) {
    // Not ours to delete: a file of that name that would not go.
    if (outcome.result == platform::HttpOutcome::Result::FileNotCreated)
        return UpdaterStart::NotDownloaded;
    if (outcome.result == platform::HttpOutcome::Result::Failed) {
        DeleteFileForced(target);
        return UpdaterStart::NotDownloaded;
    }
    bool verified = false;
    {
        // Held from the check of its bytes until the updater runs, so that
        // what runs is what was checked.
        const std::unique_ptr<platform::HeldFile> held = HoldVerifiedUpdate(target);
        verified = held != nullptr;
        if (verified && platform.shell.start(target, arguments)) return UpdaterStart::Started;
    }
    DeleteFileForced(target);
    return verified ? UpdaterStart::NotStarted : UpdaterStart::Unverified;
}

void TF_nolvara::B_updateClick() {
    if (updateTransfer) return;
    // A folder of the updater file's name would make every download fail.
    if (platform.files.folderExists(UpdaterFilePath())) {
        ShowPanel("main");
        L_Text.setText(LookupTextNaming("name_taken", UpdaterFilePath()));
        return;
    }
    std::string arguments = "-update ";
    arguments += update::EncodePathArgument(platform.system.programPath());
    const std::string announced = L_Text.text();
    L_Text.setText(LookupText("update_downloading"));
    DownloadUpdater(arguments, [this, announced](UpdaterStart outcome) {
        switch (outcome) {
            case UpdaterStart::Started: platform.system.requestTerminate(); break;
            case UpdaterStart::Unverified:
                ShowPanel("main");
                L_Text.setText(LookupText("update_unverified"));
                break;
            // A download that failed leaves the offer as it was, for another try.
            case UpdaterStart::NotDownloaded:
            case UpdaterStart::NotStarted: L_Text.setText(announced); break;
        }
    });
}

void TF_nolvara::PeriodicUpdateCheck() {
    // Silent in every case; a check that fails is simply tried again at the
    // next period, and automatic control goes on meanwhile.
    if (updateTransfer) return;
    // Replacing the installed copy takes administrator rights, and a run
    // without a window must never prompt for them: the window offers the
    // update instead.
    if (platform.system.lacksAdministratorRights()) return;
    AskUpdateServer([this](const platform::HttpOutcome& outcome) {
        if (outcome.result != platform::HttpOutcome::Result::Done) return;
        const update::UpdateResponse response = update::ReadResponse(outcome.body);
        if (!update::IsNewerBuild(response.build, state.programVersion)) return;
        TakeAnnouncedUpdate(response);
        DownloadUpdater("-update silent", [this](UpdaterStart outcome) {
            if (outcome == UpdaterStart::Started) platform.system.requestTerminate();
        });
    });
}

void TF_nolvara::RunUpdater() {
    const std::vector<std::string> args = platform.system.arguments();
    const std::string second = args.size() > 2 ? args[2] : std::string();
    if (second == "silent") {
        ReplaceInstalledCopy();
    } else {
        const std::string path = update::DecodePathArgument(second);
        const bool isInstalledCopy = path == state.installPath + state.exeName;
        // An install folder that others may change is not used: the old copy
        // stays, and is not started with administrator rights either.
        // Nor is anything deleted when no copy can follow.
        if (!HoldsOwnProgram() || (isInstalledCopy && !CreateInstallFolder(state.installPath))) {
            platform.system.requestTerminate();
            return;
        }
        // The old process ends only a moment after it started this one, and
        // holds its file until then.
        bool freed = false;
        for (int waitedMs = 0; !freed && waitedMs < kReplaceWaitMs; waitedMs += kReplacePollMs) {
            platform.system.sleepMs(kReplacePollMs);
            DeleteFileForced(path);
            freed = !platform.files.fileExists(path);
        }
        const std::string restart = isInstalledCopy ? kRestartHidden : core::kClearUpdateRestSwitch;
        // A file that would not go may be anyone's, held open so that this
        // run would start it with its rights: nothing is started, the update
        // failed, and the program's next start offers it again. Once it has
        // gone, only a copy made anew here is started: whatever else took
        // the name is not ours. A copy that is not the installed one is
        // started as any program is; it asks for administrator rights
        // itself when it needs them.
        if (freed && CopyFileNoOverwrite(path)) StartHeld(path, restart);
    }
    platform.system.requestTerminate();
}

void TF_nolvara::ReplaceInstalledCopy() {
    MigrateRouterIP();
    LoadSettings();
    if (!state.autostart) return;
    const std::string installed = state.installPath + state.exeName;
    // An install folder that others may change is not used: the old copy
    // stays, and is not started with administrator rights either.
    if (!CreateInstallFolder(state.installPath)) return;
    // Without its own file held nothing is copied: the old copy stays, and
    // the hidden run that ended for the silent update starts again.
    if (!HoldsOwnProgram()) {
        if (runKind == core::RunKind::Updater) StartOwn(installed, kRestartHidden);
        return;
    }
    for (int pass = 0; platform.files.fileExists(installed) && pass < kReplacePasses; ++pass) {
        if (pass > 0) platform.system.sleepMs(100);
        TerminateByName(state.exeName);
        platform.files.deleteFile(installed);
    }
    // A copy that will not go stays as it is and is not recorded as replaced;
    // it is started again all the same, as automatic control was ended above.
    // Once it has gone, only a copy made anew here is started.
    const bool oldCopyStays = platform.files.fileExists(installed);
    const bool placed = !oldCopyStays && CopyFileNoOverwrite(installed);
    if (placed) SaveSettings(state.autostart, chk_restartservice.checked(), state.language);
    platform.system.sleepMs(100);
    if (oldCopyStays)
        StartOwn(installed, kRestartHidden);
    else if (placed)
        StartHeld(installed, kRestartHidden);
}

void TF_nolvara::ClearUpdateRest() {
    platform.system.sleepMs(100);
    DeleteFileForced(UpdaterFilePath());
}

void TF_nolvara::B_manupdateClick() {
    // The update panel stays for a run that can copy itself.
    if (!HoldsOwnProgram()) return;
    ReplaceInstalledCopy();
    ShowPanel("main");
    L_Text.setText(LookupText("manupdate"));
    SayWhenDeferred();
    Menu_file.setEnabled(true);
    Menu_autocontrol.setVisible(true);
}

}  // namespace shell
