#include "platform/win32/Win32NotifyArea.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <utility>

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

HICON iconOf(int resource) {
    // The small icon's size at the display's scale: 16 at 100 %, 32 at 200 %.
    const int size = GetSystemMetrics(SM_CXSMICON);
    // Shared: the system frees them with the program. A program without the
    // resources (the tests) shows the system's own.
    HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), IMAGE_ICON,
                             size, size, LR_SHARED);
    if (icon == nullptr)
        icon = LoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_ICON, size, size, LR_SHARED);
    return static_cast<HICON>(icon);
}

// An elevated run hears nothing from the shell, which runs with less, but
// for the messages it lets through; Vista came with the call.
void letThrough(UINT message) {
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    static const auto filter = reinterpret_cast<Filter>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilter")));
    if (filter != nullptr && message != 0) filter(message, 1 /* MSGFLT_ADD */);
}

class Win32NotifyIcon final : public platform::NotifyIcon {
public:
    explicit Win32NotifyIcon(platform::NotifyEvents events) : events_(std::move(events)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kNotifyWindowClass;
        RegisterClassA(&windowClass);
        // Top-level, for only such windows hear that the taskbar was made
        // anew; never shown.
        hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kNotifyWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, windowClass.hInstance, this);
        callback_ = NotifyCallbackMessage();
        taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
        letThrough(callback_);
        letThrough(taskbarCreated_);
        icons_[0] = iconOf(kIconScanOff);
        icons_[1] = iconOf(kIconScanOn);
    }
    ~Win32NotifyIcon() override {
        if (hwnd_ == nullptr) return;
        if (added_) {
            NOTIFYICONDATAA data = iconData(hwnd_);
            Shell_NotifyIconA(NIM_DELETE, &data);
        }
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    Win32NotifyIcon(const Win32NotifyIcon&) = delete;
    Win32NotifyIcon& operator=(const Win32NotifyIcon&) = delete;

    bool made() const { return hwnd_ != nullptr; }

    bool show(platform::NotifyLook look, const std::string& tip) override {
        NOTIFYICONDATAA data = iconData(hwnd_);
        data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
        data.uCallbackMessage = callback_;
        data.hIcon = icons_[look == platform::NotifyLook::ScanOn ? 1 : 0];
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
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
        auto* self = reinterpret_cast<Win32NotifyIcon*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
        if (msg == self->callback_) {
            PostMessageA(hwnd, kMouse, 0, static_cast<LPARAM>(LOWORD(lp)));
            return 0;
        }
        if (msg == self->taskbarCreated_) {
            self->added_ = false;
            PostMessageA(hwnd, kShellRestarted, 0, 0);
            return 0;
        }
        // No exception may unwind through Windows' frames. What a handler
        // runs may end this icon: each is copied first, and nothing of it is
        // touched afterwards.
        try {
            if (msg == kMouse && lp == WM_LBUTTONUP) {
                if (const auto clicked = self->events_.clicked) clicked();
                return 0;
            }
            if (msg == kMouse && lp == WM_RBUTTONUP) {
                self->showMenu();
                return 0;
            }
            if (msg == kMouse && lp == WM_MOUSEMOVE) {
                if (const auto hovered = self->events_.hovered) hovered();
                return 0;
            }
            if (msg == kShellRestarted) {
                if (const auto restarted = self->events_.shellRestarted) restarted();
                return 0;
            }
        } catch (...) {
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
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
        const auto take = events_.chosen;
        // Without the foreground the menu would not close on a click beside
        // it; the posted message lets it close at once when it should.
        SetForegroundWindow(hwnd);
        const UINT chosen = static_cast<UINT>(TrackPopupMenu(
            menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd, nullptr));
        DestroyMenu(menu);
        if (!IsWindow(hwnd) ||
            GetWindowLongPtrA(hwnd, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(this))
            return;
        PostMessageA(hwnd, WM_NULL, 0, 0);
        if (chosen != 0 && take) take(chosen - 1);
    }

    platform::NotifyEvents events_;
    HWND hwnd_ = nullptr;
    UINT callback_ = 0;
    UINT taskbarCreated_ = 0;
    HICON icons_[2] = {};
    bool added_ = false;
};

}  // namespace

UINT NotifyCallbackMessage() { return RegisterWindowMessageA("Nolvara.NotifyIcon"); }

std::unique_ptr<platform::NotifyIcon> Win32NotifyArea::create(platform::NotifyEvents events) {
    auto icon = std::make_unique<Win32NotifyIcon>(std::move(events));
    if (!icon->made()) return nullptr;
    return icon;
}

void Win32NotifyArea::removeIconsOf(std::uint32_t processId) {
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExA(nullptr, hwnd, kNotifyWindowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != processId) continue;
        NOTIFYICONDATAA data = iconData(hwnd);
        Shell_NotifyIconA(NIM_DELETE, &data);
    }
}

}  // namespace platform::win32
