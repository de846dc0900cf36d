#include "settings/IpAddress.h"

#include <algorithm>

namespace settings {

bool IsValidIP(std::string& text) {
    if (std::count(text.begin(), text.end(), '.') != 3) return false;
    std::string normal;
    size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        const size_t end = field < 3 ? text.find('.', start) : text.size();
        int value = 0;
        for (size_t i = start; i < end; ++i) {
            const char c = text[i];
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
            // 255 is refused: the highest field value the program accepts is 254.
            if (value > 254) return false;
        }
        if (field > 0) normal += '.';
        normal += std::to_string(value);
        start = end + 1;
    }
    if (normal == "0.0.0.0") return false;
    text = normal;
    return true;
}

}  // namespace settings
