#include "core/CommandLine.h"

#include "core/ProgramState.h"

namespace core {

RunKind RunKindOf(const std::vector<std::string>& args) {
    if (args.size() < 2) return RunKind::Interactive;
    const std::string& first = args[1];
    if (first == kHiddenRunSwitch) return RunKind::AutoControl;
    // "-update" alone, or with the old folder behind it (-updateC%3A...).
    if (first.compare(0, 7, "-update") == 0) return RunKind::Updater;
    if (first == "-kill") return RunKind::Uninstall;
    if (first == "-noguiinst") return RunKind::UnattendedInstall;
    if (first == "-noguiuninst") return RunKind::UnattendedUninstall;
    return RunKind::Interactive;
}

bool ShowsNoWindow(const std::vector<std::string>& args) {
    const RunKind kind = RunKindOf(args);
    return kind == RunKind::AutoControl || kind == RunKind::Updater || kind == RunKind::Uninstall ||
           kind == RunKind::UnattendedUninstall;
}

}  // namespace core
