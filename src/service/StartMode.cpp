// The wireless service's start mode: the "Start" value of its service key,
// read and written in place, never created.
#include "shell/TF_nolvara.h"

namespace shell {

using core::kServiceKey;

std::int32_t TF_nolvara::ReadStartMode() {
    if (controlWay != ControlWay::Service) return WirelessStartMode();
    auto reg = platform.registry.open();
    try {
        if (reg->openKey(kServiceKey, false) && reg->valueExists("Start"))
            return reg->readInteger("Start");
    } catch (const platform::RegistryError&) {
    }
    return core::kStartModeUnreadable;
}

void TF_nolvara::WriteStartMode(std::int32_t mode) {
    auto reg = platform.registry.open();
    try {
        if (reg->openKey(kServiceKey, false) && reg->valueExists("Start"))
            reg->writeInteger("Start", mode);
    } catch (const platform::RegistryError&) {
    }
}

}  // namespace shell
