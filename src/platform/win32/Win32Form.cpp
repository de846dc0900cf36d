#include "platform/win32/Win32Form.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::win32 {

namespace {

constexpr char kWindowClass[] = "TF_nolvara";
// A drop-down list's window height is the height of its open list; the closed
// box takes its height from the font.
constexpr int kComboDropHeight = 200;
// The label beside an edit: one text line, a little gap after the edit.
constexpr int kEditLabelGap = 4;
constexpr int kEditLabelHeight = 13;
constexpr int kGroupFrameWidth = 2;

std::string windowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

std::runtime_error windowsError(const std::string& what) {
    return std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

bool isCtlColor(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

void registerWindowClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kWindowClass, &existing)) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&wc)) throw windowsError("The window class cannot be registered");
}

}  // namespace

class Win32Form::Impl final : public ui::FormPeer {
public:
    class ControlBinding;
    class MenuBinding;
    class TimerBinding;

    Impl(ui::Form& form, HINSTANCE instance);
    ~Impl() override { teardown(); }
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
    int parentClientWidth(const ui::Control& control) const;
    void rebuildMenu(const ui::MenuItem& parent);
    void updateMenuItem(const MenuBinding& binding);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void buildMenu(ui::MenuItem& item);
    HMENU menuOf(const ui::MenuItem& parent) const;
    void insertMenuItem(HMENU menu, UINT position, const MenuBinding& binding);
    void layoutStatusBar();
    void showError(const char* what);
    void teardown();

    ui::Form& form_;
    HWND hwnd_ = nullptr;
    FontHandle font_;
    BrushHandle faceBrush_;
    MenuHandle menuBar_;
    std::vector<std::unique_ptr<ControlBinding>> controls_;
    std::vector<std::unique_ptr<MenuBinding>> menuItems_;
    std::vector<std::unique_ptr<TimerBinding>> timers_;
    std::unordered_map<const ui::Control*, ControlBinding*> controlIndex_;
    std::unordered_map<const ui::MenuItem*, MenuBinding*> menuIndex_;
    ControlBinding* statusBar_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool shownBefore_ = false;
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
    hwnd_ = CreateWindowExA(native.exStyle, native.className, text.c_str(), style, b.left, b.top,
                            b.width, nativeHeight(), parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), instance, nullptr);
    if (hwnd_ == nullptr)
        throw windowsError("The control " + control_.name() + " cannot be created");
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
        case ui::ControlKind::StatusBar: {
            // Right edges of the panels, each as wide as the model says; the
            // last one reaches the window's edge, as status bars usually do,
            // so that no text is cut off at its right end.
            std::vector<int> edges;
            int right = 0;
            for (const auto& panel : static_cast<ui::StatusBar&>(control_).panels())
                edges.push_back(right += panel.width);
            if (!edges.empty()) edges.back() = -1;
            send(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
            itemsChanged();
            break;
        }
        case ui::ControlKind::Edit:
            subclass();
            syncEditLimit();
            updateEditLabel();
            break;
        case ui::ControlKind::GroupBox:
            subclass();
            break;
        default:
            break;
    }
    if (control_.kind() == ui::ControlKind::ComboBox) {
        // Make the closed box as high as the model's box; the font decides
        // the rest, so correct the selection field's height by the difference.
        RECT rc{};
        GetWindowRect(hwnd_, &rc);
        const int excess = (rc.bottom - rc.top) - b.height;
        const int field = static_cast<int>(send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)));
        if (excess != 0 && field - excess > 0)
            send(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field - excess);
    }
    control_.attachPeer(this);
}

