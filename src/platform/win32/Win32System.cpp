#include "platform/win32/Win32System.h"

#include <windows.h>

#include <stdexcept>
#include <utility>

#include "platform/CommandLine.h"

namespace platform::win32 {

void WriteLineToStarter(const std::string& line) {
    const std::string text = line + "\r\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type =
        out != nullptr && out != INVALID_HANDLE_VALUE ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    KernelHandle console;
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        console.reset(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
        if (!console) return;
        out = console.get();
    }
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool Win32PowerSource::onBattery() {
    SYSTEM_POWER_STATUS status{};
    // 0 offline, 1 online, 255 unknown: only offline is the battery.
    return GetSystemPowerStatus(&status) != FALSE && status.ACLineStatus == 0;
}

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
    std::vector<std::string> args = platform::SplitCommandLine(GetCommandLineA());
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

std::int64_t Win32System::localTimeSec() {
    // The local clock's reading, counted as FILETIME counts: 100 ns since 1601.
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME counted;
    if (!SystemTimeToFileTime(&local, &counted)) return 0;
    const std::uint64_t ticks = (static_cast<std::uint64_t>(counted.dwHighDateTime) << 32) |
                                counted.dwLowDateTime;
    constexpr std::uint64_t k1970 = 116'444'736'000'000'000;
    return ticks < k1970 ? 0 : static_cast<std::int64_t>((ticks - k1970) / 10'000'000);
}

void Win32System::sleepMs(int ms) { Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0); }

void Win32System::pauseAnsweringMs(int ms) {
    // Messages sent from other threads and processes, such as the system's
    // question before the session ends, are handled within PeekMessage; what
    // was posted waits for the message loop, so no timer or click runs here.
    const DWORD startedMs = GetTickCount();
    const DWORD totalMs = ms > 0 ? static_cast<DWORD>(ms) : 0;
    for (;;) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD waitedMs = GetTickCount() - startedMs;
        if (waitedMs >= totalMs) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, totalMs - waitedMs, QS_SENDMESSAGE);
    }
}

bool Win32System::claimForSession(const std::string& name, int waitMs) {
    return claim("Local\\" + name, waitMs);
}

bool Win32System::claimForMachine(const std::string& name, int waitMs) {
    // A holder in another session, of another user, keeps others from even
    // opening the mutex: refused access means it is held.
    return claim("Global\\" + name, waitMs);
}

bool Win32System::claim(const std::string& fullName, int waitMs) {
    KernelHandle mutex(CreateMutexA(nullptr, FALSE, fullName.c_str()));
    if (!mutex) return false;
    // An abandoned mutex is one whose holder ended without letting go: free.
    const DWORD result = WaitForSingleObject(mutex.get(), waitMs > 0 ? static_cast<DWORD>(waitMs) : 0);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return false;
    claims_.push_back(std::move(mutex));
    return true;
}

bool Win32System::claimedInSession(const std::string& name) {
    return static_cast<bool>(KernelHandle(OpenMutexA(SYNCHRONIZE, FALSE, ("Local\\" + name).c_str())));
}

bool Win32System::lacksAdministratorRights() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    const KernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD length = 0;
    // Windows XP knows no such class and refuses it: there, rights are the user's.
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &length))
        return false;
    return elevation.TokenIsElevated == 0;
}

bool Win32System::seenByUser() {
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    // Unknown counts as seen: the box is what a person at the desktop expects.
    return !GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                      &needed) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

void Win32System::requestTerminate() {
    PostQuitMessage(exitCode_);
    terminateRequested_ = true;
}

}  // namespace platform::win32
