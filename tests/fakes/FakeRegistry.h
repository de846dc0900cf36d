// In-memory registry below HKEY_LOCAL_MACHINE. Keeps value types, compares
// key and value names without regard to case as Windows does, counts keys
// opened and released, and can be told to fail.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace fakes {

enum class RegType { Sz, ExpandSz, Dword, Binary };

struct RegValue {
    RegType type = RegType::Sz;
    std::string text;  // Sz, ExpandSz, Binary: the bytes without terminating zero
    std::int32_t number = 0;
    bool operator==(const RegValue&) const = default;
};

class FakeRegistry : public platform::Registry {
public:
    struct Key {
        std::map<std::string, RegValue> values;  // lower-case names
        std::map<std::string, std::unique_ptr<Key>> subkeys;
    };

    std::unique_ptr<platform::RegistryAccessor> open() override;
    std::unique_ptr<platform::RegistryWatch> watch(const std::string& key) override;
    // The user's hive lies below "HKCU" in this one.
    std::optional<std::uint8_t> readFirstByte(Hive hive, const std::string& key,
                                              const std::string& name) override;
    // How often the key or anything below it changed (values written or
    // deleted, keys made or removed), through accessors and tests alike.
    int changesBelow(const std::string& key) const;

    // Direct access for tests, paths below HKEY_LOCAL_MACHINE.
    void set(const std::string& key, const std::string& name, RegValue value);
    void setText(const std::string& key, const std::string& name, const std::string& text) {
        set(key, name, {RegType::Sz, text, 0});
    }
    void setInteger(const std::string& key, const std::string& name, std::int32_t number) {
        set(key, name, {RegType::Dword, "", number});
    }
    std::optional<RegValue> get(const std::string& key, const std::string& name) const;
    bool hasKey(const std::string& key) const { return find(key) != nullptr; }
    // Names of the values of a key, in name order (lower case).
    std::vector<std::string> valueNames(const std::string& key) const;
    void removeKey(const std::string& key);

    Key* find(const std::string& path) const;
    Key* create(const std::string& path);

    // Keys opened and released by accessors: equal once every accessor is gone.
    int opened = 0;
    int released = 0;
    // Failure injection: every write fails once this many writes succeeded.
    std::optional<int> writesBeforeFailure;
    // Keys (lower-case paths) that cannot be opened, as without the right to.
    std::vector<std::string> deniedKeys;
    int writes = 0;
    // Watches made and gone.
    int watches = 0;
    int watchesGone = 0;

    // Counts a change of the key, and so of every key above it.
    void touch(const std::string& key);

private:
    Key root_;
    std::map<std::string, int> changes_;
};

}  // namespace fakes
