#include "shell/FolderTrust.h"

namespace shell {

namespace {

std::uint32_t MatteringRights(FolderRole role) {
    using namespace rights;
    const std::uint32_t keepsWhatIsIn =
        kDeleteChild | kChangePermissions | kTakeOwnership | kGenericAll;
    switch (role) {
        case FolderRole::Install:
            return keepsWhatIsIn | kAddFile | kAddSubfolder | kDelete | kGenericWrite;
        case FolderRole::Above: return keepsWhatIsIn | kDelete;
        case FolderRole::DriveRoot: return keepsWhatIsIn;
    }
    return ~0u;
}

}  // namespace

bool FolderIsTrusted(const std::optional<platform::FolderSecurity>& security, FolderRole role) {
    using platform::Trustee;
    if (!security || !security->hasAccessList || security->owner == Trustee::Other) return false;
    for (const platform::AccessEntry& entry : security->entries) {
        if (!entry.allow || entry.inheritOnly || entry.who != Trustee::Other) continue;
        if ((entry.rights & MatteringRights(role)) != 0) return false;
    }
    return true;
}

}  // namespace shell
