// The update server's answer: every field, the build compared as both checks
// compare it, the signature decoded as the download's check decodes it, and
// the head of the downloaded file.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "Require.h"
#include "core/ProgramState.h"
#include "update/UpdateResponse.h"

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void checkDecodeHex(const std::string& hex) {
    const std::string untouched = "untouched";
    std::string bytes = untouched;
    const bool decoded = update::DecodeHex(hex, bytes);
    bool wellFormed = !hex.empty() && hex.size() % 2 == 0;
    for (const char c : hex) wellFormed = wellFormed && isHexDigit(c);
    FUZZ_REQUIRE(decoded == wellFormed);
    if (!decoded) {
        FUZZ_REQUIRE(bytes == untouched);
        return;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string lower;
    for (const char byte : bytes) {
        lower += kDigits[static_cast<unsigned char>(byte) >> 4];
        lower += kDigits[static_cast<unsigned char>(byte) & 15];
    }
    std::string expected = hex;
    for (char& c : expected)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    FUZZ_REQUIRE(lower == expected);
}

// A build of digits that fits a version: it is never newer than itself, always
// newer than the version before it, and compares with others as numbers do.
void checkBuildOrder(const std::string& build) {
    const size_t first = build.find_first_not_of('0');
    if (build.empty() || build.find_first_not_of("0123456789") != std::string::npos ||
        (first != std::string::npos && build.size() - first > 10))
        return;
    const long long number = std::stoll(build);
    if (number > std::numeric_limits<std::int32_t>::max()) return;
    const auto version = static_cast<std::int32_t>(number);
    FUZZ_REQUIRE(!update::IsNewerBuild(build, version));
    if (version > 0) FUZZ_REQUIRE(update::IsNewerBuild(build, version - 1));
    for (const std::int32_t running : {0, 1, 9, 10, core::kProgramVersion, 2147483647})
        FUZZ_REQUIRE(update::IsNewerBuild(build, running) == (number > running));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const update::UpdateResponse response = update::ReadResponse(body);
    for (const std::string* field : {&response.mark, &response.versionText, &response.fileUrl,
                                     &response.build, &response.signature}) {
        FUZZ_REQUIRE(field->find('#') == std::string::npos);
        FUZZ_REQUIRE(body.find(*field) != std::string::npos);
    }

    // Every call takes something off a text that is not empty, so that a
    // reader of any number of fields comes to an end.
    for (std::string rest = body; !rest.empty();) {
        const size_t before = rest.size();
        update::NextResponseField(rest);
        FUZZ_REQUIRE(rest.size() < before);
    }

    for (const std::int32_t running : {core::kProgramVersion, 0, -1, 2147483647})
        update::IsNewerBuild(response.build, running);
    checkBuildOrder(response.build);

    checkDecodeHex(response.signature);
    checkDecodeHex(body);

    if (update::LooksLikeWindowsProgram(body)) FUZZ_REQUIRE(body.compare(0, 2, "MZ") == 0);
    return 0;
}
