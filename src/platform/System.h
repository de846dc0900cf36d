// The running process and its machine: program path and arguments, the Windows
// directory, the computer name, pausing, and the request to end the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class System {
public:
    virtual ~System() = default;
    // Full path of the running program file (argument 0).
    virtual std::string programPath() = 0;
    // Arguments as the command line gives them, argument 0 first.
    virtual std::vector<std::string> arguments() = 0;
    // The Windows directory exactly as the system reports it.
    virtual std::string windowsDirectory() = 0;
    virtual std::string computerName() = 0;
    // Milliseconds since an arbitrary start; wraps around after 49 days, so
    // compare differences, not values.
    virtual std::uint32_t tickCountMs() = 0;
    // The local time in whole seconds since 1970-01-01 00:00:00 local time.
    virtual std::int64_t localTimeSec() = 0;
    // Blocks the one thread; no event is handled meanwhile.
    virtual void sleepMs(int ms) = 0;
    // Blocks the one thread too, but what the system asks the program's
    // windows meanwhile (whether the session may end) is answered.
    virtual void pauseAnsweringMs(int ms) = 0;
    // Makes this process the one holder of the named claim among the
    // processes of the user's session, until it ends. Another holder is
    // waited for up to waitMs (a process just ended may take a moment to go);
    // false when it still holds the claim then.
    virtual bool claimForSession(const std::string& name, int waitMs) = 0;
    // The same among all processes of the machine, every session's.
    virtual bool claimForMachine(const std::string& name, int waitMs) = 0;
    // True while some process of the session holds the named claim.
    virtual bool claimedInSession(const std::string& name) = 0;
    // True where the system separates a user's rights from an administrator's
    // (Windows Vista and later, with the prompt on) and this process runs
    // without the administrator's; false where it has them or the system
    // knows no such separation (Windows XP).
    virtual bool lacksAdministratorRights() = 0;
    // True where the process's windows can be seen: not on the hidden desktop
    // of a run under a service's account, as a deployment tool makes, where a
    // message box would wait for ever.
    virtual bool seenByUser() = 0;
    // The code the process ends with, for the tool that started it; 0 unless set.
    virtual void setExitCode(int code) = 0;
    virtual int exitCode() const = 0;
    // Ends the program once the event being handled has returned.
    virtual void requestTerminate() = 0;
    virtual bool terminateRequested() const = 0;
};

}  // namespace platform
