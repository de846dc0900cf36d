#include "core/CommandLine.h"

#include "core/ProgramState.h"

namespace core {

bool ShowsNoWindow(const std::vector<std::string>& args) {
    if (args.size() < 2) return false;
    const std::string& first = args[1];
    return first == kHiddenRunSwitch || first == "-kill" || first.compare(0, 7, "-update") == 0;
}

}  // namespace core
