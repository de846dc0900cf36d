// How every binding reports a failed call of the system: one text form
// ("what (error N)."), the call's name and the code kept as values in the
// facility's error.
#pragma once

#include <windows.h>

#include <string>

#include "platform/SystemError.h"

namespace platform::win32 {

template <typename Error = platform::SystemError>
Error Win32Error(const std::string& what, const char* call, DWORD code, const char* end = ".") {
    std::string text = what + " (error " + std::to_string(code) + ")" + end;
    return Error(text, call == nullptr ? "" : call, code);
}

}  // namespace platform::win32
