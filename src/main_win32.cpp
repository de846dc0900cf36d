// The program entry on Windows: the Win32 platform, the window model and its
// binding onto real windows, start-up, then the message loop.
#include <windows.h>

#include <exception>

#include "core/ProgramState.h"
#include "core/Startup.h"
#include "platform/Platform.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32Icmp.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32System.h"
#include "shell/TF_nolvara.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The shell's dialogs and the files it opens may run on COM; the one
    // thread joins an apartment for the program's whole life.
    const platform::win32::ComApartment com;
    try {
        platform::win32::Win32System system;
        platform::win32::Win32Dialogs dialogs;
        platform::win32::Win32Registry registry;
        platform::win32::Win32FileSystem files;
        platform::win32::Win32Processes processes;
        // Not named "shell": that is the namespace of the window.
        platform::win32::Win32Shell launcher;
        platform::win32::Win32ServiceManager services;
        platform::win32::Win32IcmpEcho icmp;
        platform::Platform platform{system,    dialogs,  registry, files,
                                    processes, launcher, services, icmp};

        shell::TF_nolvara window(platform);
        platform::win32::Win32Form binding(window, instance);
        dialogs.setOwner(binding.hwnd());
        launcher.setOwner(binding.hwnd());
        // Start-up may already have asked for the end of the program; the loop
        // then ends as soon as it takes the quit message.
        core::StartProgram(window);
        return platform::win32::RunMessageLoop(binding.hwnd());
    } catch (const std::exception& e) {
        // Only the building of the window can get here: everything that runs
        // later runs inside the window procedure, which shows its own errors.
        MessageBoxA(nullptr, e.what(), core::kApplicationTitle,
                    MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return 1;
    }
}
