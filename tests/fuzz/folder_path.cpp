// Install folders from the command line, the registry and the folder dialog.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Require.h"
#include "core/Paths.h"

namespace {

std::string withoutSeparators(const std::string& path) {
    std::string rest;
    for (const char c : path)
        if (c != '\\' && c != '/') rest += c;
    return rest;
}

bool startsWithDrive(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return false;
    return (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string path = input;
    const bool valid = core::NormalizeFolderPath(path);
    if (input.empty()) {
        FUZZ_REQUIRE(!valid && path.empty());
        return 0;
    }
    FUZZ_REQUIRE(valid == startsWithDrive(path));
    FUZZ_REQUIRE(path.back() == '\\');
    FUZZ_REQUIRE(path.find('/') == std::string::npos);
    FUZZ_REQUIRE(path.find("\\\\") == std::string::npos);
    // Only the separators change.
    FUZZ_REQUIRE(withoutSeparators(path) == withoutSeparators(input));

    std::string again = path;
    FUZZ_REQUIRE(core::NormalizeFolderPath(again) == valid && again == path);
    return 0;
}
