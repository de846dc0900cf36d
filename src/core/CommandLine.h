// Splitting of the process's command line into arguments, kept apart from the
// system call that fetches the line so that it can be tested anywhere.
#pragma once

#include <string>
#include <vector>

namespace core {

// Splits a command line the way the classic Windows runtime does for its
// numbered parameters: blanks, tabs and other control characters separate
// arguments; a double quote switches quoting on or off and is itself dropped,
// so "C:\My Folder\x.exe" is one argument and a""b is ab. Pairs of quotes
// between arguments ("") are skipped like blanks: the logic takes the first
// empty argument as the end of the list, so an empty one in the middle must
// not cut it short. Argument 0 is whatever the line starts with.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The arguments from index `first` on, as a line that SplitCommandLine splits
// into the same arguments again: each that holds a separator is quoted.
// What SplitCommandLine gives holds no quote; an empty argument, which only a
// lone quote at the end of a line gives, is left out (it ends the list anyway).
std::string JoinArguments(const std::vector<std::string>& args, size_t first);

// Whether the run these arguments start never shows its window: the hidden
// run, the updaters and the remover. Such a run makes none of the window's
// controls, and so never loads the common controls' library, which is found
// by name through side-by-side binding: the updater and the remover run with
// administrator rights from the drive root, where any user may make the
// folders that binding would look in.
bool ShowsNoWindow(const std::vector<std::string>& args);

}  // namespace core
