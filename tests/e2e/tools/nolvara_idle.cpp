// The yardstick of the footprint benchmark: an empty Win32 program whose
// hidden window gets a timer message once a second and does nothing with
// it. What the hidden automatic-control run costs beyond this is its own.
// With the argument "show" its window shows and takes the screen, as a game
// does: the scenarios' chosen program.
#include <windows.h>

namespace {

constexpr char kClass[] = "NolvaraIdle";

LRESULT CALLBACK idleProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) return 0;
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &idleProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    if (!RegisterClassA(&windowClass)) return 1;
    HWND hwnd = CreateWindowExA(0, kClass, "Nolvara idle", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr || SetTimer(hwnd, 1, 1000, nullptr) == 0) return 1;
    if (lstrcmpA(arguments, "show") == 0) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetForegroundWindow(hwnd);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
