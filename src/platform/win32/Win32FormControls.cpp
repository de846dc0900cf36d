// The child controls of the binding: one window per control model, created,
// subclassed and kept in step with the model.
#include "platform/win32/Win32FormImpl.h"

#include "platform/win32/Win32Chart.h"

namespace platform::win32 {

using namespace form_detail;

namespace {

struct NativeKind {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

NativeKind nativeKindOf(const ui::Control& control) {
    switch (control.kind()) {
        case ui::ControlKind::Label: {
            const bool wrap = static_cast<const ui::Label&>(control).wordWrap;
            return {"STATIC",
                    static_cast<DWORD>(SS_NOPREFIX | (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP)), 0};
        }
        case ui::ControlKind::Button:
            return {"BUTTON", BS_PUSHBUTTON, 0};
        case ui::ControlKind::SpeedButton:
            return {"BUTTON", BS_PUSHBUTTON | BS_FLAT, 0};
        case ui::ControlKind::CheckBox:
            return {"BUTTON", BS_CHECKBOX, 0};
        case ui::ControlKind::RadioButton:
            return {"BUTTON", BS_RADIOBUTTON, 0};
        case ui::ControlKind::Edit:
            return {"EDIT", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ui::ControlKind::ListBox:
            return {"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
        case ui::ControlKind::ComboBox:
            return {"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0};
        case ui::ControlKind::GroupBox:
            // Its children are its own child windows; the dialog manager walks
            // into it for Tab.
            return {"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
        case ui::ControlKind::StatusBar:
            // Placed by the form along its bottom edge at the model's height.
            return {STATUSCLASSNAMEA, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0};
        case ui::ControlKind::Chart:
            // A static window whose painting the binding does itself.
            return {"STATIC", SS_NOPREFIX, WS_EX_STATICEDGE};
    }
    throw std::logic_error("unknown control kind");
}

}  // namespace

void Win32Form::Impl::ControlBinding::create(HWND parent, HINSTANCE instance, bool firstOfGroup) {
    const NativeKind native = nativeKindOf(control_);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | native.style;
    if (control_.visible()) style |= WS_VISIBLE;
    if (!control_.enabled()) style |= WS_DISABLED;
    // A group box is a container, not a stop of its own.
    if (control_.tabStop() && control_.kind() != ui::ControlKind::GroupBox) style |= WS_TABSTOP;
    // Arrow keys move among the radio buttons that follow each other.
    if (firstOfGroup) style |= WS_GROUP;

    const ui::Rect& b = control_.bounds();
    const std::string text =
        control_.kind() == ui::ControlKind::StatusBar ? std::string() : control_.text();
    hwnd_ = CreateWindowExA(native.exStyle, native.className, text.c_str(), style,
                            owner_.scaled(b.left), owner_.scaled(b.top), owner_.scaled(b.width),
                            nativeHeight(), parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), instance, nullptr);
    if (hwnd_ == nullptr)
        throw windowsError("CreateWindowExA",
                           "The control " + control_.name() + " cannot be created");
    send(WM_SETFONT, reinterpret_cast<WPARAM>(owner_.font()), FALSE);

    switch (control_.kind()) {
        case ui::ControlKind::CheckBox:
        case ui::ControlKind::RadioButton:
            checkedChanged();
            break;
        case ui::ControlKind::ListBox:
        case ui::ControlKind::ComboBox:
            itemsChanged();
            break;
        case ui::ControlKind::StatusBar:
            setStatusParts();
            itemsChanged();
            break;
        case ui::ControlKind::Edit:
            subclass();
            syncEditLimit();
            updateEditLabel();
            break;
        case ui::ControlKind::GroupBox:
        case ui::ControlKind::Chart:
            subclass();
            break;
        default:
            break;
    }
    fitComboHeight();
    control_.attachPeer(this);
}

void Win32Form::Impl::ControlBinding::setStatusParts() {
    // Right edges of the panels, each as wide as the model says; the last one
    // reaches the window's edge, as status bars usually do, so that no text
    // is cut off at its right end.
    std::vector<int> edges;
    int right = 0;
    for (const auto& panel : static_cast<ui::StatusBar&>(control_).panels())
        edges.push_back(owner_.scaled(right += panel.width));
    if (!edges.empty()) edges.back() = -1;
    send(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void Win32Form::Impl::ControlBinding::fitComboHeight() {
    if (control_.kind() != ui::ControlKind::ComboBox) return;
    // Make the closed box as high as the model's box; the font decides the
    // rest, so correct the selection field's height by the difference. Once
    // a height was set, Wine answers it with two pixels more than it was
    // set to: a second look corrects that.
    int field = static_cast<int>(send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)));
    for (int look = 0; look < 2; ++look) {
        RECT rc{};
        GetWindowRect(hwnd_, &rc);
        const int excess = (rc.bottom - rc.top) - owner_.scaled(control_.bounds().height);
        if (excess == 0 || field - excess <= 0) return;
        field -= excess;
        send(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

void Win32Form::Impl::ControlBinding::rescaled() {
    if (hwnd_ == nullptr) return;
    const WPARAM font = reinterpret_cast<WPARAM>(owner_.font());
    send(WM_SETFONT, font, TRUE);
    if (label_ != nullptr) SendMessageA(label_, WM_SETFONT, font, TRUE);
    if (control_.kind() == ui::ControlKind::StatusBar) {
        // The form lays it along its bottom edge.
        setStatusParts();
        return;
    }
    boundsChanged();
    fitComboHeight();
}

int Win32Form::Impl::ControlBinding::nativeHeight() const {
    return owner_.scaled(control_.kind() == ui::ControlKind::ComboBox ? kComboDropHeight
                                                                      : control_.bounds().height);
}

void Win32Form::Impl::ControlBinding::subclass() {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
}

LRESULT CALLBACK Win32Form::Impl::ControlBinding::SubclassProc(HWND hwnd, UINT msg, WPARAM wp,
                                                               LPARAM lp) {
    auto* self = reinterpret_cast<ControlBinding*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ != hwnd) return DefWindowProcA(hwnd, msg, wp, lp);
    return self->subclassed(msg, wp, lp);
}

LRESULT Win32Form::Impl::ControlBinding::subclassed(UINT msg, WPARAM wp, LPARAM lp) {
    if (control_.kind() == ui::ControlKind::GroupBox) {
        // The group box is the parent of its controls, but their notifications
        // and colours belong to the window's one procedure.
        if ((msg == WM_COMMAND || msg == WM_NOTIFY || isCtlColor(msg)) && owner_.hwnd() != nullptr)
            return SendMessageA(owner_.hwnd(), msg, wp, lp);
        if (msg == WM_ERASEBKGND) {
            // A group box draws only its frame; without this, whatever lay
            // under it before it was shown (the main text label) stays visible.
            RECT rc{};
            GetClientRect(hwnd_, &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, owner_.faceBrush());
            return 1;
        }
    } else if (control_.kind() == ui::ControlKind::Chart) {
        // Drawn whole off screen: nothing to erase first.
        if (msg == WM_ERASEBKGND) return 1;
        if (msg == WM_PAINT) {
            PaintChart(hwnd_, static_cast<const ui::Chart&>(control_), owner_.font(),
                       owner_.dpi());
            return 0;
        }
    } else if (control_.kind() == ui::ControlKind::Edit) {
        // The limit is a plain field of the model that code may change at any
        // time, so it is brought up to date before input reaches the edit.
        if (msg == WM_CHAR || msg == WM_PASTE || msg == EM_REPLACESEL || msg == WM_SETFOCUS)
            syncEditLimit();
        if (msg == WM_LBUTTONDOWN) {
            const LRESULT result = callOriginal(msg, wp, lp);
            owner_.guarded([this] {
                static_cast<ui::Edit&>(control_).click();
                return LRESULT{0};
            });
            return result;
        }
    }
    if (msg == WM_NCDESTROY) {
        const LRESULT result = callOriginal(msg, wp, lp);
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        return result;
    }
    return callOriginal(msg, wp, lp);
}

void Win32Form::Impl::ControlBinding::command(WORD code) {
    switch (control_.kind()) {
        case ui::ControlKind::Button:
        case ui::ControlKind::SpeedButton:
            if (code == BN_CLICKED) static_cast<ui::Button&>(control_).click();
            break;
        case ui::ControlKind::CheckBox:
            // The box does not check itself: the model flips its state and
            // pushes it back, the same path a change made in code takes.
            if (code == BN_CLICKED) static_cast<ui::CheckBox&>(control_).click();
            break;
        case ui::ControlKind::RadioButton:
            if (code == BN_CLICKED) static_cast<ui::RadioButton&>(control_).click();
            break;
        case ui::ControlKind::Edit:
            if (code == EN_CHANGE && !writingText_) control_.takeTextFromUser(windowText(hwnd_));
            break;
        case ui::ControlKind::ListBox:
            if (code == LBN_SELCHANGE)
                static_cast<ui::ListBox&>(control_).takeSelectionFromUser(
                    static_cast<int>(send(LB_GETCURSEL)));
            break;
        case ui::ControlKind::ComboBox:
            if (code == CBN_SELCHANGE) {
                auto& combo = static_cast<ui::ComboBox&>(control_);
                const int index = static_cast<int>(send(CB_GETCURSEL));
                if (index >= 0) combo.select(index);
                // The model may have refused the choice; it has the last word.
                if (hwnd_ != nullptr && combo.itemIndex() != static_cast<int>(send(CB_GETCURSEL)))
                    selectionChanged();
            }
            break;
        default:
            break;
    }
}

void Win32Form::Impl::ControlBinding::textChanged() {
    if (hwnd_ == nullptr) return;
    switch (control_.kind()) {
        case ui::ControlKind::StatusBar:
        case ui::ControlKind::ListBox:
        case ui::ControlKind::ComboBox:
            return;
        case ui::ControlKind::Edit:
            if (windowText(hwnd_) != control_.text()) {
                writingText_ = true;
                SetWindowTextA(hwnd_, control_.text().c_str());
                writingText_ = false;
            }
            updateEditLabel();
            return;
        default:
            SetWindowTextA(hwnd_, control_.text().c_str());
    }
}

void Win32Form::Impl::ControlBinding::visibleChanged() {
    if (hwnd_ == nullptr) return;
    // Focus must not stay inside a hidden control: the dialog manager's search
    // for a mnemonic skips hidden windows and never gets back to where it
    // started, so the next Alt+letter would hang the message loop.
    const HWND focus = GetFocus();
    const bool focusInside = focus != nullptr && (focus == hwnd_ || IsChild(hwnd_, focus));
    ShowWindow(hwnd_, control_.visible() ? SW_SHOWNA : SW_HIDE);
    if (!control_.visible() && focusInside && owner_.hwnd() != nullptr) {
        const HWND next = GetNextDlgTabItem(owner_.hwnd(), nullptr, FALSE);
        SetFocus(next != nullptr && IsWindowVisible(next) ? next : owner_.hwnd());
    }
    if (control_.kind() == ui::ControlKind::Edit) updateEditLabel();
}

void Win32Form::Impl::ControlBinding::enabledChanged() {
    if (hwnd_ == nullptr) return;
    EnableWindow(hwnd_, control_.enabled());
    if (label_ != nullptr) EnableWindow(label_, control_.enabled());
}

void Win32Form::Impl::ControlBinding::boundsChanged() {
    if (hwnd_ == nullptr || control_.kind() == ui::ControlKind::StatusBar) return;
    const ui::Rect& b = control_.bounds();
    SetWindowPos(hwnd_, nullptr, owner_.scaled(b.left), owner_.scaled(b.top),
                 owner_.scaled(b.width), nativeHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
    if (label_ != nullptr) placeEditLabel();
}

void Win32Form::Impl::ControlBinding::checkedChanged() {
    if (hwnd_ == nullptr) return;
    bool checked = false;
    if (control_.kind() == ui::ControlKind::CheckBox)
        checked = static_cast<ui::CheckBox&>(control_).checked();
    else if (control_.kind() == ui::ControlKind::RadioButton)
        checked = static_cast<ui::RadioButton&>(control_).checked();
    else
        return;
    send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
    // A native radio button hands its tab stop to whichever is checked, which
    // leaves a group without any stop while none is; the model keeps each
    // radio button reachable.
    const LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
    const LONG wanted = control_.tabStop() ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    if (wanted != style) SetWindowLongA(hwnd_, GWL_STYLE, wanted);
}

void Win32Form::Impl::ControlBinding::itemsChanged() {
    if (hwnd_ == nullptr) return;
    switch (control_.kind()) {
        case ui::ControlKind::ListBox:
            send(LB_RESETCONTENT);
            for (const std::string& item : static_cast<ui::ListBox&>(control_).items())
                send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            selectionChanged();
            break;
        case ui::ControlKind::ComboBox:
            send(CB_RESETCONTENT);
            for (const std::string& item : static_cast<ui::ComboBox&>(control_).items())
                send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            selectionChanged();
            break;
        case ui::ControlKind::StatusBar: {
            const auto& panels = static_cast<ui::StatusBar&>(control_).panels();
            for (size_t i = 0; i < panels.size(); ++i)
                send(SB_SETTEXTA, i, reinterpret_cast<LPARAM>(panels[i].text.c_str()));
            break;
        }
        case ui::ControlKind::Chart:
            InvalidateRect(hwnd_, nullptr, FALSE);
            break;
        default:
            break;
    }
}

void Win32Form::Impl::ControlBinding::selectionChanged() {
    if (hwnd_ == nullptr) return;
    if (control_.kind() == ui::ControlKind::ListBox)
        send(LB_SETCURSEL, static_cast<WPARAM>(static_cast<ui::ListBox&>(control_).itemIndex()));
    else if (control_.kind() == ui::ControlKind::ComboBox)
        send(CB_SETCURSEL, static_cast<WPARAM>(static_cast<ui::ComboBox&>(control_).itemIndex()));
}

void Win32Form::Impl::ControlBinding::focusRequested() {
    if (hwnd_ != nullptr) SetFocus(hwnd_);
}

void Win32Form::Impl::ControlBinding::layoutAtBottom(int clientWidth, int clientHeight) {
    const int height = owner_.scaled(control_.bounds().height);
    SetWindowPos(hwnd_, nullptr, 0, clientHeight - height, clientWidth, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::Impl::ControlBinding::syncEditLimit() {
    const int limit = std::max(static_cast<ui::Edit&>(control_).maxLength, 0);
    if (limit == editLimit_) return;
    editLimit_ = limit;
    // 0 lifts the limit to the edit's largest size.
    send(EM_LIMITTEXT, static_cast<WPARAM>(limit));
}

void Win32Form::Impl::ControlBinding::updateEditLabel() {
    const std::string& text = static_cast<ui::Edit&>(control_).labelText();
    if (label_ == nullptr) {
        if (text.empty()) return;
        label_ = CreateWindowExA(
            0, "STATIC", text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
            0, 0, 0, 0, GetParent(hwnd_), nullptr,
            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
        if (label_ == nullptr)
            throw windowsError("CreateWindowExA",
                               "The label of " + control_.name() + " cannot be created");
        SendMessageA(label_, WM_SETFONT, reinterpret_cast<WPARAM>(owner_.font()), FALSE);
        placeEditLabel();
    } else if (windowText(label_) != text) {
        SetWindowTextA(label_, text.c_str());
    }
    EnableWindow(label_, control_.enabled());
    ShowWindow(label_, control_.visible() && !text.empty() ? SW_SHOWNA : SW_HIDE);
}

void Win32Form::Impl::ControlBinding::placeEditLabel() {
    const ui::Rect& b = control_.bounds();
    const int left = owner_.scaled(b.left + b.width + kEditLabelGap);
    const int height = owner_.scaled(kEditLabelHeight);
    const int top = owner_.scaled(b.top) + (owner_.scaled(b.height) - height) / 2;
    int right = owner_.parentClientWidth(control_);
    if (control_.parent() != nullptr) right -= owner_.scaled(kGroupFrameWidth);
    SetWindowPos(label_, nullptr, left, top, std::max(right - left, 0), height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}


}  // namespace platform::win32
