// The shell's folder dialog, with a second thread in the user's place.
#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Dialogs.h"

namespace {

std::string lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Waits for the dialog on the given thread, notes what it shows, optionally
// moves the selection to another folder and presses a button.
class FolderDialogUser {
public:
    FolderDialogUser(DWORD dialogThread, std::string select, int button)
        : dialogThread_(dialogThread), select_(std::move(select)), button_(button) {
        thread_ = CreateThread(nullptr, 0, &run, this, 0, nullptr);
    }
    ~FolderDialogUser() { join(); }
    FolderDialogUser(const FolderDialogUser&) = delete;
    FolderDialogUser& operator=(const FolderDialogUser&) = delete;

    void join() {
        if (thread_ == nullptr) return;
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

    bool found = false;
    HWND owner = nullptr;
    bool ownerWasEnabled = true;
    bool resizable = false;
    bool newFolderButton = false;
    std::vector<std::string> texts;  // of the dialog's child windows

private:
    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<FolderDialogUser*>(param);
        for (int attempt = 0; attempt < 400 && !self->found; ++attempt) {
            Sleep(50);
            EnumThreadWindows(self->dialogThread_, &findDialog, reinterpret_cast<LPARAM>(self));
        }
        return 0;
    }
    static BOOL CALLBACK findDialog(HWND window, LPARAM param) {
        auto* self = reinterpret_cast<FolderDialogUser*>(param);
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        self->found = true;
        self->owner = GetWindow(window, GW_OWNER);
        self->ownerWasEnabled = self->owner != nullptr && IsWindowEnabled(self->owner);
        self->resizable = (GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME) != 0;
        // The shell's own ID of its new-folder button, the same in every language.
        HWND newFolder = GetDlgItem(window, 0x3746);
        self->newFolderButton = newFolder != nullptr && IsWindowVisible(newFolder);
        EnumChildWindows(window, &noteText, reinterpret_cast<LPARAM>(self));
        if (!self->select_.empty())
            SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                         reinterpret_cast<LPARAM>(self->select_.c_str()));
        PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(self->button_), 0);
        return FALSE;
    }
    static BOOL CALLBACK noteText(HWND child, LPARAM param) {
        char text[512] = {};
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != '\0' && IsWindowVisible(child))
            reinterpret_cast<FolderDialogUser*>(param)->texts.push_back(text);
        return TRUE;
    }

    DWORD dialogThread_;
    std::string select_;
    int button_;
    HANDLE thread_ = nullptr;
};

class Win32FolderDialog : public testing::Test {
protected:
    void SetUp() override {
        // Folders that exist long before the dialog: under Wine the dialog at
        // times fails to walk its tree down to a folder made just before.
        char dir[MAX_PATH] = {};
        GetSystemDirectoryA(dir, sizeof dir);
        systemDir = dir;
        GetWindowsDirectoryA(dir, sizeof dir);
        windowsDir = dir;

        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "FolderDialogOwnerTest";
        RegisterClassA(&wc);
        ownerWindow = CreateWindowExA(0, wc.lpszClassName, "Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                      100, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(ownerWindow, nullptr);
        dialogs.setOwner(ownerWindow);
    }
    void TearDown() override { DestroyWindow(ownerWindow); }

    std::string browse(const std::string& initial, const std::string& select, int button) {
        user = std::make_unique<FolderDialogUser>(GetCurrentThreadId(), select, button);
        const std::string chosen = dialogs.browseForFolder(initial, "Choose destination folder");
        user->join();
        EXPECT_TRUE(user->found);
        return chosen;
    }

    std::string systemDir;
    std::string windowsDir;
    HWND ownerWindow = nullptr;
    platform::win32::Win32Dialogs dialogs;
    std::unique_ptr<FolderDialogUser> user;
};

TEST_F(Win32FolderDialog, OpensOnTheInitialFolderWithTheInstructionInTheNewStyle) {
    EXPECT_EQ(lower(browse(systemDir + "\\", "", IDOK)), lower(systemDir))
        << "confirmed untouched, the initial folder is the choice";
    EXPECT_EQ(user->owner, ownerWindow);
    EXPECT_FALSE(user->ownerWasEnabled) << "modal to the main window";
    EXPECT_TRUE(user->resizable);
    const auto& texts = user->texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Choose destination folder"), texts.end());
    EXPECT_TRUE(user->newFolderButton);
}

TEST_F(Win32FolderDialog, GivesTheChosenFolderOrTheInitialTextWhenCancelled) {
    EXPECT_EQ(lower(browse(systemDir + "\\", windowsDir, IDOK)), lower(windowsDir));
    EXPECT_EQ(browse(systemDir + "\\", windowsDir, IDCANCEL), systemDir + "\\");
}

}  // namespace
