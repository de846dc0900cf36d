#include "shell/FolderTrust.h"

namespace shell {

bool FolderIsTrusted(const std::optional<platform::FolderSecurity>& security) {
    using platform::Trustee;
    if (!security || !security->hasAccessList || security->owner == Trustee::Other) return false;
    for (const platform::AccessEntry& entry : security->entries) {
        if (!entry.allow || entry.inheritOnly || entry.who != Trustee::Other) continue;
        if ((entry.rights & kFolderChangingRights) != 0) return false;
    }
    return true;
}

}  // namespace shell
