// The notification icon through the shell: Wine's explorer keeps a tray
// window with one child per icon, which this test counts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/win32/Win32Looks.h"
#include "platform/win32/Win32NotifyArea.h"

namespace {

using platform::NotifyLook;
using platform::win32::kNotifyIconId;
using platform::win32::NotifyCallbackMessage;
using platform::win32::kNotifyWindowClass;

int trayIcons() {
    HWND tray = FindWindowA(nullptr, "Wine System Tray");
    int count = 0;
    if (tray != nullptr)
        EnumChildWindows(
            tray, [](HWND, LPARAM n) { return ++*reinterpret_cast<int*>(n), TRUE; },
            reinterpret_cast<LPARAM>(&count));
    return count;
}

// Pumps this thread's messages until the condition holds, 5 s at most.
bool within5s(const std::function<bool()>& condition) {
    for (int ms = 0; ms < 5000; ms += 20) {
        if (condition()) return true;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
    return condition();
}

TEST(Win32NotifyArea, ShowsChangesAndRemovesTheIconAndHandsOnWhatHappensToIt) {
    platform::win32::Win32NotifyArea area;
    int clicks = 0, restarts = 0;
    platform::NotifyEvents events;
    events.clicked = [&] { ++clicks; };
    events.shellRestarted = [&] { ++restarts; };
    auto icon = area.create(events);
    ASSERT_NE(icon, nullptr);
    HWND window = FindWindowExA(nullptr, nullptr, kNotifyWindowClass, nullptr);
    ASSERT_NE(window, nullptr) << "a top-level window, which hears of a new taskbar";
    EXPECT_FALSE(IsWindowVisible(window));

    const int before = trayIcons();
    ASSERT_TRUE(icon->show(NotifyLook::ScanOff, "Nolvara: background scan off"));
    ASSERT_TRUE(within5s([&] { return trayIcons() == before + 1; })) << trayIcons();
    EXPECT_TRUE(icon->show(NotifyLook::ScanOn, std::string(300, 'x')));
    EXPECT_EQ(trayIcons(), before + 1) << "changed in place";
    char tip[512] = {};
    GetWindowTextA(window, tip, sizeof tip);
    EXPECT_EQ(std::string(tip), std::string(127, 'x')) << "the tip as the shell has it, cut";

    // What the shell sends is handled from the message loop, not within the
    // sending: a click must not act inside a wait that answers sent messages.
    SendMessageA(window, NotifyCallbackMessage(), kNotifyIconId, WM_LBUTTONUP);
    SendMessageA(window, NotifyCallbackMessage(), kNotifyIconId, WM_MOUSEMOVE);
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(clicks + restarts, 0);
    EXPECT_TRUE(within5s([&] { return clicks == 1 && restarts == 1; })) << clicks << restarts;
    // Told of a new taskbar that still has the icon, it is changed after all.
    EXPECT_TRUE(icon->show(NotifyLook::ScanOff, "Nolvara: again"));
    EXPECT_EQ(trayIcons(), before + 1);

    // Another run's icon is taken away before that run is ended.
    EXPECT_TRUE(area.iconsOf(GetCurrentProcessId() + 4).empty()) << "not of this process";
    area.removeIcons(area.iconsOf(GetCurrentProcessId()));
    EXPECT_TRUE(within5s([&] { return trayIcons() == before; }));
    EXPECT_TRUE(icon->show(NotifyLook::ScanOn, "Nolvara: back"));
    EXPECT_TRUE(within5s([&] { return trayIcons() == before + 1; }));
    icon.reset();
    EXPECT_TRUE(within5s([&] { return trayIcons() == before; }));
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, kNotifyWindowClass, nullptr), nullptr);
}

// The menu's own loop runs timers, and the program's may end the icon
// meanwhile (the setting switched off, the session's end): the menu then
// closes, and nothing of the icon is touched nor any choice taken.
std::unique_ptr<platform::NotifyIcon>* g_ending = nullptr;

TEST(Win32NotifyArea, AnIconEndedWhileItsMenuIsOpenTakesNoChoice) {
    platform::win32::Win32NotifyArea area;
    int chosen = 0;
    platform::NotifyEvents events;
    events.menu = [] {
        SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            g_ending->reset();
            EndMenu();
        });
        return std::vector<std::string>{"&One", "&Two"};
    };
    events.chosen = [&](std::size_t) { ++chosen; };
    auto icon = area.create(events);
    ASSERT_NE(icon, nullptr);
    g_ending = &icon;
    ASSERT_TRUE(icon->show(NotifyLook::ScanOff, "Nolvara"));
    HWND window = FindWindowExA(nullptr, nullptr, kNotifyWindowClass, nullptr);
    SendMessageA(window, NotifyCallbackMessage(), kNotifyIconId, WM_RBUTTONUP);
    EXPECT_TRUE(within5s([&] { return icon == nullptr; }));
    EXPECT_TRUE(within5s([] { return FindWindowExA(nullptr, nullptr, kNotifyWindowClass, nullptr) == nullptr; }));
    EXPECT_EQ(chosen, 0);
}

// The looks drawn at run time are those tools/make-icons draws, at each size
// its icon files hold; hypot's last bit may differ at a shape's edge.
TEST(Win32Looks, AreDrawnAsTheIconFilesHoldThem) {
    for (const bool scanning : {false, true}) {
        std::ifstream in(std::string(NOLVARA_ICONS) + (scanning ? "scan-on.ico" : "scan-off.ico"),
                         std::ios::binary);
        const std::string ico((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GT(ico.size(), 6u);
        const auto at = [&](std::size_t offset) {
            std::uint32_t value = 0;
            std::memcpy(&value, ico.data() + offset, 4);
            return value;
        };
        for (int i = 0; i < static_cast<unsigned char>(ico[4]); ++i) {
            const int size = static_cast<unsigned char>(ico[6 + 16 * i]);
            const std::size_t image = at(6 + 16 * i + 12) + 40;  // past its header; rows from below
            const std::vector<std::uint32_t> drawn = platform::win32::LookPixels(scanning, size);
            int differing = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    differing += drawn[y * size + x] != at(image + 4 * ((size - 1 - y) * size + x));
            EXPECT_LE(differing, size / 8) << scanning << " at " << size;
        }
    }
}

}  // namespace
