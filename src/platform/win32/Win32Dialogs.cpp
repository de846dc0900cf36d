#include "platform/win32/Win32Dialogs.h"

namespace platform::win32 {

void Win32Dialogs::messageBox(const std::string& text, const std::string& caption,
                              platform::MessageIcon icon) {
    // An owner that is gone (the window was closed) would make the box fail.
    HWND owner = (owner_ != nullptr && IsWindow(owner_)) ? owner_ : nullptr;
    UINT flags = MB_OK | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL);
    if (icon == platform::MessageIcon::Error) flags |= MB_ICONERROR;
    MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

}  // namespace platform::win32
