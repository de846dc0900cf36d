// The Win32 binding seen through the interface of the shared toolkit tests:
// real windows, the real message queue, input sent as the controls' own
// messages, and what the user sees read back from the windows and menus.
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32System.h"
#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Menu.h"

namespace win32_tests {

// Plays the user in front of a message box: from a second thread, waits, finds
// the box of that caption, notes what it says and who owns it, and presses OK.
class MessageBoxCloser {
public:
    MessageBoxCloser(std::string caption, int userWaitMs)
        : caption_(std::move(caption)), userWaitMs_(userWaitMs) {
        thread_ = CreateThread(nullptr, 0, &run, this, 0, nullptr);
    }
    ~MessageBoxCloser() { join(); }
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    void join() {
        if (thread_ == nullptr) return;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    // Valid after join().
    bool found() const { return found_; }
    const std::string& text() const { return text_; }
    HWND owner() const { return owner_; }
    bool ownerWasEnabled() const { return ownerWasEnabled_; }
    bool showedIcon() const { return showedIcon_; }

private:
    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<MessageBoxCloser*>(param);
        Sleep(static_cast<DWORD>(self->userWaitMs_));
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (HWND box = FindWindowA("#32770", self->caption_.c_str())) {
                char text[1024] = {};
                // The message text is the box's static control 0xFFFF.
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                self->text_ = text;
                self->owner_ = GetWindow(box, GW_OWNER);
                self->ownerWasEnabled_ = self->owner_ != nullptr && IsWindowEnabled(self->owner_);
                EnumChildWindows(box, &findIcon, reinterpret_cast<LPARAM>(&self->showedIcon_));
                self->found_ = true;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(10);
        }
        return 1;
    }

    static BOOL CALLBACK findIcon(HWND child, LPARAM found) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Static") == 0 &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
            SendMessageA(child, STM_GETICON, 0, 0) != 0)
            *reinterpret_cast<bool*>(found) = true;
        return TRUE;
    }

    std::string caption_;
    int userWaitMs_;
    HANDLE thread_ = nullptr;
    bool found_ = false;
    std::string text_;
    HWND owner_ = nullptr;
    bool ownerWasEnabled_ = false;
    bool showedIcon_ = false;
};

class Win32Rig {
public:
    // Real timers arrive late by a scheduling slice now and then.
    static constexpr int kTimerSlackMs = 60;

