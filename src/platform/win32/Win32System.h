// The running process and its machine, as Windows reports them.
#pragma once

#include <string>
#include <vector>

#include "platform/PowerSource.h"
#include "platform/System.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

// Writes a line where the run's output goes: the file or pipe it was
// redirected to, else the console of the program that started it (a
// program of the Windows subsystem has none of its own). Nothing where
// there is neither.
void WriteLineToStarter(const std::string& line);

class Win32PowerSource : public platform::PowerSource {
public:
    bool onBattery() override;
};

class Win32System : public platform::System {
public:
    std::string programPath() override;
    // Argument 0 is the program path from the system rather than whatever the
    // caller wrote at the start of the line (which may be relative or quoted).
    std::vector<std::string> arguments() override;
    std::string windowsDirectory() override;
    std::string computerName() override;
    std::uint32_t tickCountMs() override;
    std::int64_t localTimeSec() override;
    void sleepMs(int ms) override;
    void pauseAnsweringMs(int ms) override;
    bool claimForMachine(const std::string& name, int waitMs) override;
    // A named mutex of the session's own namespace, held until the process
    // ends; the system lets go of it then, however the process ended.
    bool claimForSession(const std::string& name, int waitMs) override;
    bool claimedInSession(const std::string& name) override;
    // The token's elevation, which Windows before Vista cannot report.
    bool lacksAdministratorRights() override;
    // Posts the quit message: the message loop ends once the event being
    // handled returns and the queue has given up what was posted before.
    bool seenByUser() override;
    void setExitCode(int code) override { exitCode_ = code; }
    int exitCode() const override { return exitCode_; }
    void requestTerminate() override;
    bool terminateRequested() const override { return terminateRequested_; }

private:
    // The mutex of that full name ("Local\\..." or "Global\\..."), held.
    bool claim(const std::string& fullName, int waitMs);
    bool terminateRequested_ = false;
    int exitCode_ = 0;
    std::vector<KernelHandle> claims_;
};

}  // namespace platform::win32
