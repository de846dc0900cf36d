// The message table: every translated text the program shows at run time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace text {

// The text of key in language ("german" or "english", exactly). Any other
// language yields the empty text; a key that is not in the table yields the
// fallback text.
std::string LookupText(const std::string& language, std::string_view key);

// The text with its %1, %2, ... replaced by the values in turn.
std::string Filled(std::string text, const std::vector<std::string>& values);

}  // namespace text
