// Running processes: a snapshot, and ending one of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
    std::uint32_t id = 0;
    std::string exeFile;  // file name of the executable, without folder
};

// A process held open to learn of its end.
class RunningProcess {
public:
    virtual ~RunningProcess() = default;
    virtual bool ended() = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Every running process in the system's order; empty when no snapshot
    // could be taken.
    virtual std::vector<ProcessEntry> snapshot() = 0;
    virtual std::uint32_t currentProcessId() = 0;
    // Ends the process with exit code 0; false when it cannot be opened or ended.
    virtual bool terminate(std::uint32_t id) = 0;
    // The system's lower-case form of a file name (its locale rules).
    virtual std::string toLower(const std::string& text) = 0;
    // Whether the process runs in this run's session; false where that
    // cannot be told (another user's process, or one with administrator
    // rights, which this run may not open).
    virtual bool inOwnSession(std::uint32_t id) = 0;
    // The process whose window the user works in now; 0 for none.
    virtual std::uint32_t foregroundProcessId() = 0;
    // Holds the process to tell its end; null where it may not be opened
    // (one with administrator rights, say) or is gone already.
    virtual std::unique_ptr<RunningProcess> hold(std::uint32_t id) = 0;
};

}  // namespace platform
