#include "platform/win32/Win32Dpi.h"

namespace platform::win32 {

namespace {

// Looked up by name: each came with a later Windows than XP, which the
// 32-bit program still starts on.
template <typename Fn>
Fn user32Function(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

void DeclareDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2: the system also scales the
    // caption, the menu bar and the common controls' own parts, and tells a
    // window moved to a monitor of another scale.
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (const auto set = user32Function<SetContext>("SetProcessDpiAwarenessContext"))
        if (set(perMonitorV2)) return;
    using SetAware = BOOL(WINAPI*)();
    if (const auto set = user32Function<SetAware>("SetProcessDPIAware")) set();
}

int DpiOf(HWND hwnd) {
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = user32Function<ForWindow>("GetDpiForWindow");
    if (hwnd != nullptr && forWindow != nullptr) {
        const UINT dpi = forWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    // Before Windows 10 every monitor has the system's DPI; a program that
    // did not declare itself aware is told 96 here and stretched.
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : kDesignDpi;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace platform::win32
