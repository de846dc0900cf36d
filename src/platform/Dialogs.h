// Modal dialogs. While one is open its own message loop keeps the program's
// timers running.
#pragma once

#include <optional>
#include <string>

namespace platform {

enum class MessageIcon { None, Error };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box with one OK button; returns when the user confirms it.
    virtual void messageBox(const std::string& text, const std::string& caption,
                            MessageIcon icon) = 0;
    // The system's folder dialog, opened on initialFolder with the instruction
    // above its tree. Returns the chosen folder; initialFolder when the user
    // cancels; the empty text for a choice that has no file-system path.
    virtual std::string browseForFolder(const std::string& initialFolder,
                                        const std::string& instruction) = 0;
    // The system's dialog for saving a file of the type of proposedName's
    // extension, proposedName filled in; none when the user cancels.
    virtual std::optional<std::string> chooseFileToSave(const std::string& proposedName,
                                                        const std::string& typeName) = 0;
};

}  // namespace platform
