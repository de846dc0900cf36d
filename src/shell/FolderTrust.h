// Whether a folder is fit to hold a program file that runs with
// administrator rights, judged from its owner and access list.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/FileSystem.h"

namespace shell {

// The rights on a folder that let their holder put a program, a DLL or a
// redirection folder into it, take its files out or move it away, or give
// himself any of these: write data / add file, append data / add a
// subfolder, delete a child, delete, change the access list or the owner,
// and the generic rights that include them.
inline constexpr std::uint32_t kFolderChangingRights = 0x00000002u | 0x00000004u | 0x00000040u |
                                                      0x00010000u | 0x00040000u | 0x00080000u |
                                                      0x10000000u | 0x40000000u;

// Trusted when owned by the Administrators, SYSTEM or the user running the
// program (who holds administrator rights when installing), and no entry
// that applies to the folder itself allows anyone else a changing right.
// Deny entries only take rights away; entries passed on only to what is made
// inside do not apply to the folder. Unreadable security is not trusted.
bool FolderIsTrusted(const std::optional<platform::FolderSecurity>& security);

}  // namespace shell
