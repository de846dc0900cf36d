// The taskbar's notification area through the shell (Shell_NotifyIcon, which
// XP has): the icon's messages arrive at a hidden top-level window of the
// program's thread, which also hears that Explorer made its taskbar anew.
#pragma once

#include <windows.h>

#include "platform/NotifyArea.h"

namespace platform::win32 {

// The icon's window, found by its class: drivers and other runs look for it.
// Its text is the icon's tooltip.
inline constexpr char kNotifyWindowClass[] = "Nolvara.NotifyIcon";
inline constexpr UINT kNotifyIconId = 1;
// The message the shell sends of the user's clicks: a registered one, which
// no other window of the program takes for its own. An elevated run lets
// the shell through for it alone.
UINT NotifyCallbackMessage();

class Win32NotifyArea : public platform::NotifyArea {
public:
    std::unique_ptr<platform::NotifyIcon> create(platform::NotifyEvents events) override;
    std::vector<std::uintptr_t> iconsOf(std::uint32_t processId) override;
    void removeIcons(const std::vector<std::uintptr_t>& icons) override;
};

}  // namespace platform::win32
