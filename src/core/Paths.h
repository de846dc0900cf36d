// Folder paths as the program writes them: drive letter, colon, backslash,
// and a backslash at the end.
#pragma once

#include <string>

namespace core {

// Appends a missing final "\", turns "/" into "\" and folds runs of "\" into
// one; true when the result starts with a drive letter, ":" and "\".
bool NormalizeFolderPath(std::string& path);

}  // namespace core
