// Text to number conversion that fails loudly, for values the user typed.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace core {

class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A decimal integer, optionally signed, with leading blanks allowed; anything
// else, or a value outside 32 bits, raises ConversionError.
std::int32_t StrToInt(const std::string& text);

// The delay between the router's first answer and switching the service off
// is at most an hour; anything longer, or below zero, is as wrong as a delay
// that is no number, and raises ConversionError alike.
inline constexpr std::int32_t kMaxDelaySec = 3600;
std::int32_t CheckedDelaySec(std::int32_t seconds);
// StrToInt, then CheckedDelaySec.
std::int32_t DelaySecFromText(const std::string& text);

// The value of a hexadecimal digit in either case; -1 for any other character.
int HexDigitValue(char c);

}  // namespace core
