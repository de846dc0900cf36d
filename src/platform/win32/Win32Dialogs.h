// Modal dialogs on the Win32 user interface.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Dialogs.h"

namespace platform::win32 {

class Win32Dialogs : public platform::Dialogs {
public:
    // The main window once it exists; boxes shown before that are modal to
    // every window of the thread instead.
    void setOwner(HWND owner) { owner_ = owner; }
    HWND owner() const { return owner_; }

    // Blocks in the box's own message loop, which still dispatches the
    // thread's timer messages, so the program's timers go on firing.
    void messageBox(const std::string& text, const std::string& caption,
                    platform::MessageIcon icon) override;

private:
    HWND owner_ = nullptr;
};

}  // namespace platform::win32
