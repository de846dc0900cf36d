#include "platform/win32/Win32DllSearch.h"

#include <delayimp.h>

// Not in the headers of a build for XP; kernel32 has them from Windows 8 on,
// and Windows 7 with its update.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace platform::win32 {

namespace {

// The delay-load helper asks this hook before it loads a DLL; what it
// returns is taken instead of a search by bare name. The DLLs loaded at
// first use are none of them known DLLs on every Windows, so each comes
// from the system folder by its full path. One that cannot be loaded from
// there is not looked for anywhere else: the call fails as for a missing DLL.
FARPROC WINAPI delayLoadHook(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr)
        return nullptr;
    // The common controls are the one exception: the manifest's dependency on
    // version 6 binds the name to the system's side-by-side copy (a full path
    // would get the old version 5 instead), and with a manifest no copy
    // beside the program is looked at.
    const HMODULE module = lstrcmpiA(info->szDll, "comctl32.dll") == 0
                               ? LoadLibraryA("comctl32.dll")
                               : LoadLibraryAt(SystemFolderPath(info->szDll));
    if (module != nullptr) return reinterpret_cast<FARPROC>(module);
    // The program's own module exports nothing, so every function asked of
    // it fails; a bare-name search never starts.
    return reinterpret_cast<FARPROC>(GetModuleHandleA(nullptr));
}

}  // namespace

}  // namespace platform::win32

// The helper's hook, defined here so that the linker takes this one over the
// runtime's empty default.
// delayimp.h has declared it extern "C" already.
PfnDliHook __pfnDliNotifyHook2 = platform::win32::delayLoadHook;

namespace platform::win32 {

void RestrictDllSearch() {
    SetDllDirectoryA("");
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::string SystemFolderPath(const std::string& fileName) {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return std::string();
    std::string path(folder, length);
    path += '\\';
    path += fileName;
    return path;
}

HMODULE LoadLibraryAt(const std::string& path) {
    if (path.empty()) return nullptr;
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace platform::win32
