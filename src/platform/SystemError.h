// What a facility raises when a call of the system fails: a text for a
// person, and beside it the call's name and the system's code as values, for
// the program to act on without reading the text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

class SystemError : public std::runtime_error {
public:
    // The call that failed, or whose answer the facility found unusable (the
    // code then one the facility chose in the system's terms: a value of the
    // wrong type, a short answer); empty, with code 0, where no call is to
    // blame (a bound, a status the server sent).
    explicit SystemError(const std::string& what, std::string call_ = {}, std::uint32_t code_ = 0)
        : std::runtime_error(what), call(std::move(call_)), code(code_) {}
    std::string call;
    std::uint32_t code;
};

}  // namespace platform
