// Starting program files through the shell, without waiting for them.
#pragma once

#include <string>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens the file with the argument text in a normal window, owned by the
    // program's window. False when the shell could not start it.
    virtual bool start(const std::string& file, const std::string& arguments) = 0;
    // Starts the program file with administrator rights, which Windows asks
    // the user for. False when it could not be started or the user said no.
    virtual bool startElevated(const std::string& file, const std::string& arguments) = 0;
    // Starts the program file with the rights Windows gives the signed-in
    // user's own programs: from a run elevated above them, without its
    // administrator token. False when it could not be started so, and then
    // nothing was started.
    virtual bool startAsUser(const std::string& file, const std::string& arguments) = 0;
    // Opens the file with the verb "open", no arguments and a hidden window.
    virtual bool openHidden(const std::string& file) = 0;
};

}  // namespace platform
