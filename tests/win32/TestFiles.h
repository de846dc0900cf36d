// Files as a test sets them up and reads them back, through the system alone,
// so that the code under test plays no part in it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/UniqueHandle.h"

namespace win32_tests {

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
