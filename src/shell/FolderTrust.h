// Whether a folder is fit to hold a program file that runs with
// administrator rights, judged from its owner and access list, and whether
// the folders above it keep anyone from moving it away.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/FileSystem.h"

namespace shell {

namespace rights {
inline constexpr std::uint32_t kAddFile = 0x00000002u;       // write data, in a file
inline constexpr std::uint32_t kAddSubfolder = 0x00000004u;  // append data, in a file
inline constexpr std::uint32_t kDeleteChild = 0x00000040u;
inline constexpr std::uint32_t kDelete = 0x00010000u;
inline constexpr std::uint32_t kChangePermissions = 0x00040000u;
inline constexpr std::uint32_t kTakeOwnership = 0x00080000u;
inline constexpr std::uint32_t kGenericAll = 0x10000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
}  // namespace rights

// Where a folder stands on the install folder's path.
enum class FolderRole {
    // The folder the copy goes into: no one else may put a program, a DLL or
    // a redirection folder there, take a file out, or move the folder.
    Install,
    // A folder above it: no one else may delete or move what is in it, nor
    // move the folder itself and put another path in its place. Anyone may
    // make other folders beside the program's.
    Above,
    // The drive's root cannot be moved; what is in it must stay.
    DriveRoot,
};

// Trusted when owned by the Administrators, SYSTEM or the user running the
// program (who holds administrator rights when installing), and no entry
// that applies to the folder itself allows anyone else a right that matters
// for its role. Deny entries only take rights away; entries passed on only
// to what is made inside do not apply to the folder. Unreadable security is
// not trusted.
bool FolderIsTrusted(const std::optional<platform::FolderSecurity>& security,
                     FolderRole role = FolderRole::Install);

}  // namespace shell
