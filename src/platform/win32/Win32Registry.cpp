#include "platform/win32/Win32Registry.h"

#include "platform/win32/Win32Error.h"

namespace platform::win32 {

namespace {

// On 64-bit Windows a 32-bit program's HKLM\SOFTWARE is redirected to
// WOW6432Node unless it asks for the 64-bit view: both builds keep their one
// set of settings there. 32-bit Windows ignores the flag.
constexpr REGSAM kView = KEY_WOW64_64KEY;
// The view a 32-bit copy of earlier versions wrote to.
constexpr REGSAM kOldView = KEY_WOW64_32KEY;

// Key names are at most 255 characters long.
constexpr DWORD kMaxKeyNameLength = 255;
// Value names are at most 16383 characters long.
constexpr DWORD kMaxValueNameLength = 16383;

[[noreturn]] void fail(const char* call, const std::string& what, const std::string& name,
                       LONG error) {
    throw Win32Error<platform::RegistryError>(what + " \"" + name + "\"", call,
                                              static_cast<DWORD>(error));
}

// RegDeleteKeyExA, which names the view, is missing from 32-bit XP, where
// there is only the one view.
LONG deleteKeyIn(HKEY parent, const std::string& name, REGSAM view) {
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    static const auto deleteKeyEx = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
    if (deleteKeyEx == nullptr) return RegDeleteKeyA(parent, name.c_str());
    return deleteKeyEx(parent, name.c_str(), view, 0);
}

RegKey openIn(HKEY parent, const std::string& subKey, REGSAM access, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subKey.c_str(), 0, access | view, &key) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}

// RegDeleteKeyA refuses a key that still has subkeys, and RegDeleteTreeA came
// only after XP, so the tree goes from the leaves up.
bool deleteTree(HKEY parent, const std::string& name, REGSAM view = kView) {
    {
        RegKey key = openIn(parent, name, KEY_ALL_ACCESS, view);
        if (!key) return false;
        // Names first, deletions after: deleting while enumerating would shift
        // the indexes under the walk.
        std::vector<std::string> children;
        char child[kMaxKeyNameLength + 1];
        for (DWORD index = 0;; ++index) {
            DWORD length = sizeof child;
            const LONG result =
                RegEnumKeyExA(key.get(), index, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result != ERROR_SUCCESS) return false;
            children.emplace_back(child, length);
        }
        // A subkey that stays behind makes the last step fail, which is the
        // answer the caller gets.
        for (const std::string& c : children) deleteTree(key.get(), c, view);
    }
    return deleteKeyIn(parent, name, view) == ERROR_SUCCESS;
}

// The REG_SZ value of the key; empty when it has none.
std::string textOf(HKEY key, const std::string& name) {
    char text[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof text - 1;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return std::string(text);
}

// Every value and subkey of from that to lacks, made in to; false when
// anything could not be read or made.
bool copyMissing(HKEY from, HKEY to) {
    bool whole = true;
    std::string name(kMaxValueNameLength + 1, '\0');
    std::vector<BYTE> data;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = 0;
        LONG result =
            RegEnumValueA(from, index, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) return false;
        const std::string value(name.data(), nameLength);
        if (RegQueryValueExA(to, value.c_str(), nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            continue;
        data.assign(size, 0);
        result = RegQueryValueExA(from, value.c_str(), nullptr, &type, data.data(), &size);
        whole = whole && result == ERROR_SUCCESS &&
                RegSetValueExA(to, value.c_str(), 0, type, data.data(), size) == ERROR_SUCCESS;
    }
    char child[kMaxKeyNameLength + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof child;
        const LONG result =
            RegEnumKeyExA(from, index, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) return false;
        const RegKey source = openIn(from, child, KEY_READ, kOldView);
        HKEY made = nullptr;
        const bool created =
            RegCreateKeyExA(to, child, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | kView,
                            nullptr, &made, nullptr) == ERROR_SUCCESS;
        const RegKey target(created ? made : nullptr);
        whole = whole && source && target && copyMissing(source.get(), target.get());
    }
    return whole;
}

}  // namespace

bool TwoRegistryViews() {
    if (sizeof(void*) == 8) return true;
    // IsWow64Process came with XP SP2; looked up, as older systems lack it.
    static const bool wow64 = [] {
        using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
        const auto isWow64 = reinterpret_cast<IsWow64>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
        BOOL redirected = FALSE;
        return isWow64 != nullptr && isWow64(GetCurrentProcess(), &redirected) && redirected;
    }();
    return wow64;
}

RegKey RegKey::open(HKEY parent, const std::string& subKey) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_ALL_ACCESS | kView, &key);
    // Without administrator rights a machine-wide key opens for reading only:
    // the hidden run still reads its settings, and a write fails as on any
    // key it may not change.
    if (result == ERROR_ACCESS_DENIED)
        result = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ | kView, &key);
    if (result != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

RegKey RegKey::create(HKEY parent, const std::string& subKey) {
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS | kView, nullptr, &key, nullptr);
    // An existing key may still be ours to read.
    if (result == ERROR_ACCESS_DENIED) return open(parent, subKey);
    if (result != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

std::pair<HKEY, std::string> Win32RegistryAccessor::resolve(const std::string& key) const {
    if (!key.empty() && key.front() == '\\') return {HKEY_LOCAL_MACHINE, key.substr(1)};
    return {current(), key};
}

std::string Win32RegistryAccessor::pathOf(const std::string& key) const {
    if (!key.empty() && key.front() == '\\') return key.substr(1);
    return path_.empty() ? key : path_ + "\\" + key;
}

bool Win32RegistryAccessor::openKey(const std::string& key, bool create) {
    const auto [parent, subKey] = resolve(key);
    path_ = pathOf(key);
    // The new key is opened before the old one closes: a relative name starts
    // from the old one.
    key_ = parent == nullptr ? RegKey()
           : create          ? RegKey::create(parent, subKey)
                             : RegKey::open(parent, subKey);
    // A run without the rights to carry an earlier 32-bit copy's settings
    // over still reads them where they are.
    if (!key_ && parent != nullptr && TwoRegistryViews())
        key_ = openIn(HKEY_LOCAL_MACHINE, path_, KEY_READ, kOldView);
    openFailed_ = !key_;
    return !openFailed_;
}

void Win32RegistryAccessor::closeKey() {
    key_.reset();
    path_.clear();
    openFailed_ = false;
}

bool Win32RegistryAccessor::keyExists(const std::string& key) {
    const auto [parent, subKey] = resolve(key);
    if (parent == nullptr) return false;
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_QUERY_VALUE | kView, &opened);
    const RegKey owner(result == ERROR_SUCCESS ? opened : nullptr);
    // A key we may not read is there all the same.
    return result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED;
}

bool Win32RegistryAccessor::deleteKey(const std::string& key) {
    const auto [parent, subKey] = resolve(key);
    // An empty name would stand for the parent itself.
    if (parent == nullptr || subKey.empty()) return false;
    // Gone means gone from the view an earlier 32-bit copy wrote to as well,
    // or the next start would carry it back.
    const bool deleted = deleteTree(parent, subKey);
    if (deleted) deleteTree(HKEY_LOCAL_MACHINE, pathOf(key), kOldView);
    return deleted;
}

bool Win32RegistryAccessor::valueExists(const std::string& name) {
    return RegQueryValueExA(current(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

std::string Win32RegistryAccessor::readText(const std::string& name) {
    const auto isText = [](DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; };
    // The value can grow between asking its size and reading it; a few
    // rounds are plenty.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LONG result = RegQueryValueExA(current(), name.c_str(), nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS)
            fail("RegQueryValueExA", "Registry value cannot be read:", name, result);
        if (!isText(type))
            fail("RegQueryValueExA", "Registry value is not text:", name, ERROR_INVALID_DATATYPE);
        // One byte more than asked for, so a text stored without its zero
        // still ends in one.
        std::string data(size + 1, '\0');
        DWORD read = size;
        result = RegQueryValueExA(current(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &read);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS)
            fail("RegQueryValueExA", "Registry value cannot be read:", name, result);
        if (!isText(type))
            fail("RegQueryValueExA", "Registry value is not text:", name, ERROR_INVALID_DATATYPE);
        data.resize(read);
        const auto end = data.find('\0');
        if (end != std::string::npos) data.resize(end);
        return data;
    }
    fail("RegQueryValueExA", "Registry value keeps changing:", name, ERROR_MORE_DATA);
}

std::int32_t Win32RegistryAccessor::readInteger(const std::string& name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(current(), name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        fail("RegQueryValueExA", "Registry value cannot be read:", name, result);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        fail("RegQueryValueExA", "Registry value is not an integer:", name, ERROR_INVALID_DATATYPE);
    return static_cast<std::int32_t>(value);
}

void Win32RegistryAccessor::writeText(const std::string& name, const std::string& value) {
    // The terminating zero is part of the data, as readers of REG_SZ expect.
    const LONG result = RegSetValueExA(current(), name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1));
    if (result != ERROR_SUCCESS)
        fail("RegSetValueExA", "Registry value cannot be written:", name, result);
}

void Win32RegistryAccessor::writeInteger(const std::string& name, std::int32_t value) {
    const DWORD data = static_cast<DWORD>(value);
    const LONG result = RegSetValueExA(current(), name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (result != ERROR_SUCCESS)
        fail("RegSetValueExA", "Registry value cannot be written:", name, result);
}

bool Win32RegistryAccessor::deleteValue(const std::string& name) {
    return RegDeleteValueA(current(), name.c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> Win32RegistryAccessor::valueNames() {
    std::vector<std::string> names;
    std::string name(kMaxValueNameLength + 1, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG result = RegEnumValueA(current(), index, name.data(), &length, nullptr, nullptr,
                                          nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) return names;
        if (result != ERROR_SUCCESS)
            fail("RegEnumValueA", "Registry values cannot be listed:", "", result);
        names.emplace_back(name.data(), length);
    }
}

std::unique_ptr<platform::RegistryAccessor> Win32Registry::open() {
    return std::make_unique<Win32RegistryAccessor>();
}

namespace {

// Whether the Run entry starts a file of that name hidden, in either form the
// program writes: path -hide, or "path" -hide for a path with blanks.
bool startsHidden(const std::string& entry, const std::string& programFile) {
    const std::string suffix = " -hide";
    if (entry.size() <= suffix.size() ||
        entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string program = entry.substr(0, entry.size() - suffix.size());
    if (program.size() > 2 && program.front() == '"' && program.back() == '"')
        program = program.substr(1, program.size() - 2);
    const std::string tail = "\\" + programFile;
    return program.find('"') == std::string::npos && program.size() > tail.size() &&
           lstrcmpiA(program.c_str() + program.size() - tail.size(), tail.c_str()) == 0;
}

}  // namespace

bool Win32Registry::carryOverFrom32BitView(const std::string& key, const std::string& runKey,
                                           const std::string& runValue,
                                           const std::string& programFile) {
    // On 32-bit Windows both views are the one.
    if (!TwoRegistryViews()) return true;
    bool whole = true;
    // Once: a 64-bit view that has the key has the settings. The old ones
    // stay, for an older copy that may still run.
    if (!openIn(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE, kView)) {
        const RegKey old = openIn(HKEY_LOCAL_MACHINE, key, KEY_READ, kOldView);
        if (old) {
            const RegKey made = RegKey::create(HKEY_LOCAL_MACHINE, key);
            whole = made && copyMissing(old.get(), made.get());
        }
    }
    // An earlier 32-bit copy's start at log-on: one entry, in the 64-bit view,
    // when it starts the same program as this one's.
    const RegKey oldRun = openIn(HKEY_LOCAL_MACHINE, runKey, KEY_ALL_ACCESS, kOldView);
    if (!oldRun) return whole;
    Win32RegistryAccessor accessor;
    try {
        if (!accessor.openKey("\\" + runKey, true)) return false;
        const std::string old = textOf(oldRun.get(), runValue);
        // Another program's entry under this name is not ours to move.
        if (old.empty() || !startsHidden(old, programFile)) return whole;
        if (!accessor.valueExists(runValue)) accessor.writeText(runValue, old);
        if (accessor.readText(runValue) == old)
            whole = RegDeleteValueA(oldRun.get(), runValue.c_str()) == ERROR_SUCCESS && whole;
    } catch (const platform::RegistryError&) {
        return false;
    }
    return whole;
}

std::optional<std::uint8_t> Win32Registry::readFirstByte(Hive hive, const std::string& key,
                                                         const std::string& name) {
    const RegKey opened = openIn(hive == Hive::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key,
                                 KEY_QUERY_VALUE, kView);
    // Windows' own values of this kind are 12 bytes; one longer than this
    // buffer is none of them and reads as missing.
    BYTE bytes[256] = {};
    DWORD size = sizeof bytes;
    DWORD type = REG_NONE;
    if (!opened ||
        RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, bytes, &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size == 0)
        return std::nullopt;
    return bytes[0];
}

std::unique_ptr<platform::RegistryWatch> Win32Registry::watch(const std::string& key) {
    return std::make_unique<Win32RegistryWatch>(key);
}

bool Win32RegistryWatch::arm() {
    if (!opened_) {
        // The view the settings are read from: the 32-bit one while only an
        // earlier 32-bit copy's settings are there.
        opened_ = openIn(HKEY_LOCAL_MACHINE, key_, KEY_NOTIFY, kView);
        inOldView_ = !opened_ && TwoRegistryViews();
        if (inOldView_) opened_ = openIn(HKEY_LOCAL_MACHINE, key_, KEY_NOTIFY, kOldView);
    }
    // The event only for a key that is there: most machines have no policy key.
    if (opened_ && !event_) event_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    armed_ = event_ && opened_ &&
             RegNotifyChangeKeyValue(opened_.get(), TRUE,
                                     REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                     event_.get(), TRUE) == ERROR_SUCCESS;
    // A key deleted under the watch cannot be armed again; it is opened anew
    // once it is back.
    if (!armed_) opened_.reset();
    return armed_;
}

bool Win32RegistryWatch::changed() {
    // Settings carried over into the 64-bit view are read from there from
    // then on, and watched there.
    RegKey carried =
        inOldView_ && opened_ ? openIn(HKEY_LOCAL_MACHINE, key_, KEY_NOTIFY, kView) : RegKey();
    const bool movedOn = static_cast<bool>(carried);
    if (movedOn) {
        opened_ = std::move(carried);
        inOldView_ = false;
    }
    if (armed_ && !movedOn && WaitForSingleObject(event_.get(), 0) == WAIT_TIMEOUT) return false;
    // A key that is not there is looked for at every few looks only: each
    // look is a call into the system, on most machines for nothing.
    if (!armed_ && looked_ && ++missedLooks_ % kMissingKeyLooks != 0) return false;
    // Armed again before the caller reads: a change while it reads is the
    // next look's.
    const bool wasArmed = armed_;
    arm();
    // A key that cannot be watched (not there, say) is read once, and again
    // once it can be watched: not at every look.
    const bool first = !looked_;
    looked_ = true;
    return first || wasArmed || armed_;
}

}  // namespace platform::win32
