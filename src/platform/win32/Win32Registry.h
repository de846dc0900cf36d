// The machine-wide registry on Windows, through the advapi32 key functions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

struct CloseRegistryKey {
    void operator()(HKEY key) const { RegCloseKey(key); }
};

// One opened registry key. Never holds a predefined root such as
// HKEY_LOCAL_MACHINE, which is not ours to close.
class RegKey : public UniqueHandle<HKEY, CloseRegistryKey> {
public:
    using UniqueHandle::UniqueHandle;

    // Full access, since the one open key of an accessor serves reads and
    // writes alike. An empty key when the key cannot be opened.
    static RegKey open(HKEY parent, const std::string& subKey);
    // Creates the key and every missing key above it.
    static RegKey create(HKEY parent, const std::string& subKey);
};

class Win32RegistryAccessor : public platform::RegistryAccessor {
public:
    bool openKey(const std::string& key, bool create) override;
    void closeKey() override;
    bool keyExists(const std::string& key) override;
    bool deleteKey(const std::string& key) override;
    bool valueExists(const std::string& name) override;
    std::string readText(const std::string& name) override;
    std::int32_t readInteger(const std::string& name) override;
    void writeText(const std::string& name, const std::string& value) override;
    void writeInteger(const std::string& name, std::int32_t value) override;
    bool deleteValue(const std::string& name) override;
    std::vector<std::string> valueNames() override;

private:
    // The open key, or the root while none is open. After a key failed to
    // open there is no key at all until the next open or close: the values
    // meant for that key must not land in another one.
    HKEY current() const { return key_ ? key_.get() : openFailed_ ? nullptr : HKEY_LOCAL_MACHINE; }
    // The key a name starts from and the name below it: a leading "\" starts
    // from the root, any other name from the open key.
    std::pair<HKEY, std::string> resolve(const std::string& key) const;

    // The name below HKEY_LOCAL_MACHINE that a name starts from.
    std::string pathOf(const std::string& key) const;

    RegKey key_;
    // The open key's name below HKEY_LOCAL_MACHINE: a relative name in the
    // other view must be found from the root, where the views part.
    std::string path_;
    bool openFailed_ = false;
};

// A change notification of the registry (RegNotifyChangeKeyValue, which
// XP has): an event the system sets at the first change below the key after
// each arming.
class Win32RegistryWatch : public platform::RegistryWatch {
public:
    explicit Win32RegistryWatch(std::string key) : key_(std::move(key)) {}
    bool changed() override;

private:
    bool arm();

    std::string key_;
    RegKey opened_;
    KernelHandle event_;
    bool armed_ = false;
    bool inOldView_ = false;
    bool looked_ = false;
    static constexpr int kMissingKeyLooks = 4;
    int missedLooks_ = 0;
};

// Whether the system has a 32-bit view of HKLM\SOFTWARE beside the 64-bit
// one (64-bit Windows), which every key here is opened in.
bool TwoRegistryViews();

class Win32Registry : public platform::Registry {
public:
    std::unique_ptr<platform::RegistryAccessor> open() override;
    std::unique_ptr<platform::RegistryWatch> watch(const std::string& key) override;
    std::optional<std::uint8_t> readFirstByte(Hive hive, const std::string& key,
                                              const std::string& name) override;

    // Settings that an earlier 32-bit copy left in the 32-bit view only are
    // copied into the 64-bit view, once and without deleting them; its Run
    // entry, when it starts the same program (a file of programFile's name,
    // hidden, as the program writes it), moves there. Keys below
    // HKEY_LOCAL_MACHINE, without a leading "\". False when something
    // could not be carried.
    bool carryOverFrom32BitView(const std::string& key, const std::string& runKey,
                                const std::string& runValue, const std::string& programFile);
};

}  // namespace platform::win32
