// The program's switches and what the kinds of run they start have in common.
#pragma once

#include <string>
#include <vector>

#include "core/ProgramState.h"
#include "platform/CommandLine.h"

namespace core {

// The kind of run the first argument starts. Switches are exact and
// case-sensitive; anything else starts an interactive run.
RunKind RunKindOf(const std::vector<std::string>& args);

// What the unattended installation and removal end with, for the deployment
// tool that started them. The removal's failing steps: 3 the remover could
// not be placed, 4 the installed copy stayed, 5 the settings or the start
// entry stayed.
inline constexpr int kExitDone = 0;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitFolderUnusable = 3;
inline constexpr int kExitCopyOrStartFailed = 4;
inline constexpr int kExitEntriesLeft = 5;
inline bool IsUnattended(RunKind kind) {
    return kind == RunKind::UnattendedInstall || kind == RunKind::UnattendedUninstall;
}

// Whether the run these arguments start never shows its window: the hidden
// run, the updaters and the remover. Such a run makes none of the window's
// controls, and so never loads the common controls' library, which is found
// by name through side-by-side binding: the updater and the remover run with
// administrator rights from the drive root, where any user may make the
// folders that binding would look in.
bool ShowsNoWindow(const std::vector<std::string>& args);

}  // namespace core
