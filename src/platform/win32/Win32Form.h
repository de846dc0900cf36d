// Binding of a ui::Form onto real windows: one top-level window, one child
// window per control, the menu bar, the status bar and one Windows timer per
// ui::Timer. The model stays the one source of truth; the native side mirrors
// each change the model reports and hands the user's input back to the model.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

#include "platform/win32/UniqueHandle.h"
#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Menu.h"

namespace platform::win32 {

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DestroyMenuHandle {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};

using FontHandle = UniqueHandle<HFONT, DeleteGdiObject>;
using BrushHandle = UniqueHandle<HBRUSH, DeleteGdiObject>;
// A menu owns the submenus attached to it when it is destroyed; the binding
// detaches every submenu before any owner closes, so each is destroyed once.
using MenuHandle = UniqueHandle<HMENU, DestroyMenuHandle>;

class Win32Form {
public:
    // Control i of form.controls() gets the child-window ID kFirstControlId + i;
    // menu item i of a depth-first walk below the menu bar (the bar itself not
    // counted) gets the command ID kFirstMenuCommandId + i. Outside drivers
    // address controls and commands by these numbers.
    static constexpr int kFirstControlId = 1000;
    static constexpr int kFirstMenuCommandId = 2000;

    // Creates every window without showing any: the model's show() does that.
    // With deferControls the child controls (and the common controls'
    // library) are made only when the window is first shown: a run whose
    // window never shows carries none of them. The form must outlive the
    // binding.
    Win32Form(ui::Form& form, HINSTANCE instance, bool deferControls = false);
    ~Win32Form();
    Win32Form(Win32Form&& other) noexcept;
    Win32Form& operator=(Win32Form&& other) noexcept;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // The top-level window; null once the model's close has destroyed it.
    HWND hwnd() const;
    HWND hwndOf(const ui::Control& control) const;
    // The label beside an edit that has a label text; null otherwise.
    HWND labelOf(const ui::Edit& edit) const;
    HMENU menuBar() const;
    // -1 for a control or item that is not part of the bound form.
    int controlIdOf(const ui::Control& control) const;
    int commandIdOf(const ui::MenuItem& item) const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs the thread's message loop until WM_QUIT and returns its exit code. Tab
// and the arrow keys move between the controls of main as in a dialog.
int RunMessageLoop(HWND main);

}  // namespace platform::win32
