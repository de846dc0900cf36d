// The binding's insides, shared by its two files: the window and its menus
// and timers (Win32Form.cpp), the child controls (Win32FormControls.cpp).
#pragma once

// The program's own headers first: they bring windows.h, which commctrl.h
// needs before it.
#include "platform/win32/MessageWindow.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Form.h"

// clang-format off
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FlatMap.h"

namespace platform::win32 {

namespace form_detail {

// Lengths here are in 96-DPI units, as the models' rectangles are.
// A drop-down list's window height is the height of its open list; the closed
// box takes its height from the font.
inline constexpr int kComboDropHeight = 200;
// The label beside an edit: one text line, a little gap after the edit.
inline constexpr int kEditLabelGap = 4;
inline constexpr int kEditLabelHeight = 13;
inline constexpr int kGroupFrameWidth = 2;

inline std::string windowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

// The error a failed call of the window's building raises: shown to the
// user as it stands, so without a full stop, as ever.
inline platform::SystemError windowsError(const char* call, const std::string& what) {
    return Win32Error(what, call, GetLastError(), "");
}

inline bool isCtlColor(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

// Sent to a window that moved to a monitor of another scale (Windows 8.1 on);
// the headers of an XP build lack it.
inline constexpr UINT kWmDpiChanged = 0x02E0;

}  // namespace form_detail

class Win32Form::Impl final : public ui::FormPeer {
public:
    class ControlBinding;
    class MenuBinding;
    class TimerBinding;

    Impl(ui::Form& form, HINSTANCE instance, bool deferControls);
    // Defined beside the menu and timer bindings, which it destroys.
    ~Impl() override;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    HWND hwnd() const { return hwnd_; }
    HMENU menuBar() const { return menuBar_.get(); }
    ControlBinding* bindingOf(const ui::Control& control) const;
    MenuBinding* bindingOf(const ui::MenuItem& item) const;

    void captionChanged() override;
    void sizeChanged() override;
    void opacityChanged() override;
    void visibleChanged() override;
    void closed() override;

    // Runs fn and turns any exception into an error box that names it; the
    // program goes on, as no exception may unwind through Windows' frames.
    template <typename Fn>
    LRESULT guarded(Fn&& fn, LRESULT onError = 0);

    HFONT font() const { return font_.get(); }
    HBRUSH faceBrush() const { return faceBrush_.get(); }
    int dpi() const { return dpi_; }
    // A length in 96-DPI units in pixels at the window's scale.
    int scaled(int length) const { return ScaledForDpi(length, dpi_); }
    // The width in pixels that a control's parent gives it.
    int parentClientWidth(const ui::Control& control) const;
    void rebuildMenu(const ui::MenuItem& parent);
    void updateMenuItem(const MenuBinding& binding);

private:
    std::optional<LRESULT> onMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void buildMenu(ui::MenuItem& item);
    HMENU menuOf(const ui::MenuItem& parent) const;
    void insertMenuItem(HMENU menu, UINT position, const MenuBinding& binding);
    void layoutStatusBar();
    // The child controls, with the common controls' library and the font.
    void makeControls();
    FontHandle makeFont() const;
    // Everything laid out anew at the DPI; the window takes the suggested
    // rectangle, or else its own size at that scale.
    void rescale(int dpi, const RECT* suggested);
    void showError(const char* what);
    void teardown();

    ui::Form& form_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    bool controlsMade_ = false;
    int dpi_ = kDesignDpi;
    FontHandle font_;
    BrushHandle faceBrush_;
    MenuHandle menuBar_;
    std::vector<std::unique_ptr<ControlBinding>> controls_;
    std::vector<std::unique_ptr<MenuBinding>> menuItems_;
    std::vector<std::unique_ptr<TimerBinding>> timers_;
    platform::FlatMap<const ui::Control*, ControlBinding*> controlIndex_;
    platform::FlatMap<const ui::MenuItem*, MenuBinding*> menuIndex_;
    ControlBinding* statusBar_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool shownBefore_ = false;
    // Last: the window goes first, while what its handler uses is there.
    WindowOwner window_;
};


// ---- Controls ----

class Win32Form::Impl::ControlBinding final : public ui::ControlPeer {
public:
    ControlBinding(Impl& owner, ui::Control& control, int id)
        : owner_(owner), control_(control), id_(id) {}
    ~ControlBinding() override { control_.attachPeer(nullptr); }
    ControlBinding(const ControlBinding&) = delete;
    ControlBinding& operator=(const ControlBinding&) = delete;

    void create(HWND parent, HINSTANCE instance, bool firstOfGroup);
    ui::Control& control() const { return control_; }
    int id() const { return id_; }
    HWND hwnd() const { return hwnd_; }
    HWND label() const { return label_; }
    void forgetWindows() { hwnd_ = label_ = nullptr; }
    // A notification the control sent to its parent.
    void command(WORD code);
    void layoutAtBottom(int clientWidth, int clientHeight);
    // The window's font and scale changed: the control takes both.
    void rescaled();

    void textChanged() override;
    void visibleChanged() override;
    void enabledChanged() override;
    void boundsChanged() override;
    void checkedChanged() override;
    void itemsChanged() override;
    void selectionChanged() override;
    void focusRequested() override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT subclassed(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT callOriginal(UINT msg, WPARAM wp, LPARAM lp) {
        return CallWindowProcA(original_, hwnd_, msg, wp, lp);
    }
    LRESULT send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return SendMessageA(hwnd_, msg, wp, lp);
    }
    void subclass();
    void updateEditLabel();
    void placeEditLabel();
    void syncEditLimit();
    void setStatusParts();
    void fitComboHeight();
    int nativeHeight() const;

    Impl& owner_;
    ui::Control& control_;
    int id_;
    HWND hwnd_ = nullptr;
    HWND label_ = nullptr;
    WNDPROC original_ = nullptr;
    // Set while the binding itself writes an edit's text, so the change
    // notification that follows is not taken for the user's typing.
    bool writingText_ = false;
    int editLimit_ = -1;
};


template <typename Fn>
LRESULT Win32Form::Impl::guarded(Fn&& fn, LRESULT onError) {
    try {
        return fn();
    } catch (const std::exception& e) {
        showError(e.what());
    } catch (...) {
        showError("Unknown error.");
    }
    return onError;
}

}  // namespace platform::win32
