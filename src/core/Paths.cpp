#include "core/Paths.h"

#include <cctype>

namespace core {

bool NormalizeFolderPath(std::string& path) {
    if (path.empty()) return false;
    if (path.back() != '\\') path += '\\';
    for (char& c : path)
        if (c == '/') c = '\\';
    std::string folded;
    folded.reserve(path.size());
    for (char c : path)
        if (!(c == '\\' && !folded.empty() && folded.back() == '\\')) folded += c;
    path = folded;
    return path.size() >= 3 && std::toupper(static_cast<unsigned char>(path[0])) >= 'A' &&
           std::toupper(static_cast<unsigned char>(path[0])) <= 'Z' && path[1] == ':' &&
           path[2] == '\\';
}

}  // namespace core
