// The system and dialog facilities on Windows itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include <delayimp.h>

#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32DllSearch.h"
#include "platform/win32/Win32System.h"
#include "win32/Win32Rig.h"

namespace {

using win32_tests::MessageBoxCloser;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// What the program's delay-load hook gives the helper for a DLL it is about
// to load: the system folder's copy, or, for a DLL that is not there, the
// program's own module, which has no function to offer; never nothing, which
// would make the helper search by bare name.
TEST(Win32DllSearch, TheDelayLoadHookTakesDllsFromTheSystemFolderOnly) {
    const auto hook = [](const char* name) {
        DelayLoadInfo info{};
        info.cb = sizeof info;
        info.szDll = name;
        return reinterpret_cast<HMODULE>(__pfnDliNotifyHook2(dliNotePreLoadLibrary, &info));
    };
    const HMODULE msimg = hook("msimg32.dll");
    ASSERT_NE(msimg, nullptr);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(msimg, path, MAX_PATH);
    EXPECT_EQ(lower(path), lower(platform::win32::SystemFolderPath("msimg32.dll")));
    EXPECT_EQ(hook("no-such-library.dll"), GetModuleHandleA(nullptr));
    DelayLoadInfo other{};
    EXPECT_EQ(__pfnDliNotifyHook2(dliNotePreGetProcAddress, &other), nullptr)
        << "only the load itself is the hook's business";
}

TEST(Win32System, DescribesTheRunningProcessAndItsMachine) {
    platform::win32::Win32System system;
    const std::string path = system.programPath();
    EXPECT_EQ(lower(path.substr(path.size() - 15)), "win32_tests.exe");
    EXPECT_EQ(path.find('"'), std::string::npos);
    ASSERT_FALSE(system.arguments().empty());
    EXPECT_EQ(system.arguments()[0], path) << "argument 0 is the full program path";

    EXPECT_EQ(lower(system.windowsDirectory()), "c:\\windows");
    EXPECT_FALSE(system.computerName().empty());
    // Wine gives every program an elevated token, as Windows gives one to a
    // program started with administrator rights.
    EXPECT_FALSE(system.lacksAdministratorRights());

    // Local time is the clock's UTC moved by whole quarter hours, at most 14 h.
    const long long offset = system.localTimeSec() - static_cast<long long>(time(nullptr));
    EXPECT_LE(std::llabs(offset), 14 * 3600 + 2);
    EXPECT_LE(((offset + 1) % 900 + 900) % 900, 3) << offset;

    // The tick count moves in coarse steps; enough to see that the call blocks.
    const DWORD start = GetTickCount();
    system.sleepMs(100);
    EXPECT_GE(GetTickCount() - start, 50u);
}

// Holds a claim on a thread of its own until ended; a thread that ends
// holding a mutex abandons it, as a process that ends does.
struct ClaimHolder {
    ClaimHolder(std::string claimName, bool machineWide)
        : name(std::move(claimName)), machine(machineWide) {
        thread = CreateThread(nullptr, 0, &ClaimHolder::run, this, 0, nullptr);
        if (thread != nullptr) WaitForSingleObject(ready, 10000);
    }
    ~ClaimHolder() {
        end();
        CloseHandle(ready);
        CloseHandle(release);
    }
    void end() {
        SetEvent(release);
        if (thread != nullptr) {
            WaitForSingleObject(thread, 10000);
            CloseHandle(thread);
            thread = nullptr;
        }
    }
    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<ClaimHolder*>(param);
        platform::win32::Win32System system;
        self->claimed = self->machine ? system.claimForMachine(self->name, 0)
                                      : system.claimForSession(self->name, 0);
        SetEvent(self->ready);
        WaitForSingleObject(self->release, 10000);
        return 0;
    }
    std::string name;
    bool machine;
    bool claimed = false;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
};

