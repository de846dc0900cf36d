// Files as a test sets them up and reads them back, through the system alone,
// so that the code under test plays no part in it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/win32/UniqueHandle.h"

namespace win32_tests {

// A program or library the build put beside the tests (relative is the path
// from the test program's folder, with / or \\).
inline std::string builtFilePath(const std::string& relative) {
    char own[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, own, sizeof own);
    std::string path(own, length);
    path.resize(path.find_last_of('\\') + 1);
    for (const char c : relative) path += c == '/' ? '\\' : c;
    return path;
}

// Leaked handles show in the handle count where the system keeps one; Wine
// answers none, but hands out the lowest free handle, so leaked ones push
// the next new handle up.
struct HandleUse {
    DWORD count = 0;
    std::uintptr_t nextHandle = 0;
};
inline HandleUse handleUse() {
    HandleUse use;
    GetProcessHandleCount(GetCurrentProcess(), &use.count);
    HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    use.nextHandle = reinterpret_cast<std::uintptr_t>(probe);
    CloseHandle(probe);
    return use;
}

// Replaces the file's content with these bytes; false when it cannot.
inline bool writeBytes(const std::string& path, const std::string& bytes) {
    const platform::win32::KernelHandle file(CreateFileA(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && (bytes.empty() || (WriteFile(file.get(), bytes.data(),
                                                static_cast<DWORD>(bytes.size()), &written,
                                                nullptr) &&
                                      written == bytes.size()));
}

// Starts program (this test program, or a copy of it) to run the tests that
// filter names, with the variable set to value in its environment alone; its
// exit code, or -1 when it could not start or did not end within 60 s.
inline int runTestsIn(const std::string& program, const std::string& filter, const char* variable,
                      const std::string& value) {
    std::string command = "\"" + program + "\" --gtest_filter=" + filter + " --gtest_brief=1";
    SetEnvironmentVariableA(variable, value.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const BOOL ok = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &started);
    SetEnvironmentVariableA(variable, nullptr);
    if (!ok) return -1;
    const platform::win32::KernelHandle child(started.hProcess);
    CloseHandle(started.hThread);
    DWORD exitCode = 1;
    if (WaitForSingleObject(child.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(child.get(), 1);
        return -1;
    }
    GetExitCodeProcess(child.get(), &exitCode);
    return static_cast<int>(exitCode);
}

}  // namespace win32_tests
