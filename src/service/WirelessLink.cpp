// The two ways of taking the lag off the link. Windows XP has the wireless
// service, whose start mode the program switches. Windows Vista and later
// have none: their WLAN AutoConfig service must keep running, and the scans
// it makes in the background while a link is up are switched off per
// connection through the Native Wifi interface instead.
#include "shell/TF_nolvara.h"

namespace shell {


void TF_nolvara::ChooseControlWay() {
    bool serviceExists = false;
    try {
        serviceExists = platform.registry.open()->openKey(core::kServiceKey, false);
    } catch (const platform::RegistryError&) {
    }
    if (serviceExists)
        controlWay = ControlWay::Service;
    else if (platform.wifi.available())
        controlWay = ControlWay::NativeWifi;
    else
        controlWay = ControlWay::None;
}

bool TF_nolvara::OpenWirelessLink() {
    if (!wireless.open()) return false;
    // A window that set nothing shows what the hidden run holds. A hidden
    // run never takes that state for its own: another handle may hold it,
    // and Windows drops it when that handle closes. It sets what it decides.
    if (runKind != core::RunKind::AutoControl) wireless.adoptCurrentState();
    return true;
}

void TF_nolvara::ApplyWirelessSettings(bool scanOff) {
    wireless.decide(scanOff);
    ArmSignalTimer();
}

void TF_nolvara::ArmSignalTimer() {
    // Windows asked whether the session may end: nothing switches off again.
    const std::optional<std::uint32_t> due =
        state.sessionEnding ? std::nullopt : wireless.nextSignalTurnMs();
    if (due == signalTimerDueMs) return;
    signalTimerDueMs = due;
    T_signal.setEnabled(false);
    if (!due) return;
    const std::int32_t waitMs = static_cast<std::int32_t>(*due - platform.system.tickCountMs());
    T_signal.setIntervalMs(waitMs > 0 ? waitMs : 1);
    T_signal.setEnabled(true);
}

void TF_nolvara::T_signalTimer() {
    T_signal.setEnabled(false);
    signalTimerDueMs.reset();
    if (wireless.judgeSignals()) UpdateStatus();
    ArmSignalTimer();
}

void TF_nolvara::ReleaseWirelessLink() { wireless.release(); }

std::int32_t TF_nolvara::WirelessStartMode() {
    if (controlWay != ControlWay::NativeWifi) return core::kStartModeUnreadable;
    // A handle lost with a WLAN service that restarts leaves the decision
    // standing; the status says whether it holds.
    if (!OpenWirelessLink() && wireless.lost())
        return wireless.scanOff() ? core::kStartModeDisabled : core::kStartModeAutomatic;
    if (wireless.interfaceCount() == 0) return core::kStartModeUnreadable;
    return wireless.scanOff() ? core::kStartModeDisabled : core::kStartModeAutomatic;
}

std::string TF_nolvara::StatusTextKey(std::int32_t mode) const {
    if (controlWay == ControlWay::Service && state.serviceStartFailures > 0) return "startfailed";
    // Without either way, the wireless service's own text says it is missing.
    if (controlWay != ControlWay::NativeWifi) return "status" + std::to_string(mode);
    if (mode == core::kStartModeUnreadable) return "nowireless";
    if (mode == core::kStartModeDisabled && !wireless.applied()) return "wifi4failed";
    if (mode == core::kStartModeDisabled && wireless.scanningForWeakSignal()) return "wifiweak";
    return "wifi" + std::to_string(mode);
}

TF_nolvara::~TF_nolvara() { ReleaseWirelessLink(); }

}  // namespace shell
