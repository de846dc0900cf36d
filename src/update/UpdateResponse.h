// The update server's answer and the texts handed between the processes of
// an update.
#pragma once

#include <cstdint>
#include <string>

namespace update {

// "#" mark "#" versionText "#" fileUrl "#" build "#" signature "#"; text
// before the first "#" and after the sixth is ignored, a missing field is
// empty. Older copies read only the first four fields, so one answer serves
// them and this one alike.
struct UpdateResponse {
    std::string mark;         // "urgent" for an important update
    std::string versionText;  // as shown to the user
    std::string fileUrl;      // the new program file
    std::string build;        // compared with the running program's version
    std::string signature;    // lower-case hex; see SignedMessage
};

// Takes the next field off the front of rest. Without a "#" in rest, one
// character goes and the field is empty; without a closing "#", the field is
// empty and rest keeps what follows the opening "#".
std::string NextResponseField(std::string& rest);
UpdateResponse ReadResponse(std::string body);

// A build of plain decimal digits is newer when it is the larger number
// ("10" is newer than "6", "06" is not). Any other text counts as newer when
// it sorts after the decimal text of the running version, byte by byte, as
// servers have always been read: "6.5" is newer than "6"; " 7" and "" are not.
bool IsNewerBuild(const std::string& build, std::int32_t programVersion);

// A build that may be signed: one that holds no control character, so that
// the line feed after it in the signed message is the only one.
bool IsSignableBuild(const std::string& build);

// The version text as the window shows it: without control characters, and
// no longer than one line of the page.
std::string ShownVersionText(const std::string& versionText);

// The bytes of a hex text, upper or lower case; false for an odd length, any
// other character or an empty text.
bool DecodeHex(const std::string& hex, std::string& bytes);

// A path on the updater's command line has each blank written as "\:\", so
// that it stays one argument.
std::string EncodePathArgument(const std::string& path);
std::string DecodePathArgument(const std::string& argument);

// True when the bytes begin like a Windows program: an "MZ" header whose
// pointer leads to a "PE\0\0" signature within the bytes given.
bool LooksLikeWindowsProgram(const std::string& head);

}  // namespace update
