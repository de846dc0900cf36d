// Modal dialogs on the Win32 user interface.
#pragma once

#include <windows.h>
// objbase.h needs the types of windows.h.
#include <objbase.h>

#include <string>

#include "platform/Dialogs.h"

namespace platform::win32 {

// Joins the thread to a single-threaded COM apartment for as long as it
// lives; the shell's newer dialogs run on COM. Nests: a thread that already
// joined one just counts one more.
class ComApartment {
public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // False when the thread already lives in a multi-threaded apartment.
    bool joined() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

class Win32Dialogs : public platform::Dialogs {
public:
    // The main window once it exists; boxes shown before that are modal to
    // every window of the thread instead.
    void setOwner(HWND owner) { owner_ = owner; }
    HWND owner() const { return owner_; }

    // Blocks in the box's own message loop, which still dispatches the
    // thread's timer messages, so the program's timers go on firing.
    void messageBox(const std::string& text, const std::string& caption,
                    platform::MessageIcon icon) override;
    // The resizable dialog with its button for a new folder; the older fixed
    // one on a thread that cannot host it. Modal like the message box.
    std::string browseForFolder(const std::string& initialFolder,
                                const std::string& instruction) override;
    std::optional<std::string> chooseFileToSave(const std::string& proposedName,
                                                const std::string& typeName) override;

private:
    // An owner that is gone (the window was closed) would make a dialog fail.
    HWND liveOwner() const { return owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr; }

    HWND owner_ = nullptr;
};

}  // namespace platform::win32
