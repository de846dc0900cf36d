// The one owner of the program's own windows: the main window, the
// notification icon's, and the message-only windows that carry news from
// other threads (Native Wifi notices, ended HTTP transfers) to the thread's
// message loop. Each window's messages go to the handler stored with it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

namespace platform::win32 {

class WindowOwner {
public:
    // Answers a message, or leaves it to DefWindowProc with nullopt. Nothing
    // it throws crosses into Windows' frames: the message counts as handled.
    // A handler may end its owner: it runs on a copy.
    using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
    struct Shape {
        DWORD exStyle = 0;
        const char* title = "";
        DWORD style = 0;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        // Message-only unless told otherwise.
        HWND parent = HWND_MESSAGE;
        HINSTANCE instance = GetModuleHandleA(nullptr);
    };

    WindowOwner() = default;
    // Makes a window of a class whose procedure is Procedure; empty when it
    // cannot be made. The handler hears the window's first messages too.
    // Messages of the kind drained that are still queued when the window
    // goes are dropped with it.
    WindowOwner(const char* className, const Shape& shape, Handler handler, UINT drained = 0);
    ~WindowOwner() { reset(); }
    WindowOwner(WindowOwner&& other) noexcept = default;
    WindowOwner& operator=(WindowOwner&& other) noexcept {
        if (this != &other) {
            reset();
            slot_ = std::move(other.slot_);
        }
        return *this;
    }
    WindowOwner(const WindowOwner&) = delete;
    WindowOwner& operator=(const WindowOwner&) = delete;

    // Null once the window is destroyed, by reset() or by anyone else.
    HWND get() const { return slot_ ? slot_->hwnd : nullptr; }
    explicit operator bool() const { return get() != nullptr; }
    // Destroys the window; its handler hears the destroying messages, and
    // nothing after.
    void reset();
    // Expires once the owner is gone: what a handler ran may have ended it.
    std::weak_ptr<const void> alive() const { return slot_; }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Registers a plain class with Procedure on first use; a later
    // registration fails harmlessly.
    static void RegisterPlainClass(const char* className);

private:
    struct Slot {
        Handler handler;
        HWND hwnd = nullptr;
        UINT drained = 0;
    };
    std::shared_ptr<Slot> slot_;
};

inline WindowOwner::WindowOwner(const char* className, const Shape& shape, Handler handler,
                                UINT drained)
    // Not make_shared: without run-time type information it needs a part of
    // the C++ library that a separate allocation does not.
    : slot_(new Slot{std::move(handler), nullptr, drained}) {
    // The slot learns its window at WM_NCCREATE; a window that fails later in
    // its creation is destroyed by Windows and forgotten at WM_NCDESTROY.
    CreateWindowExA(shape.exStyle, className, shape.title, shape.style, shape.x, shape.y,
                    shape.width, shape.height, shape.parent, nullptr, shape.instance, slot_.get());
}

inline void WindowOwner::reset() {
    const std::shared_ptr<Slot> slot = slot_;
    if (!slot || slot->hwnd == nullptr) return;
    const HWND window = slot->hwnd;
    // A notice posted before its source stopped must find nothing, not even
    // a later window that happens to get the same handle value.
    MSG msg;
    if (slot->drained != 0)
        while (PeekMessageA(&msg, window, slot->drained, slot->drained, PM_REMOVE)) {
        }
    // A window that would not go keeps no way back to the slot, which may
    // be freed next.
    if (!DestroyWindow(window)) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    slot->hwnd = nullptr;
}

inline LRESULT CALLBACK WindowOwner::Procedure(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        if (auto* slot =
                static_cast<Slot*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams)) {
            slot->hwnd = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(slot));
        }
    }
    auto* slot = reinterpret_cast<Slot*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (slot == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        slot->hwnd = nullptr;
    }
    try {
        const Handler handler = slot->handler;
        if (handler)
            if (const std::optional<LRESULT> answer = handler(hwnd, message, wParam, lParam))
                return *answer;
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline void WindowOwner::RegisterPlainClass(const char* className) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

}  // namespace platform::win32
