#include "platform/win32/Win32System.h"

#include <windows.h>

#include <stdexcept>

#include "core/CommandLine.h"

namespace platform::win32 {

std::string Win32System::programPath() {
    // A path longer than the buffer comes back cut and without its terminator
    // (on XP), so grow until the answer is shorter than the room given.
    std::string path(MAX_PATH, '\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw std::runtime_error("The program path is not available.");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::vector<std::string> Win32System::arguments() {
    std::vector<std::string> args = core::SplitCommandLine(GetCommandLineA());
    if (args.empty())
        args.push_back(programPath());
    else
        args[0] = programPath();
    return args;
}

std::string Win32System::windowsDirectory() {
    std::string dir(MAX_PATH, '\0');
    UINT length = GetWindowsDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    if (length >= dir.size()) {
        dir.resize(length);
        length = GetWindowsDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    }
    if (length == 0 || length >= dir.size())
        throw std::runtime_error("The Windows directory is not available.");
    dir.resize(length);
    return dir;
}

std::string Win32System::computerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    if (!GetComputerNameA(name, &length)) return std::string();
    return std::string(name, length);
}

std::uint32_t Win32System::tickCountMs() { return GetTickCount(); }

void Win32System::sleepMs(int ms) { Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0); }

void Win32System::requestTerminate() {
    PostQuitMessage(0);
    terminateRequested_ = true;
}

}  // namespace platform::win32
