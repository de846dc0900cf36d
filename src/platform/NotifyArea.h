// The notification area of the taskbar: one icon of the program's, with a
// tooltip, a menu on a right click and a command on a left click.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The two looks the program draws: Windows may scan for networks now, or not.
enum class NotifyLook { ScanOff, ScanOn };

// What the user does with the icon, and what the shell tells of it. The
// facility calls these on the thread that made the icon, between events.
struct NotifyEvents {
    std::function<void()> clicked;
    // The pointer rests on the icon: its tooltip is about to show.
    std::function<void()> hovered;
    // The menu's items, asked for when it opens; then the one chosen, by
    // its index (nothing when the menu closed without a choice).
    std::function<std::vector<std::string>()> menu;
    std::function<void(std::size_t)> chosen;
    // The taskbar was made anew (Explorer restarted): every icon is gone.
    std::function<void()> shellRestarted;
};

class NotifyIcon {
public:
    // Removes the icon.
    virtual ~NotifyIcon() = default;
    // Adds the icon, or changes the one shown; false when the shell took
    // nothing (no taskbar yet).
    virtual bool show(NotifyLook look, const std::string& tip) = 0;
};

class NotifyArea {
public:
    virtual ~NotifyArea() = default;
    // What receives the icon's events, before any icon is shown; null where
    // it cannot be made.
    virtual std::unique_ptr<NotifyIcon> create(NotifyEvents events) = 0;
    // The icons of another run of the program, found while its windows are
    // there, and taken away once it has been ended from outside: left, they
    // would stay until the mouse passes. A run that could not be ended keeps
    // its icon.
    virtual std::vector<std::uintptr_t> iconsOf(std::uint32_t processId) = 0;
    virtual void removeIcons(const std::vector<std::uintptr_t>& icons) = 0;
};

}  // namespace platform
