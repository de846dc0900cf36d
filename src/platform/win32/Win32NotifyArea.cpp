#include "platform/win32/Win32NotifyArea.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "platform/win32/MessageWindow.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Looks.h"

namespace platform::win32 {

namespace {

// Tooltips of XP's structure hold 128 bytes, the closing zero among them.
constexpr std::size_t kTipBytes = 128;
// What the shell sent, handled again from the message loop (posted to the
// window itself): a click must not open the menu inside a switch of the
// service, whose waits answer sent messages.
constexpr UINT kMouse = WM_APP + 0x40;
constexpr UINT kShellRestarted = WM_APP + 0x41;

NOTIFYICONDATAA iconData(HWND hwnd) {
    NOTIFYICONDATAA data{};
    // The size that XP knows, with the long tooltip; later systems take it too.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = hwnd;
    data.uID = kNotifyIconId;
    return data;
}

// The small icon's size at the scale the notification area is drawn at: the
// taskbar's own, on its monitor (Windows 10 1607 on), which may differ from
// the scale this run's awareness sees. LoadIconMetric would tell as much but
// brings the common controls into the hidden run, a megabyte for one number.
int iconSize() {
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    static const auto metricsFor = reinterpret_cast<MetricsForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi")));
    const HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (metricsFor != nullptr && taskbar != nullptr)
        return metricsFor(SM_CXSMICON, static_cast<UINT>(DpiOf(taskbar)));
    // 16 at 100 %, 32 at 200 % of the system's scale.
    return GetSystemMetrics(SM_CXSMICON);
}

// An elevated run hears nothing from the shell, which runs with less, but
// for the messages it lets through: into this window alone (Windows 7 on),
// never into the whole process, where any program of the session could
// post them. Vista's call lets them into the whole process: not used.
void letThrough(HWND hwnd, UINT message) {
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    static const auto filter = reinterpret_cast<Filter>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx")));
    if (filter != nullptr && hwnd != nullptr && message != 0)
        filter(hwnd, message, 1 /* MSGFLT_ALLOW */, nullptr);
}

class Win32NotifyIcon final : public platform::NotifyIcon {
public:
    explicit Win32NotifyIcon(platform::NotifyEvents events) : events_(std::move(events)) {
        callback_ = NotifyCallbackMessage();
        taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
        WindowOwner::RegisterPlainClass(kNotifyWindowClass);
        // Top-level, for only such windows hear that the taskbar was made
        // anew; never shown.
        WindowOwner::Shape shape;
        shape.exStyle = WS_EX_TOOLWINDOW;
        shape.style = WS_POPUP;
        shape.parent = nullptr;
        window_ = WindowOwner(
            kNotifyWindowClass, shape,
            [this](HWND hwnd, UINT msg, WPARAM, LPARAM lp) { return handle(hwnd, msg, lp); });
        // The shell knows the icon by this handle, even once the window is
        // gone: it is kept for the icon's removal.
        hwnd_ = window_.get();
        letThrough(hwnd_, callback_);
        letThrough(hwnd_, taskbarCreated_);
    }
    ~Win32NotifyIcon() override {
        if (hwnd_ == nullptr) return;
        if (added_) {
            NOTIFYICONDATAA data = iconData(hwnd_);
            Shell_NotifyIconA(NIM_DELETE, &data);
        }
        window_.reset();
        dropIcons();
    }
    Win32NotifyIcon(const Win32NotifyIcon&) = delete;
    Win32NotifyIcon& operator=(const Win32NotifyIcon&) = delete;

    bool made() const { return hwnd_ != nullptr; }

