// A whole program over the headless toolkit: the window on fakes, with the
// clock driving its timers.
#pragma once

#include <string>
#include <vector>

#include "fakes/Headless.h"
#include "shell/Startup.h"
#include "shell/TF_nolvara.h"

// Where the program keeps its settings and files, as the tests look for them.
inline constexpr const char* kKey = "SOFTWARE\\Nolvara";
inline constexpr const char* kIpList = "SOFTWARE\\Nolvara\\IPList";
inline constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kService = "SYSTEM\\CurrentControlSet\\Services\\WZCSVC";
// The program file of a rig's run, and the installed copy in the default folder.
inline constexpr const char* kSelf = "C:\\Tools\\P_nolvara.exe";
inline constexpr const char* kInstalled = "C:\\Nolvara\\P_nolvara.exe";

struct ProgramRig {
    explicit ProgramRig(std::vector<std::string> args = {}) {
        world.system.args.insert(world.system.args.end(), args.begin(), args.end());
        world.clock.bind(window);
    }
    void start() { shell::StartProgram(window); }

    fakes::HeadlessWorld world;
    shell::TF_nolvara window{world.platform};
};
