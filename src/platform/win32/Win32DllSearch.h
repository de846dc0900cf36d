// Where the program's DLLs come from. An elevated run starts from wherever
// its file lies (a Downloads folder, the drive root); a DLL of a system name
// left beside it must never be the one that loads.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// Takes the current folder out of the DLL search and, where the system can
// (Windows 8 and later, Windows 7 with its update), limits the search to the
// system folder. The first thing the program does.
void RestrictDllSearch();

// The file of that name in the system folder; empty when the folder cannot
// be named.
std::string SystemFolderPath(const std::string& fileName);

// Loads the DLL at that full path; its own dependencies are looked for from
// its folder on, not from the program's.
HMODULE LoadLibraryAt(const std::string& path);

}  // namespace platform::win32
