#include "platform/win32/Win32SessionShare.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

namespace {

struct UnmapView {
    void operator()(void* view) const { UnmapViewOfFile(view); }
};
using MappedView = UniqueHandle<void*, UnmapView>;

// The user may open the object with these rights and no others; "OWNER
// RIGHTS" takes from the owner the right to change the list itself (Windows
// before Vista knows no such SID, and its entry then matches no one). Built
// by hand: the hidden run that makes these would carry the string form's
// parser all day.
class OthersMaySecurity {
public:
    explicit OthersMaySecurity(DWORD rights) {
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return;
        const KernelHandle token(raw);
        DWORD size = 0;
        GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
        user_.resize(size);
        if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user_.data(), size, &size))
            return;
        PSID user = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
        PSID ownerRights = ownerRights_;
        if (!InitializeSid(ownerRights, &creator, 1)) return;
        *GetSidSubAuthority(ownerRights, 0) = kOwnerRightsRid;
        const DWORD aclSize = sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user) +
                              GetLengthSid(ownerRights);
        acl_.resize(aclSize);
        auto* acl = reinterpret_cast<PACL>(acl_.data());
        if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, rights, ownerRights) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, rights, user) ||
            !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE))
            return;
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
        ready_ = true;
    }
    OthersMaySecurity(const OthersMaySecurity&) = delete;
    OthersMaySecurity& operator=(const OthersMaySecurity&) = delete;
    SECURITY_ATTRIBUTES* get() { return ready_ ? &attributes_ : nullptr; }

private:
    static constexpr DWORD kOwnerRightsRid = 4;
    std::vector<unsigned char> user_;
    std::vector<unsigned char> acl_;
    alignas(DWORD) unsigned char ownerRights_[SECURITY_MAX_SID_SIZE] = {};
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ready_ = false;
};

std::string LocalName(const std::string& name) { return "Local\\" + name; }

// A section of the session that this run made, and its view for writing.
struct OwnSection {
    KernelHandle section;
    MappedView view;
};

// Made anew, or none: a section of that name that exists already is another
// run's (or a squatter's), and this run neither writes it nor reads it as its
// own. Others may open it with othersRights alone.
std::optional<OwnSection> MakeOwnSection(const std::string& name, DWORD size, DWORD othersRights) {
    OthersMaySecurity security(othersRights);
    if (security.get() == nullptr) return std::nullopt;
    KernelHandle section(CreateFileMappingA(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE, 0,
                                            size, LocalName(name).c_str()));
    if (!section || GetLastError() == ERROR_ALREADY_EXISTS) return std::nullopt;
    MappedView view(MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, size));
    if (!view) return std::nullopt;
    return OwnSection{std::move(section), std::move(view)};
}

class Win32SharedBlock : public SharedBlock {
public:
    explicit Win32SharedBlock(OwnSection own) : own_(std::move(own)) {}
    unsigned char* data() override { return static_cast<unsigned char*>(own_.view.get()); }

private:
    OwnSection own_;
};

// The signal is a counter in a page of its own that the others count up,
// and the word the last of them left beside it: the hidden run looks at it
// every second, and a look at memory costs it nothing, where a wait on an
// event is a call into the system each time.
class Win32SignalReceiver : public SignalReceiver {
public:
    explicit Win32SignalReceiver(OwnSection own) : own_(std::move(own)) {}
    bool taken() override {
        const LONG now =
            InterlockedCompareExchange(static_cast<volatile LONG*>(own_.view.get()), 0, 0);
        if (now == seen_) return false;
        seen_ = now;
        return true;
    }
    std::uint32_t word() override {
        auto* words = static_cast<volatile LONG*>(own_.view.get());
        return static_cast<std::uint32_t>(InterlockedCompareExchange(words + 1, 0, 0));
    }

private:
    OwnSection own_;
    LONG seen_ = 0;
};

// Runs of earlier builds made the counter alone; a plain raise touches no more.
constexpr DWORD kSignalBytes = sizeof(LONG);
constexpr DWORD kSignalWithWordBytes = 2 * sizeof(LONG);

bool raise(const std::string& name, DWORD bytes, std::optional<std::uint32_t> word) {
    KernelHandle section(OpenFileMappingA(FILE_MAP_WRITE, FALSE, LocalName(name).c_str()));
    if (!section) return false;
    MappedView view(MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, bytes));
    if (!view) return false;
    auto* words = static_cast<volatile LONG*>(view.get());
    // The word first: the receiver that sees the count reads it after.
    if (word) InterlockedExchange(words + 1, static_cast<LONG>(*word));
    InterlockedIncrement(words);
    return true;
}

}  // namespace

std::unique_ptr<SharedBlock> Win32SessionShare::createBlock(const std::string& name,
                                                            std::size_t size) {
    auto own = MakeOwnSection(name, static_cast<DWORD>(size), SECTION_MAP_READ | SECTION_QUERY);
    if (!own) return nullptr;
    return std::make_unique<Win32SharedBlock>(std::move(*own));
}

std::optional<std::vector<unsigned char>> Win32SessionShare::copyBlock(const std::string& name,
                                                                       std::size_t maxSize) {
    KernelHandle section(OpenFileMappingA(FILE_MAP_READ, FALSE, LocalName(name).c_str()));
    if (!section) return std::nullopt;
    MappedView view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return std::nullopt;
    // Whoever made the section chose its size: no more than the view holds
    // is read.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view.get(), &region, sizeof region) == 0) return std::nullopt;
    // Reserved and not committed (a section made with SEC_RESERVE), or
    // guarded: reading it would fault.
    if (region.State != MEM_COMMIT || (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0)
        return std::nullopt;
    std::vector<unsigned char> bytes(std::min<std::size_t>(region.RegionSize, maxSize));
    std::memcpy(bytes.data(), view.get(), bytes.size());
    return bytes;
}

std::unique_ptr<SignalReceiver> Win32SessionShare::createSignal(const std::string& name) {
    auto own = MakeOwnSection(name, kSignalWithWordBytes,
                              SECTION_MAP_READ | SECTION_MAP_WRITE | SECTION_QUERY);
    if (!own) return nullptr;
    return std::make_unique<Win32SignalReceiver>(std::move(*own));
}

bool Win32SessionShare::raiseSignal(const std::string& name) {
    return raise(name, kSignalBytes, std::nullopt);
}

bool Win32SessionShare::raiseSignalWith(const std::string& name, std::uint32_t word) {
    return raise(name, kSignalWithWordBytes, word);
}

}  // namespace platform::win32
