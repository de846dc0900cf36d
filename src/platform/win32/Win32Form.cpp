#include "platform/win32/Win32FormImpl.h"

namespace platform::win32 {

using namespace form_detail;

namespace {

constexpr char kWindowClass[] = "TF_nolvara";

void registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kWindowClass, &existing)) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowOwner::Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&wc))
        throw windowsError("RegisterClassExA", "The window class cannot be registered");
}

}  // namespace

// ---- Menu items ----

class Win32Form::Impl::MenuBinding final : public ui::ControlPeer {
public:
    MenuBinding(Impl& owner, ui::MenuItem& item, UINT commandId)
        : owner_(owner), item_(item), commandId_(commandId) {
        if (!item.items().empty()) {
            popup_.reset(CreatePopupMenu());
            if (!popup_) throw windowsError("CreatePopupMenu", "A menu cannot be created");
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

Win32Form::Impl::Impl(ui::Form& form, HINSTANCE instance, bool deferControls)
    : form_(form), instance_(instance) {
    registerWindowClass(instance);

    faceBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    if (!faceBrush_) throw windowsError("CreateSolidBrush", "The window's brush cannot be created");

    // Tool-window border with only a close button; not resizable.
    dpi_ = DpiOf(nullptr);
    WindowOwner::Shape shape;
    shape.exStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW;
    shape.title = form_.caption().c_str();
    shape.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    shape.x = shape.y = CW_USEDEFAULT;
    shape.width = scaled(form_.outerWidth());
    shape.height = scaled(form_.outerHeight());
    shape.parent = nullptr;
    shape.instance = instance;
    window_ = WindowOwner(kWindowClass, shape, [this](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        return onMessage(hwnd, msg, wp, lp);
    });
    if (hwnd_ == nullptr)
        throw windowsError("CreateWindowExA", "The main window cannot be created");

    try {
        // The monitor the window came up on may have a scale of its own.
        if (const int dpi = DpiOf(hwnd_); dpi != dpi_) {
            dpi_ = dpi;
            sizeChanged();
        }
        if (!deferControls) makeControls();
        layoutStatusBar();

        if (!form_.mainMenu().items().empty()) {
            menuBar_.reset(CreateMenu());
            if (!menuBar_) throw windowsError("CreateMenu", "The menu bar cannot be created");
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

Win32Form::Impl::~Impl() { teardown(); }

void Win32Form::Impl::makeControls() {
    // The common controls' library is loaded here, at its first use.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    font_ = makeFont();
    const auto& controls = form_.controls();
    for (size_t i = 0; i < controls.size(); ++i) {
        ui::Control& control = *controls[i];
        HWND parent = hwnd_;
        if (control.parent() != nullptr) {
            ControlBinding* parentBinding = bindingOf(*control.parent());
            if (parentBinding == nullptr)
                throw std::logic_error("The control " + control.name() + " comes before its parent");
            parent = parentBinding->hwnd();
        }
        bool firstOfGroup = true;
        for (size_t j = i; j-- > 0;) {
            if (controls[j]->parent() != control.parent()) continue;
            firstOfGroup = !(control.kind() == ui::ControlKind::RadioButton &&
                             controls[j]->kind() == ui::ControlKind::RadioButton);
            break;
        }
        auto binding =
            std::make_unique<ControlBinding>(*this, control, kFirstControlId + static_cast<int>(i));
        controlIndex_[&control] = binding.get();
        controls_.push_back(std::move(binding));
        controls_.back()->create(parent, instance_, firstOfGroup);
        if (control.kind() == ui::ControlKind::StatusBar) statusBar_ = controls_.back().get();
    }
    // Labels lie beneath the other controls of their parent, as text drawn on
    // the parent itself would: a group box shown over the main text label
    // covers it.
    for (const auto& binding : controls_) {
        if (binding->control().kind() == ui::ControlKind::Label)
            SetWindowPos(binding->hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (binding->label() != nullptr)
            SetWindowPos(binding->label(), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    controlsMade_ = true;
    layoutStatusBar();
}

FontHandle Win32Form::Impl::makeFont() const {
    FontHandle font(CreateFontA(scaled(form_.fontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                form_.fontName.c_str()));
    if (!font) throw windowsError("CreateFontA", "The window's font cannot be created");
    return font;
}

void Win32Form::Impl::rescale(int dpi, const RECT* suggested) {
    if (dpi <= 0 || hwnd_ == nullptr) return;
    const int before = std::exchange(dpi_, dpi);
    // A window without its controls yet makes them at the scale of the day.
    if (controlsMade_) {
        FontHandle font;
        try {
            font = makeFont();
        } catch (...) {
            dpi_ = before;
            throw;
        }
        // The controls let go of the old font before it is deleted.
        const FontHandle old = std::exchange(font_, std::move(font));
        for (const auto& binding : controls_) binding->rescaled();
    }
    if (suggested != nullptr)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    else
        sizeChanged();
    layoutStatusBar();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Form::Impl::teardown() {
    form_.attachPeer(nullptr);
    timers_.clear();
    if (hwnd_ != nullptr) SetMenu(hwnd_, nullptr);
    window_.reset();
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
        throw windowsError("InsertMenuItemA", "The menu item " + item.name() + " cannot be added");
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
    if (control.parent() != nullptr) return scaled(control.parent()->bounds().width);
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
        SetWindowPos(hwnd_, nullptr, 0, 0, scaled(form_.outerWidth()),
                     scaled(form_.outerHeight()), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    // A window made without its controls gets them before anyone sees it.
    if (!controlsMade_) makeControls();
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

void Win32Form::Impl::closed() { window_.reset(); }

void Win32Form::Impl::showError(const char* what) {
    HWND owner = (hwnd_ != nullptr && IsWindow(hwnd_)) ? hwnd_ : nullptr;
    MessageBoxA(owner, what, form_.caption().c_str(), MB_OK | MB_ICONERROR);
}

std::optional<LRESULT> Win32Form::Impl::onMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) hwnd_ = hwnd;
    if (msg == WM_NCDESTROY) {
        hwnd_ = nullptr;
        for (const auto& binding : controls_) binding->forgetWindows();
        return std::nullopt;
    }
    return guarded([&] { return handle(msg, wp, lp); });
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
        case kWmDpiChanged:
            rescale(LOWORD(wp), reinterpret_cast<const RECT*>(lp));
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
            if (wp == PBT_APMPOWERSTATUSCHANGE && form_.onPowerSourceChanged)
                form_.onPowerSourceChanged();
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

Win32Form::Win32Form(ui::Form& form, HINSTANCE instance, bool deferControls)
    : impl_(std::make_unique<Impl>(form, instance, deferControls)) {}
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
