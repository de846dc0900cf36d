// Starting program files through the shell, without waiting for them.
#pragma once

#include <optional>
#include <string>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Starts the program file by its full path with the argument text, in a
    // normal window; never through a file association, which the user's own
    // settings can change. False when it could not be started.
    virtual bool start(const std::string& file, const std::string& arguments) = 0;
    // Starts the program file with administrator rights, which Windows asks
    // the user for. False when it could not be started or the user said no.
    virtual bool startElevated(const std::string& file, const std::string& arguments) = 0;
    // The same, then waits up to waitMs for it to end: its exit code; none
    // when it was not started or had not ended by then.
    virtual std::optional<int> runElevated(const std::string& file, const std::string& arguments,
                                           int waitMs) = 0;
    // Starts the program file with the rights Windows gives the signed-in
    // user's own programs: from a run elevated above them, without its
    // administrator token. False when it could not be started so, and then
    // nothing was started.
    virtual bool startAsUser(const std::string& file, const std::string& arguments) = 0;
    // Runs the batch file with the system's own command processor, by full
    // path, without a window, without the user's AutoRun command, in the
    // system folder: nothing of the user's folders or settings takes part.
    virtual bool runBatch(const std::string& file) = 0;
};

}  // namespace platform
