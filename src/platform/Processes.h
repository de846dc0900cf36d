// Running processes: a snapshot, and ending one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
    std::uint32_t id = 0;
    std::string exeFile;  // file name of the executable, without folder
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
};

}  // namespace platform
