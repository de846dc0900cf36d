// The display's scale. The windows are laid out in units of 96 DPI, the scale
// Windows calls 100 %; the binding multiplies every size by the DPI of the
// monitor a window is on over 96, so that nothing is drawn small and then
// stretched (and blurred) by the system.
#pragma once

#include <windows.h>

namespace platform::win32 {

inline constexpr int kDesignDpi = 96;

// Tells Windows that the program scales itself: per monitor where Windows
// can say so (10, version 1703 on), to the system's DPI from Vista on.
// Windows XP knows no such thing and scales nothing. Call before the first
// window is made.
void DeclareDpiAwareness();

// The DPI that the window is drawn at; for null, that of the system.
int DpiOf(HWND hwnd);

// A length in 96-DPI units at the DPI, rounded to the nearest pixel.
inline int ScaledForDpi(int length, int dpi) { return MulDiv(length, dpi, kDesignDpi); }

}  // namespace platform::win32
