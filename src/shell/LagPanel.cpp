// The lag meter's page: what the session's hidden run records, live once a
// second while the page shows, the lag test asked of that run, and the
// record saved as CSV.
#include "shell/LagPage.h"
#include "shell/TF_nolvara.h"

namespace shell {

std::optional<core::LagRecordView> TF_nolvara::ReadLagRecord() {
    return core::ReadSessionLagRecord(platform.share, [this] { platform.system.sleepMs(10); });
}

void TF_nolvara::Menu_lagmeterClick() {
    ShowPanel("lag");
    RefreshLagPage();
    T_lag.setEnabled(true);
}

void TF_nolvara::RefreshLagPage() {
    const LagPageContent page = LagPage(ReadLagRecord(),
                                        [this](const std::string& key) { return LookupText(key); });
    chart_lag.timeLabels = page.timeLabels;
    chart_lag.setPoints(page.chart);
    L_lagrows.setText(page.rows);
    L_lagscan.setText(page.scanning);
    L_lagnoscan.setText(page.notScanning);
    L_lagscans.setText(page.scans);
    // A note the user's click brought stays a while before the state takes
    // its place again: the page is refreshed every second.
    if (lagNoteSinceMs && platform.system.tickCountMs() - *lagNoteSinceMs < kLagNoteMs) return;
    lagNoteSinceMs.reset();
    L_lagstate.setText(page.state);
}

void TF_nolvara::ShowLagNote(const std::string& note) {
    L_lagstate.setText(note);
    lagNoteSinceMs = platform.system.tickCountMs();
}

void TF_nolvara::T_lagTimer() {
    // Another page took the place: nothing to keep up to date.
    if (!box_lag.visible()) {
        T_lag.setEnabled(false);
        return;
    }
    RefreshLagPage();
}

void TF_nolvara::B_lagtestClick() {
    const auto record = ReadLagRecord();
    if (record && record->test.state == core::LagTestState::Running) {
        ShowLagNote(LookupText("lag_test_busy"));
    } else if (!record || !core::AskForLagTest(platform.share)) {
        ShowLagNote(LookupText("lag_test_norecord"));
    } else {
        ShowLagNote(
            LookupText(record->test.controlPaused ? "lag_test_afterpause" : "lag_test_asked"));
    }
}

void TF_nolvara::B_lagsaveClick() {
    const auto record = ReadLagRecord();
    if (!record) {
        ShowLagNote(LookupText("lag_norecord"));
        return;
    }
    const auto path = platform.dialogs.chooseFileToSave("nolvara-lag.csv", "CSV");
    if (!path) return;
    const bool saved = platform.files.replaceFile(*path, core::LagCsv(record->samples));
    ShowLagNote(LookupTextNaming(saved ? "lag_saved" : "lag_notsaved", *path));
}

}  // namespace shell
