// The fixed captions of the window's controls in both languages.
#pragma once

#include <string>
#include <vector>

namespace text {

struct Caption {
    std::string control;  // name of the control or menu item
    std::string german;   // Windows-1252 bytes
    std::string english;
};

// Every row of the caption table, each control once.
const std::vector<Caption>& CaptionTable();

}  // namespace text
