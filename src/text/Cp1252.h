// Windows-1252 bytes from text written in UTF-8, so that the tables can be read and edited
// in an ordinary editor while the program still hands the "A" APIs single-byte text.
#pragma once

#include <string>
#include <string_view>

namespace text {

// utf8 in Windows-1252 bytes. Only ASCII and U+00A0..U+00FF can be converted (every
// character the tables use); anything else, including malformed UTF-8, throws
// std::invalid_argument rather than putting a wrong byte on screen.
std::string Cp1252(std::string_view utf8);

}  // namespace text
