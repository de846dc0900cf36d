// Router addresses as the user enters them.
#pragma once

#include <string>

namespace settings {

// True when the text is a usable IPv4 address: four dot-separated decimal
// fields (an empty field counts as 0, leading zeros allowed), each at most
// 254, not all zero. A valid text is replaced by its normal form.
bool IsValidIP(std::string& text);

}  // namespace settings