int Win32Form::Impl::ControlBinding::nativeHeight() const {
    return control_.kind() == ui::ControlKind::ComboBox ? kComboDropHeight
                                                        : control_.bounds().height;
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
    SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, nativeHeight(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
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
    const int height = control_.bounds().height;
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
            throw windowsError("The label of " + control_.name() + " cannot be created");
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
    const int left = b.left + b.width + kEditLabelGap;
    const int top = b.top + (b.height - kEditLabelHeight) / 2;
    int right = owner_.parentClientWidth(control_);
    if (control_.parent() != nullptr) right -= kGroupFrameWidth;
    SetWindowPos(label_, nullptr, left, top, std::max(right - left, 0), kEditLabelHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Menu items ----

class Win32Form::Impl::MenuBinding final : public ui::ControlPeer {
public:
    MenuBinding(Impl& owner, ui::MenuItem& item, UINT commandId)
        : owner_(owner), item_(item), commandId_(commandId) {
        if (!item.items().empty()) {
            popup_.reset(CreatePopupMenu());
            if (!popup_) throw windowsError("A menu cannot be created");
        }
        item_.attachPeer(this);
    }
    ~MenuBinding() override { item_.attachPeer(nullptr); }
    MenuBinding(const MenuBinding&) = delete;
    MenuBinding& operator=(const MenuBinding&) = delete;

    ui::MenuItem& item() const { return item_; }
    UINT commandId() const { return commandId_; }
    HMENU popup() const { return popup_.get(); }

    void textChanged() override { owner_.updateMenuItem(*this); }
    void enabledChanged() override { owner_.updateMenuItem(*this); }
    void checkedChanged() override { owner_.updateMenuItem(*this); }
    // A hidden item is simply not in the native menu, so its menu is laid anew.
    void visibleChanged() override {
        if (item_.parent() != nullptr) owner_.rebuildMenu(*item_.parent());
    }

private:
    Impl& owner_;
    ui::MenuItem& item_;
    UINT commandId_;
    MenuHandle popup_;
};

// ---- Timers ----

class Win32Form::Impl::TimerBinding final : public ui::TimerPeer {
public:
    TimerBinding(HWND hwnd, ui::Timer& timer, UINT_PTR id) : hwnd_(hwnd), timer_(timer), id_(id) {
        timer_.attachPeer(this);
        timerChanged();
    }
    ~TimerBinding() override {
        timer_.attachPeer(nullptr);
        KillTimer(hwnd_, id_);
    }
    TimerBinding(const TimerBinding&) = delete;
    TimerBinding& operator=(const TimerBinding&) = delete;

    ui::Timer& timer() const { return timer_; }

    // Setting a timer anew starts its count from now. Windows raises intervals
    // below its minimum (about 10 ms) to that minimum.
    void timerChanged() override {
        KillTimer(hwnd_, id_);
        if (timer_.enabled() && timer_.intervalMs() > 0 && IsWindow(hwnd_))
            SetTimer(hwnd_, id_, static_cast<UINT>(timer_.intervalMs()), nullptr);
    }

private:
    HWND hwnd_;
    ui::Timer& timer_;
    UINT_PTR id_;
};

// ---- The form ----

Win32Form::Impl::Impl(ui::Form& form, HINSTANCE instance) : form_(form) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    registerWindowClass(instance, &WindowProc);

    font_.reset(CreateFontA(form_.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, form_.fontName.c_str()));
    faceBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    if (!font_ || !faceBrush_) throw windowsError("The window's font or brush cannot be created");

    // Tool-window border with only a close button; not resizable.
    CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kWindowClass, form_.caption().c_str(),
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT,
                    CW_USEDEFAULT, form_.outerWidth(), form_.outerHeight(), nullptr, nullptr,
                    instance, this);
    if (hwnd_ == nullptr) throw windowsError("The main window cannot be created");

    try {
        const auto& controls = form_.controls();
        for (size_t i = 0; i < controls.size(); ++i) {
            ui::Control& control = *controls[i];
            HWND parent = hwnd_;
            if (control.parent() != nullptr) {
                ControlBinding* parentBinding = bindingOf(*control.parent());
                if (parentBinding == nullptr)
                    throw std::logic_error("The control " + control.name() +
                                           " comes before its parent");
                parent = parentBinding->hwnd();
            }
            bool firstOfGroup = true;
            for (size_t j = i; j-- > 0;) {
                if (controls[j]->parent() != control.parent()) continue;
                firstOfGroup = !(control.kind() == ui::ControlKind::RadioButton &&
                                 controls[j]->kind() == ui::ControlKind::RadioButton);
                break;
            }
            auto binding = std::make_unique<ControlBinding>(*this, control,
                                                            kFirstControlId + static_cast<int>(i));
            controlIndex_[&control] = binding.get();
            controls_.push_back(std::move(binding));
            controls_.back()->create(parent, instance, firstOfGroup);
            if (control.kind() == ui::ControlKind::StatusBar) statusBar_ = controls_.back().get();
        }
        // Labels lie beneath the other controls of their parent, as text drawn
        // on the parent itself would: a group box shown over the main text
        // label covers it.
        for (const auto& binding : controls_) {
            if (binding->control().kind() == ui::ControlKind::Label)
                SetWindowPos(binding->hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            if (binding->label() != nullptr)
                SetWindowPos(binding->label(), HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        layoutStatusBar();

        if (!form_.mainMenu().items().empty()) {
            menuBar_.reset(CreateMenu());
            if (!menuBar_) throw windowsError("The menu bar cannot be created");
            for (ui::MenuItem* item : form_.mainMenu().items()) buildMenu(*item);
            for (const auto& binding : menuItems_)
                if (binding->popup() != nullptr) rebuildMenu(binding->item());
            rebuildMenu(form_.mainMenu());
            SetMenu(hwnd_, menuBar_.get());
            // The menu bar takes its room from the client area.
            layoutStatusBar();
        }

        for (size_t i = 0; i < form_.timers().size(); ++i)
            timers_.push_back(std::make_unique<TimerBinding>(hwnd_, *form_.timers()[i], i + 1));

        form_.attachPeer(this);
        opacityChanged();
        if (form_.visible()) visibleChanged();
    } catch (...) {
        teardown();
        throw;
    }
}

void Win32Form::Impl::teardown() {
    form_.attachPeer(nullptr);
    timers_.clear();
    if (hwnd_ != nullptr) {
        SetMenu(hwnd_, nullptr);
        DestroyWindow(hwnd_);
    }
    // Menus are destroyed by their own owners: detach every item first so that
    // destroying one menu does not also destroy the submenus attached to it.
    std::vector<HMENU> menus{menuBar_.get()};
    for (const auto& binding : menuItems_) menus.push_back(binding->popup());
    for (HMENU menu : menus) {
        if (menu != nullptr)
            while (GetMenuItemCount(menu) > 0) RemoveMenu(menu, 0, MF_BYPOSITION);
    }
    menuItems_.clear();
    menuBar_.reset();
    controls_.clear();
}

void Win32Form::Impl::buildMenu(ui::MenuItem& item) {
    const UINT id = kFirstMenuCommandId + static_cast<UINT>(menuItems_.size());
    menuItems_.push_back(std::make_unique<MenuBinding>(*this, item, id));
    menuIndex_[&item] = menuItems_.back().get();
    for (ui::MenuItem* child : item.items()) buildMenu(*child);
}

HMENU Win32Form::Impl::menuOf(const ui::MenuItem& parent) const {
    if (&parent == &form_.mainMenu()) return menuBar_.get();
    MenuBinding* binding = bindingOf(parent);
    return binding != nullptr ? binding->popup() : nullptr;
}

void Win32Form::Impl::insertMenuItem(HMENU menu, UINT position, const MenuBinding& binding) {
    const ui::MenuItem& item = binding.item();
    std::string caption = item.caption();
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    info.wID = binding.commandId();
    info.fType = caption == "-" ? MFT_SEPARATOR : (item.radioItem ? MFT_RADIOCHECK : MFT_STRING);
    info.fState = (item.checked() ? MFS_CHECKED : 0u) | (item.enabled() ? 0u : MFS_GRAYED);
    info.dwTypeData = caption.data();
    if (binding.popup() != nullptr) {
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = binding.popup();
    }
    if (!InsertMenuItemA(menu, position, TRUE, &info))
        throw windowsError("The menu item " + item.name() + " cannot be added");
}

void Win32Form::Impl::rebuildMenu(const ui::MenuItem& parent) {
    HMENU menu = menuOf(parent);
    if (menu == nullptr) return;
    // Removing leaves the submenus alive; they belong to their items.
    while (GetMenuItemCount(menu) > 0) RemoveMenu(menu, 0, MF_BYPOSITION);
    UINT position = 0;
    for (const ui::MenuItem* child : parent.items()) {
        if (!child->visible()) continue;
        if (MenuBinding* binding = bindingOf(*child)) insertMenuItem(menu, position++, *binding);
    }
    if (menu == menuBar_.get() && hwnd_ != nullptr) DrawMenuBar(hwnd_);
}

void Win32Form::Impl::updateMenuItem(const MenuBinding& binding) {
    const ui::MenuItem& item = binding.item();
    if (!item.visible() || item.parent() == nullptr) return;
    HMENU menu = menuOf(*item.parent());
    if (menu == nullptr) return;
    UINT position = 0;
    for (const ui::MenuItem* sibling : item.parent()->items()) {
        if (sibling == &item) break;
        if (sibling->visible()) ++position;
    }
    std::string caption = item.caption();
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    info.fType = caption == "-" ? MFT_SEPARATOR : (item.radioItem ? MFT_RADIOCHECK : MFT_STRING);
    info.fState = (item.checked() ? MFS_CHECKED : 0u) | (item.enabled() ? 0u : MFS_GRAYED);
    info.dwTypeData = caption.data();
    SetMenuItemInfoA(menu, position, TRUE, &info);
    if (menu == menuBar_.get() && hwnd_ != nullptr) DrawMenuBar(hwnd_);
}

Win32Form::Impl::ControlBinding* Win32Form::Impl::bindingOf(const ui::Control& control) const {
    auto it = controlIndex_.find(&control);
    return it != controlIndex_.end() ? it->second : nullptr;
}

Win32Form::Impl::MenuBinding* Win32Form::Impl::bindingOf(const ui::MenuItem& item) const {
    auto it = menuIndex_.find(&item);
    return it != menuIndex_.end() ? it->second : nullptr;
}

int Win32Form::Impl::parentClientWidth(const ui::Control& control) const {
    if (control.parent() != nullptr) return control.parent()->bounds().width;
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    return rc.right;
}

void Win32Form::Impl::layoutStatusBar() {
    if (statusBar_ == nullptr || hwnd_ == nullptr) return;
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    statusBar_->layoutAtBottom(rc.right, rc.bottom);
}

void Win32Form::Impl::captionChanged() {
    if (hwnd_ != nullptr) SetWindowTextA(hwnd_, form_.caption().c_str());
}

void Win32Form::Impl::sizeChanged() {
    if (hwnd_ != nullptr)
        SetWindowPos(hwnd_, nullptr, 0, 0, form_.outerWidth(), form_.outerHeight(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::Impl::opacityChanged() {
    if (hwnd_ == nullptr) return;
    const BYTE alpha = form_.alphaBlend() ? form_.alphaBlendValue() : 255;
    SetLayeredWindowAttributes(hwnd_, 0, alpha, LWA_ALPHA);
}

void Win32Form::Impl::visibleChanged() {
    if (hwnd_ == nullptr) return;
    if (!form_.visible()) {
        ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    if (!shownBefore_) {
        shownBefore_ = true;
        RECT rc{};
        GetWindowRect(hwnd_, &rc);
        const int left = (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
        const int top = (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
        SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd_, SW_SHOW);
}

void Win32Form::Impl::closed() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void Win32Form::Impl::showError(const char* what) {
    HWND owner = (hwnd_ != nullptr && IsWindow(hwnd_)) ? hwnd_ : nullptr;
    MessageBoxA(owner, what, form_.caption().c_str(), MB_OK | MB_ICONERROR);
}

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

LRESULT CALLBACK Win32Form::Impl::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        for (const auto& binding : self->controls_) binding->forgetWindows();
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    return self->guarded([&] { return self->handle(msg, wp, lp); });
}

LRESULT Win32Form::Impl::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            if (lp != 0) {
                const int index = id - kFirstControlId;
                if (index >= 0 && index < static_cast<int>(controls_.size()))
                    controls_[static_cast<size_t>(index)]->command(HIWORD(wp));
            } else {
                const int index = id - kFirstMenuCommandId;
                if (index >= 0 && index < static_cast<int>(menuItems_.size()))
                    menuItems_[static_cast<size_t>(index)]->item().click();
            }
            return 0;
        }
        case WM_TIMER: {
            const size_t index = static_cast<size_t>(wp) - 1;
            if (index < timers_.size()) timers_[index]->timer().fire();
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(faceBrush_.get());
        case WM_SIZE:
            layoutStatusBar();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
            }
            break;
        case WM_SETFOCUS: {
            // Coming back to the window (after a message box, say) puts the
            // keyboard where it was, or on the first control.
            HWND target = lastFocus_;
            if (target == nullptr || !IsChild(hwnd_, target) || !IsWindowVisible(target) ||
                !IsWindowEnabled(target))
                target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
            if (target != nullptr) SetFocus(target);
            return 0;
        }
        case WM_CLOSE:
            // The model decides; an accepted close comes back through closed().
            form_.close();
            return 0;
        case WM_QUERYENDSESSION:
            return form_.queryEndSession() ? TRUE : FALSE;
        case WM_ENDSESSION:
            form_.endSession(wp != FALSE);
            return 0;
        case WM_POWERBROADCAST:
            // Automatic resume comes first; a resume a user caused follows it.
            if ((wp == PBT_APMRESUMEAUTOMATIC || wp == PBT_APMRESUMESUSPEND) && form_.onResume)
                form_.onResume();
            return TRUE;
        case WM_DESTROY:
            // The bar and its submenus have owners of their own.
            SetMenu(hwnd_, nullptr);
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

// ---- Public face ----

Win32Form::Win32Form(ui::Form& form, HINSTANCE instance)
    : impl_(std::make_unique<Impl>(form, instance)) {}
Win32Form::~Win32Form() = default;
Win32Form::Win32Form(Win32Form&& other) noexcept = default;
Win32Form& Win32Form::operator=(Win32Form&& other) noexcept = default;

HWND Win32Form::hwnd() const { return impl_ ? impl_->hwnd() : nullptr; }

HWND Win32Form::hwndOf(const ui::Control& control) const {
    auto* binding = impl_ ? impl_->bindingOf(control) : nullptr;
    return binding != nullptr ? binding->hwnd() : nullptr;
}

HWND Win32Form::labelOf(const ui::Edit& edit) const {
    auto* binding = impl_ ? impl_->bindingOf(edit) : nullptr;
    return binding != nullptr ? binding->label() : nullptr;
}

HMENU Win32Form::menuBar() const { return impl_ ? impl_->menuBar() : nullptr; }

int Win32Form::controlIdOf(const ui::Control& control) const {
    auto* binding = impl_ ? impl_->bindingOf(control) : nullptr;
    return binding != nullptr ? binding->id() : -1;
}

int Win32Form::commandIdOf(const ui::MenuItem& item) const {
    auto* binding = impl_ ? impl_->bindingOf(item) : nullptr;
    return binding != nullptr ? static_cast<int>(binding->commandId()) : -1;
}

int RunMessageLoop(HWND main) {
    MSG msg{};
    while (true) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return -1;
        if (main != nullptr && IsWindow(main) && IsDialogMessageA(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace platform::win32
