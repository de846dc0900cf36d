// Shared pieces of the settings store.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/Convert.h"
#include "platform/Registry.h"

namespace settings {

inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Nolvara";
// The router list: values ip1, ip2, ... in order.
inline constexpr const char* kRouterListKey = "\\SOFTWARE\\Nolvara\\IPList";
inline std::string RouterValueName(int n) { return "ip" + std::to_string(n); }
// The chosen programs: values app1, app2, ... in order.
inline constexpr const char* kAppsKey = "\\SOFTWARE\\Nolvara\\Apps";
inline std::string AppValueName(int n) { return "app" + std::to_string(n); }
inline constexpr const char* kRunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "Nolvara";
// Where Windows 10 and 11 keep the user's own switch for a Run entry
// (Settings > Apps > Startup, Task Manager's Startup tab), in both hives:
// the value's first byte is even while the start is on and odd once the user
// switched it off; no value means on. The program only ever reads it.
inline constexpr const char* kStartupApprovedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

inline bool StartupSwitchedOff(platform::Registry& registry) {
    using Hive = platform::Registry::Hive;
    for (const Hive hive : {Hive::Machine, Hive::User}) {
        const std::optional<std::uint8_t> first =
            registry.readFirstByte(hive, kStartupApprovedKey, kRunValue);
        if (first && (*first & 1) != 0) return true;
    }
    return false;
}

// Runs the steps of a store operation under one guard: the first step that
// fails ends the operation, the steps before it stay done, and the caller goes
// on as if it had succeeded.
template <typename Steps>
void Guarded(Steps steps) {
    try {
        steps();
    } catch (const platform::RegistryError&) {
    } catch (const core::ConversionError&) {
    }
}

}  // namespace settings
