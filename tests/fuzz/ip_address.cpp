// Router addresses as typed by the user, given on the command line or found in
// the registry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Require.h"
#include "settings/IpAddress.h"

namespace {

// Four decimal fields of 0 to 254 without leading zeros, not all zero: the one
// text the program stores and compares for an address.
bool isNormalForm(const std::string& text) {
    int fields = 0;
    bool allZero = true;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(text.find('.', start), text.size());
        const std::string field = text.substr(start, end - start);
        if (field.empty() || field.size() > 3 || (field.size() > 1 && field[0] == '0'))
            return false;
        int value = 0;
        for (const char c : field) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        if (value > 254) return false;
        allZero = allZero && value == 0;
        ++fields;
        if (end == text.size()) break;
        start = end + 1;
    }
    return fields == 4 && !allZero;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string text = input;
    if (!settings::IsValidIP(text)) {
        // A refused text is shown back to the user as typed.
        FUZZ_REQUIRE(text == input);
        return 0;
    }
    FUZZ_REQUIRE(isNormalForm(text));
    std::string again = text;
    FUZZ_REQUIRE(settings::IsValidIP(again) && again == text);
    return 0;
}
