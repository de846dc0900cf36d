#include "core/Convert.h"

namespace core {

std::int32_t StrToInt(const std::string& text) {
    const auto fail = [&]() -> std::int32_t {
        throw ConversionError("'" + text + "' is not a valid integer value");
    };
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return fail();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return fail();
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return fail();
    }
    if (negative) value = -value;
    if (value > 2147483647LL || value < -2147483648LL) return fail();
    return static_cast<std::int32_t>(value);
}

std::int32_t CheckedDelaySec(std::int32_t seconds) {
    if (seconds < 0 || seconds > kMaxDelaySec)
        throw ConversionError("'" + std::to_string(seconds) + "' is not a delay of 0 to " +
                              std::to_string(kMaxDelaySec) + " seconds");
    return seconds;
}

std::int32_t DelaySecFromText(const std::string& text) { return CheckedDelaySec(StrToInt(text)); }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

}  // namespace core