    bool show(platform::NotifyLook look, const std::string& tip) override {
        NOTIFYICONDATAA data = iconData(hwnd_);
        data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
        data.uCallbackMessage = callback_;
        // The taskbar may have moved to a monitor of another scale meanwhile.
        const int size = iconSize();
        if (size != iconSize_) {
            dropIcons();
            iconSize_ = size;
            // Drawn at the very size: sharp at every scale of the taskbar.
            icons_[0] = DrawLook(false, size);
            icons_[1] = DrawLook(true, size);
        }
        const HICON own = icons_[look == platform::NotifyLook::ScanOn ? 1 : 0];
        // The system's own, shared, where the program has none.
        data.hIcon = own != nullptr
                         ? own
                         : static_cast<HICON>(LoadImageA(nullptr, MAKEINTRESOURCEA(32512),
                                                         IMAGE_ICON, size, size, LR_SHARED));
        const std::size_t length = std::min(tip.size(), kTipBytes - 1);
        std::memcpy(data.szTip, tip.data(), length);
        data.szTip[length] = '\0';
        SetWindowTextA(hwnd_, data.szTip);
        // An icon the shell lost (Explorer restarted) is added anew; one it
        // still has after all is changed.
        const DWORD first = added_ ? NIM_MODIFY : NIM_ADD;
        added_ = Shell_NotifyIconA(first, &data) ||
                 Shell_NotifyIconA(first == NIM_ADD ? NIM_MODIFY : NIM_ADD, &data);
        return added_;
    }

private:
    // What a handler runs may end this icon: each is copied first, and
    // nothing of it is touched afterwards.
    std::optional<LRESULT> handle(HWND hwnd, UINT msg, LPARAM lp) {
        if (msg == callback_) {
            PostMessageA(hwnd, kMouse, 0, static_cast<LPARAM>(LOWORD(lp)));
            return 0;
        }
        if (msg == taskbarCreated_) {
            added_ = false;
            PostMessageA(hwnd, kShellRestarted, 0, 0);
            return 0;
        }
        if (msg == kMouse && lp == WM_LBUTTONUP) {
            if (const auto clicked = events_.clicked) clicked();
            return 0;
        }
        if (msg == kMouse && lp == WM_RBUTTONUP) {
            showMenu();
            return 0;
        }
        if (msg == kMouse && lp == WM_MOUSEMOVE) {
            if (const auto hovered = events_.hovered) hovered();
            return 0;
        }
        if (msg == kShellRestarted) {
            if (const auto restarted = events_.shellRestarted) restarted();
            return 0;
        }
        return std::nullopt;
    }

    void showMenu() {
        const std::vector<std::string> items =
            events_.menu ? events_.menu() : std::vector<std::string>();
        HMENU menu = CreatePopupMenu();
        if (menu == nullptr) return;
        for (std::size_t i = 0; i < items.size(); ++i)
            AppendMenuA(menu, MF_STRING, i + 1, items[i].c_str());
        POINT at{};
        GetCursorPos(&at);
        // The menu's loop runs timers and messages: this icon may be gone
        // when it returns.
        const HWND hwnd = hwnd_;
        const std::weak_ptr<const void> alive = window_.alive();
        const auto take = events_.chosen;
        // Without the foreground the menu would not close on a click beside
        // it; the posted message lets it close at once when it should.
        SetForegroundWindow(hwnd);
        const UINT chosen = static_cast<UINT>(TrackPopupMenu(
            menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd, nullptr));
        DestroyMenu(menu);
        if (alive.expired() || !IsWindow(hwnd)) return;
        PostMessageA(hwnd, WM_NULL, 0, 0);
        if (chosen != 0 && take) take(chosen - 1);
    }

    platform::NotifyEvents events_;
    UINT callback_ = 0;
    UINT taskbarCreated_ = 0;
    HICON icons_[2] = {};
    int iconSize_ = 0;

    void dropIcons() {
        for (HICON& icon : icons_) {
            if (icon != nullptr) DestroyIcon(icon);
            icon = nullptr;
        }
    }
    bool added_ = false;
    HWND hwnd_ = nullptr;
    // Last: it goes first, while what its handler uses is still there.
    WindowOwner window_;
};

}  // namespace

UINT NotifyCallbackMessage() { return RegisterWindowMessageA("Nolvara.NotifyIcon"); }

std::unique_ptr<platform::NotifyIcon> Win32NotifyArea::create(platform::NotifyEvents events) {
    auto icon = std::make_unique<Win32NotifyIcon>(std::move(events));
    if (!icon->made()) return nullptr;
    return icon;
}

std::vector<std::uintptr_t> Win32NotifyArea::iconsOf(std::uint32_t processId) {
    std::vector<std::uintptr_t> icons;
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExA(nullptr, hwnd, kNotifyWindowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == processId) icons.push_back(reinterpret_cast<std::uintptr_t>(hwnd));
    }
    return icons;
}

void Win32NotifyArea::removeIcons(const std::vector<std::uintptr_t>& icons) {
    // The shell knows an icon by its window's handle and number, even once
    // that window is gone with its process.
    for (const std::uintptr_t icon : icons) {
        NOTIFYICONDATAA data = iconData(reinterpret_cast<HWND>(icon));
        Shell_NotifyIconA(NIM_DELETE, &data);
    }
}

}  // namespace platform::win32
