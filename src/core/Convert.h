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

}  // namespace core
