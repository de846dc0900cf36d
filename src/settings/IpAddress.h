// Router addresses as the user enters them.
#pragma once

#include <string>

namespace settings {

// True when the text is a usable IPv4 address: four dot-separated decimal
// fields (an empty field counts as 0, leading zeros allowed), each at most
// 254, not all zero. A valid text is replaced by its normal form.
bool IsValidIP(std::string& text);

// A router list line: one blank, then the address.
inline std::string RouterEntry(const std::string& address) {
    std::string entry(1, ' ');
    entry += address;
    return entry;
}

}  // namespace settings
