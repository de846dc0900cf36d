// The update server's answer and the texts handed between the processes of
// an update.
#pragma once

#include <cstdint>
#include <string>

namespace update {

// "#" mark "#" versionText "#" fileUrl "#" build "#"; text before the first
// "#" and after the fifth is ignored, a missing field is empty.
struct UpdateResponse {
    std::string mark;         // "urgent" for an important update
    std::string versionText;  // as shown to the user
    std::string fileUrl;      // the new program file
    std::string build;        // compared with the running program's version
};

// Takes the next field off the front of rest. Without a "#" in rest, one
// character goes and the field is empty; without a closing "#", the field is
// empty and rest stays as it is.
std::string NextResponseField(std::string& rest);
UpdateResponse ReadResponse(std::string body);

// The server's build counts as newer when its text sorts after the decimal
// text of the running version, byte by byte: "7" and "6.5" are newer than
// "6"; "10", "06" and "" are not. Servers announce builds that way.
bool IsNewerBuild(const std::string& build, std::int32_t programVersion);

// A path on the updater's command line has each blank written as "\:\", so
// that it stays one argument.
std::string EncodePathArgument(const std::string& path);
std::string DecodePathArgument(const std::string& argument);

// True when the bytes begin like a Windows program: an "MZ" header whose
// pointer leads to a "PE\0\0" signature within the bytes given.
bool LooksLikeWindowsProgram(const std::string& head);

}  // namespace update
