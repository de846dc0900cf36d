// The program entry on Windows: the Win32 platform, the window model and its
// binding onto real windows, start-up, then the message loop.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "core/CommandLine.h"
#include "core/LagMeter.h"
#include "core/ProgramState.h"
#include "core/ScriptRun.h"
#include "platform/win32/Win32DllSearch.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32Platform.h"
#include "settings/Store.h"
#include "shell/Startup.h"
#include "shell/TF_nolvara.h"

// The C++ library's handler for an exception that nothing caught writes the
// exception's type, unmangled, to a console this program does not have; its
// demangler is a tenth of the program file. The process ends here instead,
// with 1: abort's 3 would read as an unattended run's "folder unusable".
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    TerminateProcess(GetCurrentProcess(), 1);
    std::abort();
}
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL: the run may have administrator rights
    // and lie in a folder where anyone could have left one.
    platform::win32::RestrictDllSearch();
    // Before the first window: the program draws itself at the display's
    // scale rather than being stretched by the system.
    platform::win32::DeclareDpiAwareness();
    const std::vector<std::string> args = platform::SplitCommandLine(GetCommandLineA());
    // The report shows no window and asks for no rights: it reads what the
    // session's hidden run records and writes a file of the user's.
    if (args.size() >= 2 && args[1] == core::kLagReportSwitch) {
        try {
            platform::win32::Win32Platform win32;
            return core::WriteLagReport(win32.share, win32.files, args.size() > 2 ? args[2] : "",
                                        [] { Sleep(10); });
        } catch (...) {
            return core::kLagReportNotWritten;
        }
    }
    // A script's runs, like the report, show nothing and ask for no rights.
    if (core::IsScriptRun(args)) {
        core::ScriptOutcome outcome;
        try {
            platform::win32::Win32Platform win32;
            outcome = core::RunScript(args, win32.share, [] { Sleep(100); });
        } catch (...) {
            outcome = {core::kScriptNoRun, "the hidden run could not be asked"};
        }
        platform::win32::WriteLineToStarter(outcome.line);
        return outcome.exitCode;
    }
    // The shell's dialogs and the files it opens may run on COM; the one
    // thread joins an apartment for the program's whole life. The hidden run
    // shows no dialog, and its shell joins one only when it starts a program.
    std::optional<platform::win32::ComApartment> com;
    if (args.size() < 2 || args[1] != core::kHiddenRunSwitch) com.emplace();
    try {
        platform::win32::Win32Platform win32;
        // Before the settings are read: what a 32-bit copy of earlier versions
        // kept in its own view of the registry is found where every copy looks.
        win32.registry.carryOverFrom32BitView(settings::kSettingsKey + 1, settings::kRunKey + 1,
                                              settings::kRunValue, core::kExeName);

        shell::TF_nolvara window(win32.platform);
        platform::win32::Win32Form binding(window, instance, core::ShowsNoWindow(args));
        win32.setOwner(binding.hwnd());
        // Start-up may already have asked for the end of the program; the loop
        // then ends as soon as it takes the quit message.
        shell::StartProgram(window);
        const int loopEnd = platform::win32::RunMessageLoop(binding.hwnd());
        // An unattended run's code holds, whatever else asked the loop to end.
        return win32.system.exitCode() != 0 ? win32.system.exitCode() : loopEnd;
    } catch (const std::exception& e) {
        // Only the building of the window can get here: everything that runs
        // later runs inside the window procedure, which shows its own errors.
        MessageBoxA(nullptr, e.what(), core::kApplicationTitle,
                    MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return 1;
    }
}