TEST(Win32System, ASessionClaimHasOneHolderAndIsFreeOnceItsHolderEnds) {
    ClaimHolder holder("NolvaraTest.Claim." + std::to_string(GetCurrentProcessId()), false);
    ASSERT_TRUE(holder.claimed);
    platform::win32::Win32System other;
    EXPECT_TRUE(other.claimedInSession(holder.name));
    EXPECT_FALSE(other.claimedInSession(holder.name + ".other"));
    const DWORD start = GetTickCount();
    EXPECT_FALSE(other.claimForSession(holder.name, 300)) << "held elsewhere";
    EXPECT_GE(GetTickCount() - start, 250u) << "after waiting for it";
    holder.end();
    EXPECT_TRUE(other.claimForSession(holder.name, 1000)) << "its holder has ended";
    EXPECT_TRUE(other.claimedInSession(holder.name));
}

TEST(Win32System, AMachineClaimIsApartFromTheSessionsAndHasOneHolder) {
    ClaimHolder holder("NolvaraTest.MachineClaim." + std::to_string(GetCurrentProcessId()), true);
    ASSERT_TRUE(holder.claimed);
    platform::win32::Win32System other;
    EXPECT_FALSE(other.claimForMachine(holder.name, 200)) << "held elsewhere";
    EXPECT_FALSE(other.claimedInSession(holder.name)) << "not a claim of the session's";
    holder.end();
    EXPECT_TRUE(other.claimForMachine(holder.name, 1000)) << "its holder has ended";
}

// A message another thread sends (as the system sends its question before
// the session ends) is handled within the pause; a posted one waits.
TEST(Win32System, APauseAnswersSentMessagesAndLeavesPostedOnesForTheLoop) {
    static bool answered = false;
    answered = false;
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM_USER + 7) {
            answered = true;
            return 42;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    };
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "NolvaraPauseTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_USER + 8, 0, 0);
    struct Sender {
        HWND window;
        LRESULT answer = 0;
        static DWORD WINAPI run(void* param) {
            auto* self = static_cast<Sender*>(param);
            Sleep(100);
            DWORD_PTR result = 0;
            SendMessageTimeoutA(self->window, WM_USER + 7, 0, 0, SMTO_NORMAL, 5000, &result);
            self->answer = static_cast<LRESULT>(result);
            return 0;
        }
    } sender{window};
    HANDLE thread = CreateThread(nullptr, 0, &Sender::run, &sender, 0, nullptr);
    platform::win32::Win32System system;
    const DWORD start = GetTickCount();
    system.pauseAnsweringMs(600);
    const DWORD tookMs = GetTickCount() - start;
    EXPECT_TRUE(answered);
    EXPECT_GE(tookMs, 550u);
    EXPECT_LT(tookMs, 2000u);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(sender.answer, 42);
    MSG msg{};
    EXPECT_TRUE(PeekMessageA(&msg, window, WM_USER + 8, WM_USER + 8, PM_REMOVE)) << "still queued";
    DestroyWindow(window);
}

TEST(Win32System, EndOfProgramIsAQuitMessageForTheLoop) {
    platform::win32::Win32System system;
    EXPECT_FALSE(system.terminateRequested());
    system.requestTerminate();
    EXPECT_TRUE(system.terminateRequested());
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST(Win32Dialogs, MessageBoxIsModalToTheMainWindowAndShowsItsIcon) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DialogOwnerTest";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, "DialogOwnerTest", "Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);

    platform::win32::Win32Dialogs dialogs;
    {
        MessageBoxCloser user("Without owner", 50);
        dialogs.messageBox("Shown before the window exists", "Without owner",
                           platform::MessageIcon::None);
        user.join();
        ASSERT_TRUE(user.found());
        EXPECT_EQ(user.owner(), nullptr);
        EXPECT_FALSE(user.showedIcon());
    }

    dialogs.setOwner(owner);
    MessageBoxCloser user("Nolvara", 50);
    dialogs.messageBox("Unable to start service.", "Nolvara", platform::MessageIcon::Error);
    user.join();
    ASSERT_TRUE(user.found());
    EXPECT_EQ(user.text(), "Unable to start service.");
    EXPECT_EQ(user.owner(), owner);
    EXPECT_TRUE(user.showedIcon());
    EXPECT_FALSE(user.ownerWasEnabled()) << "the window takes no input while the box is open";
    EXPECT_TRUE(IsWindowEnabled(owner)) << "and takes it again afterwards";

    DestroyWindow(owner);
}

}  // namespace
