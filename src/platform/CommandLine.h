// Splitting of the process's command line into arguments, and joining them
// again, kept apart from the system call that fetches the line so that it can
// be tested anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

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

// The command line that starts a program file with the arguments: the file
// quoted only where a blank needs it, as the Run entry and the shell write it.
// Windows splits an unquoted line at its first blank and would try
// C:\Program.exe for a file under C:\Program Files\.
std::string CommandLineOf(const std::string& file, const std::string& arguments);

}  // namespace platform
