// The program path handed to the updater on its command line, and whatever
// else arrives in that argument.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Require.h"
#include "update/UpdateResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string encoded = update::EncodePathArgument(text);
    FUZZ_REQUIRE(encoded.find(' ') == std::string::npos);
    // A Windows path has no ":" but the drive's, so it never holds either of
    // these; with one of them the decoding takes the wrong "\:\" first.
    if (text.find("\\:\\") == std::string::npos && text.find("\\: ") == std::string::npos)
        FUZZ_REQUIRE(update::DecodePathArgument(encoded) == text);

    const std::string decoded = update::DecodePathArgument(text);
    FUZZ_REQUIRE(decoded.size() <= text.size());
    // Every blank of a decoded argument stands for one "\:\" of it.
    if (text.find(' ') == std::string::npos)
        FUZZ_REQUIRE(update::EncodePathArgument(decoded) == text);
    return 0;
}
