#include "text/Cp1252.h"

#include <stdexcept>

namespace text {

std::string Cp1252(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes += static_cast<char>(lead);
            continue;
        }
        // U+00A0..U+00FF keep their number in Windows-1252, and in UTF-8 they are exactly
        // the two-byte sequences C2 A0..C2 BF and C3 80..C3 BF. U+0080..U+009F are C1
        // controls, whose Windows-1252 slots hold other characters, so they are refused.
        if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
            const auto trail = static_cast<unsigned char>(utf8[i + 1]);
            const unsigned code = ((lead & 0x1Fu) << 6) | (trail & 0x3Fu);
            if ((trail & 0xC0u) == 0x80u && code >= 0xA0u) {
                bytes += static_cast<char>(code);
                ++i;
                continue;
            }
        }
        throw std::invalid_argument("no Windows-1252 byte for the UTF-8 text at offset " +
                                    std::to_string(i) + " of \"" + std::string(utf8) + "\"");
    }
    return bytes;
}

}  // namespace text