    explicit Win32Rig(ui::Form& form) : binding_(form, GetModuleHandleA(nullptr)) {
        dialogs_.setOwner(binding_.hwnd());
    }
    ~Win32Rig() {
        // A quit message nobody took would end the next test's loop at once.
        MSG msg;
        if (system_.terminateRequested() && !loopEnded_)
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
            }
    }
    Win32Rig(const Win32Rig&) = delete;
    Win32Rig& operator=(const Win32Rig&) = delete;

    platform::win32::Win32Form& binding() { return binding_; }
    HWND hwnd(const ui::Control& c) const { return binding_.hwndOf(c); }

    // ---- The user ----

    void userClick(ui::Control& c) {
        HWND h = hwnd(c);
        // Nobody can click a window that is disabled.
        if (IsWindowEnabled(h)) {
            if (c.kind() == ui::ControlKind::Edit) {
                SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            } else {
                SendMessageA(h, BM_CLICK, 0, 0);
            }
        }
        pump();
    }
    void userChooseMenu(ui::MenuItem& m) {
        // Only an item the menu shows, and shows enabled, can be chosen.
        if (menuItemPresent(m) && shownMenuEnabled(m))
            PostMessageA(binding_.hwnd(), WM_COMMAND, MAKEWPARAM(binding_.commandIdOf(m), 0), 0);
        pump();
    }
    // Typing replaces the content, within the edit's limit as a keyboard would.
    void userType(ui::Edit& e, const std::string& text) {
        HWND h = hwnd(e);
        if (IsWindowEnabled(h)) {
            SendMessageA(h, EM_SETSEL, 0, -1);
            SendMessageA(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
        }
        pump();
    }
    void userSelect(ui::Control& c, int index) {
        HWND h = hwnd(c);
        if (IsWindowEnabled(h)) {
            const bool combo = c.kind() == ui::ControlKind::ComboBox;
            SendMessageA(h, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
            const WORD code = combo ? CBN_SELCHANGE : LBN_SELCHANGE;
            SendMessageA(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), code),
                         reinterpret_cast<LPARAM>(h));
        }
        pump();
    }

    // ---- The event loop ----

    void runFor(int ms) {
        const DWORD start = GetTickCount();
        while (!loopEnded_) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    loopEnded_ = true;
                    return;
                }
                dispatch(msg);
                if (GetTickCount() - start >= static_cast<DWORD>(ms)) return;
            }
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= static_cast<DWORD>(ms)) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms) - elapsed,
                                      QS_ALLINPUT);
        }
    }
    void requestTerminate() { system_.requestTerminate(); }
    bool loopEnded() const { return loopEnded_; }

    void messageBox(const std::string& text, int userWaitMs) {
        const std::string caption = "Rig box " + std::to_string(++boxes_);
        MessageBoxCloser user(caption, userWaitMs);
        dialogs_.messageBox(text, caption, platform::MessageIcon::None);
        user.join();
    }
    platform::win32::Win32Dialogs& dialogs() { return dialogs_; }
    platform::win32::Win32System& system() { return system_; }

    // ---- What the user sees ----

    std::string shownText(const ui::Control& c) { return windowText(hwnd(c)); }
    bool shownChecked(const ui::Control& c) {
        return SendMessageA(hwnd(c), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    bool shownVisible(const ui::Control& c) {
        for (HWND h = hwnd(c); h != nullptr && h != binding_.hwnd(); h = GetParent(h))
            if ((GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) == 0) return false;
        return true;
    }
    bool shownEnabled(const ui::Control& c) { return IsWindowEnabled(hwnd(c)) != FALSE; }
    std::vector<std::string> shownItems(const ui::Control& c) {
        const bool combo = c.kind() == ui::ControlKind::ComboBox;
        HWND h = hwnd(c);
        const int count =
            static_cast<int>(SendMessageA(h, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
        std::vector<std::string> items;
        for (int i = 0; i < count; ++i) {
            const auto length = SendMessageA(h, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
            std::string item(static_cast<size_t>(length) + 1, '\0');
            SendMessageA(h, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                         reinterpret_cast<LPARAM>(item.data()));
            item.resize(static_cast<size_t>(length));
            items.push_back(item);
        }
        return items;
    }
    int shownSelection(const ui::Control& c) {
        const bool combo = c.kind() == ui::ControlKind::ComboBox;
        return static_cast<int>(SendMessageA(hwnd(c), combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
    }
    std::string shownPanelText(const ui::StatusBar& s, int panel) {
        HWND h = hwnd(s);
        const int length = LOWORD(SendMessageA(h, SB_GETTEXTLENGTHA, panel, 0));
        std::string text(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(h, SB_GETTEXTA, panel, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        return text;
    }
    bool menuItemPresent(const ui::MenuItem& m) { return menuState(m) != static_cast<UINT>(-1); }
    std::string shownMenuCaption(const ui::MenuItem& m) {
        char text[256] = {};
        GetMenuStringA(binding_.menuBar(), commandId(m), text, sizeof text, MF_BYCOMMAND);
        return text;
    }
    bool shownMenuChecked(const ui::MenuItem& m) { return (menuState(m) & MF_CHECKED) != 0; }
    bool shownMenuEnabled(const ui::MenuItem& m) {
        return (menuState(m) & (MF_GRAYED | MF_DISABLED)) == 0;
    }
    std::string shownCaption() { return windowText(binding_.hwnd()); }
    int shownOpacity() {
        COLORREF key = 0;
        BYTE alpha = 255;
        DWORD flags = 0;
        GetLayeredWindowAttributes(binding_.hwnd(), &key, &alpha, &flags);
        return (flags & LWA_ALPHA) != 0 ? alpha : 255;
    }
    ui::Rect shownBounds(const ui::Control& c) {
        HWND h = hwnd(c);
        RECT rc{};
        GetWindowRect(h, &rc);
        MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&rc), 2);
        return ui::Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    }

    static std::string windowText(HWND h) {
        char text[4096] = {};
        GetWindowTextA(h, text, sizeof text);
        return text;
    }

private:
    UINT commandId(const ui::MenuItem& m) const {
        return static_cast<UINT>(binding_.commandIdOf(m));
    }
    UINT menuState(const ui::MenuItem& m) const {
        return GetMenuState(binding_.menuBar(), commandId(m), MF_BYCOMMAND);
    }
    // User actions take no time: what they post is handled, but no timer
    // falls due meanwhile, as with the headless toolkit.
    void pump() {
        MSG msg;
        while (!loopEnded_ && (PeekMessageA(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
                               PeekMessageA(&msg, nullptr, WM_TIMER + 1, 0xFFFFFFFF, PM_REMOVE))) {
            if (msg.message == WM_QUIT) {
                loopEnded_ = true;
                return;
            }
            dispatch(msg);
        }
    }
    void dispatch(MSG& msg) {
        if (binding_.hwnd() != nullptr && IsDialogMessageA(binding_.hwnd(), &msg)) return;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    platform::win32::Win32System system_;
    platform::win32::Win32Dialogs dialogs_;
    platform::win32::Win32Form binding_;
    bool loopEnded_ = false;
    int boxes_ = 0;
};

}  // namespace win32_tests
