// Shared pieces of the settings store.
#pragma once

#include <stdexcept>

#include "core/Convert.h"
#include "platform/Registry.h"

namespace settings {

inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Nolvara";
inline constexpr const char* kRunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "Nolvara";

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
