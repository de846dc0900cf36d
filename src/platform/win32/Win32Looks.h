// The notification icon's two looks, drawn at the very size the notification
// area asks for: a green disc with a white wireless fan where Windows does
// not scan, an amber one with the fan inside a white ring where it may.
// tools/make-icons draws the same for the program file's icon.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace platform::win32 {

// Rows from the top, each pixel blue, green, red and alpha (not multiplied
// by it) in one value, blue in the lowest byte.
std::vector<std::uint32_t> LookPixels(bool scanning, int size);

// The look as an icon for its holder to destroy; none where the system
// could not make one.
HICON DrawLook(bool scanning, int size);

}  // namespace platform::win32
