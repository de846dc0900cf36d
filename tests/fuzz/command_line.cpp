// The unattended installation's command line, from the split of the raw line
// through the switches to the installation, and the hidden run it starts
// reading what that installation stored.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Require.h"
#include "core/CommandLine.h"
#include "core/Convert.h"
#include "core/Paths.h"
#include "host/ProgramRig.h"
#include "settings/IpAddress.h"

namespace {

// The text as stored: a drive folder that normalises to itself.
bool isNormalFolder(const std::string& folder) {
    std::string again = folder;
    return core::NormalizeFolderPath(again) && again == folder;
}

void checkStoredSettings(const fakes::FakeRegistry& registry) {
    if (const auto delay = registry.get(kKey, "shutdowndelay"))
        FUZZ_REQUIRE(delay->number >= 0 && delay->number <= core::kMaxDelaySec);
    if (const auto folder = registry.get(kKey, "installpath"))
        FUZZ_REQUIRE(isNormalFolder(folder->text));
    for (const std::string& name : registry.valueNames(kIpList)) {
        const std::string stored = registry.get(kIpList, name)->text;
        std::string normal = stored;
        FUZZ_REQUIRE(settings::IsValidIP(normal) && normal == stored);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The program's own path and "-noguiinst" come first on the line; what
    // follows them is split on its own just the same.
    std::vector<std::string> args =
        platform::SplitCommandLine(std::string(reinterpret_cast<const char*>(data), size));
    // Started again with administrator rights, the run gets the same arguments.
    FUZZ_REQUIRE(platform::SplitCommandLine("x " + platform::JoinArguments(args, 0)) == [&] {
        std::vector<std::string> again{"x"};
        for (const std::string& arg : args)
            if (!arg.empty()) again.push_back(arg);
        return again;
    }());
    args.insert(args.begin(), "-noguiinst");

    ProgramRig install(args);
    install.world.files.addFile(kSelf, "program");
    install.start();
    auto& world = install.world;
    // Either the run ends, or a bad switch value opens the window instead.
    FUZZ_REQUIRE(world.system.terminateRequested() != install.window.visible());
    if (world.shell.starts.empty()) return 0;

    checkStoredSettings(world.registry);
    const fakes::FakeShell::Start started = world.shell.starts.back();

    // The installed copy as Windows starts it, over what the installation left.
    world.system.args = {started.file, "-hide"};
    world.system.terminate = false;
    shell::TF_nolvara hidden{world.platform};
    shell::StartProgram(hidden);
    // An error at its start would have put it back into an interactive run.
    FUZZ_REQUIRE(hidden.runKind == core::RunKind::AutoControl && !hidden.visible());
    return 0;
}
