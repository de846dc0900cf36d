// The runs a script starts: they show no window, ask for no rights, and talk
// to the session's hidden run through the lag record and its signal. One
// line goes to the console they were started from, the exit code to the
// script.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/LagRecord.h"
#include "platform/SessionShare.h"

namespace core {

inline constexpr const char* kPauseSwitch = "-pause";
inline constexpr const char* kResumeSwitch = "-resume";
inline constexpr const char* kStatusSwitch = "-status";
inline constexpr std::uint32_t kScriptPauseMinutes = 60;

enum ScriptExit {
    kScriptScanOff = 0,  // -status: scanning is off; the others: done
    kScriptNoRun = 1,    // no hidden run controls in this session
    kScriptBadArguments = 2,
    kScriptMayScan = 3,  // -status: Windows may scan, the line says why
    kScriptNotTaken = 4  // the hidden run did not take the request in time
};

// Whether the first argument starts a script's run.
bool IsScriptRun(const std::vector<std::string>& args);

// The line -status writes of a record: whether Windows may scan and why,
// then the last minute, in English for the scripts that read it.
std::string StatusLine(const LagRecordView& record);

struct ScriptOutcome {
    int exitCode = kScriptNoRun;
    std::string line;
};
// Carries out the run's arguments. A pause or a resume is asked of the
// hidden run and waited for in its record, at most waitTries pauses.
ScriptOutcome RunScript(const std::vector<std::string>& args, platform::SessionShare& share,
                        const std::function<void()>& pause, int waitTries = 50);

}  // namespace core
