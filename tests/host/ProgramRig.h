// A whole program over the headless toolkit: the window on fakes, with the
// clock driving its timers.
#pragma once

#include <string>
#include <vector>

#include "core/Startup.h"
#include "fakes/Headless.h"
#include "shell/TF_nolvara.h"

struct ProgramRig {
    explicit ProgramRig(std::vector<std::string> args = {}) {
        world.system.args.insert(world.system.args.end(), args.begin(), args.end());
        world.clock.bind(window);
    }
    void start() { core::StartProgram(window); }

    fakes::HeadlessWorld world;
    shell::TF_nolvara window{world.platform};
};
