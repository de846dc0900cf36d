// A message-only window of the calling thread: what another thread posts to
// it is handled by that thread's message loop, as one more event.
#pragma once

#include <windows.h>

namespace platform::win32 {

// Registers the class on first use (a later registration fails harmlessly)
// and makes the window; null when it cannot be made.
inline HWND CreateMessageWindow(const char* className, WNDPROC procedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

}  // namespace platform::win32
