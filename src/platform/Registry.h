// The machine-wide registry (HKEY_LOCAL_MACHINE), reached through an accessor
// that holds at most one open key at a time and releases it when it goes away.
// Failing reads and writes raise RegistryError.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SystemError.h"

namespace platform {

class RegistryError : public SystemError {
public:
    using SystemError::SystemError;
};

class RegistryAccessor {
public:
    virtual ~RegistryAccessor() = default;

    // Opens a key with read and write access, creating it (and every missing
    // key above it) when create is set. A name without a leading "\" opens
    // below the key that is open now; otherwise below HKEY_LOCAL_MACHINE.
    // Returns false when the key cannot be opened; the open key is then none.
    virtual bool openKey(const std::string& key, bool create) = 0;
    virtual void closeKey() = 0;

    // Relative to the open key (or HKEY_LOCAL_MACHINE when none is open).
    virtual bool keyExists(const std::string& key) = 0;
    // Deletes the key with everything below it; false when it could not.
    virtual bool deleteKey(const std::string& key) = 0;

    // Values of the open key.
    virtual bool valueExists(const std::string& name) = 0;
    // REG_SZ and REG_EXPAND_SZ as stored (no expansion), up to the first zero
    // byte; a value of any other type fails.
    virtual std::string readText(const std::string& name) = 0;
    // REG_DWORD read as signed 32-bit; a value of any other type fails.
    virtual std::int32_t readInteger(const std::string& name) = 0;
    // REG_SZ, stored with its terminating zero.
    virtual void writeText(const std::string& name, const std::string& value) = 0;
    virtual void writeInteger(const std::string& name, std::int32_t value) = 0;
    virtual bool deleteValue(const std::string& name) = 0;
    // Names of every value of the open key.
    virtual std::vector<std::string> valueNames() = 0;
};

// Tells whether a key, or anything below it, may have changed since the
// last look, so that what was read from it need not be read again before.
class RegistryWatch {
public:
    virtual ~RegistryWatch() = default;
    // True at the first look and after any change. A key that cannot be
    // watched (it does not exist, say) gives true once, then false until it
    // can be watched again, which gives true. Where only the 32-bit view of
    // 64-bit Windows has the key, that view is watched, until the 64-bit one
    // has it too.
    virtual bool changed() = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    enum class Hive { Machine, User };
    // The first byte of a binary value, read without changing anything, in
    // the machine's hive or the signed-in user's (the 64-bit view); none
    // where the key or the value is missing or empty, or of another type.
    virtual std::optional<std::uint8_t> readFirstByte(Hive hive, const std::string& key,
                                                      const std::string& name) = 0;
    // A fresh accessor with no key open.
    virtual std::unique_ptr<RegistryAccessor> open() = 0;
    // Watches the key below HKEY_LOCAL_MACHINE with everything below it.
    virtual std::unique_ptr<RegistryWatch> watch(const std::string& key) = 0;
};

}  // namespace platform
