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

}  // namespace win32_tests
