// Modal dialogs. While one is open its own message loop keeps the program's
// timers running.
#pragma once

#include <string>

namespace platform {

enum class MessageIcon { None, Error };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box with one OK button; returns when the user confirms it.
    virtual void messageBox(const std::string& text, const std::string& caption,
                            MessageIcon icon) = 0;
};

}  // namespace platform
