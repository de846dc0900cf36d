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
    if (wireless.session) return true;
    if (wireless.released) return false;
    try {
        wireless.session = platform.wifi.open([this] { WirelessLinkRenewed(); });
        const std::vector<platform::WifiInterface> interfaces = wireless.session->interfaces();
        wireless.interfaces = interfaces.size();
        // A window that set nothing shows what the hidden run holds. A hidden
        // run never takes that state for its own: another handle may hold it,
        // and Windows drops it when that handle closes. It sets what it decides.
        if (!wireless.changed && runKind != core::RunKind::AutoControl) {
            for (const platform::WifiInterface& wifi : interfaces) {
                if (!wifi.connected) continue;
                wireless.scanOff =
                    !wireless.session->query(wifi.id, platform::WifiSetting::BackgroundScan);
                break;
            }
        }
    } catch (const platform::NativeWifiError&) {
        // The WLAN service is not running, or refuses us: tried again at the
        // next decision.
        if (!wireless.session) wireless.interfaces = 0;
    }
    return static_cast<bool>(wireless.session);
}

void TF_nolvara::ApplyWirelessSettings(bool scanOff) {
    wireless.scanOff = scanOff;
    wireless.applied = false;
    if (!OpenWirelessLink()) return;
    wireless.changed = true;
    bool failed = false;
    std::size_t connected = 0;
    try {
        const std::vector<platform::WifiInterface> interfaces = wireless.session->interfaces();
        wireless.interfaces = interfaces.size();
        for (const platform::WifiInterface& wifi : interfaces) {
            if (!wifi.connected) continue;
            ++connected;
            // Each setting on its own: one that is refused does not keep the
            // other from being made.
            const std::pair<platform::WifiSetting, bool> settings[] = {
                {platform::WifiSetting::BackgroundScan, !scanOff},
                {platform::WifiSetting::MediaStreaming, scanOff}};
            for (const auto& [setting, on] : settings) {
                try {
                    wireless.session->set(wifi.id, setting, on);
                } catch (const platform::NativeWifiError&) {
                    failed = true;
                }
            }
        }
    } catch (const platform::NativeWifiError&) {
        failed = true;
    }
    wireless.applied = !failed && connected > 0;
    wireless.ticksUnapplied = 0;
}

void TF_nolvara::WirelessLinkRenewed() {
    if (!wireless.session) return;
    if (wireless.changed && wireless.scanOff) {
        ApplyWirelessSettings(true);
    } else {
        // An interface may have come since the last look.
        try {
            wireless.interfaces = wireless.session->interfaces().size();
        } catch (const platform::NativeWifiError&) {
        }
    }
    UpdateStatus();
}

void TF_nolvara::ReleaseWirelessLink() {
    if (wireless.session && wireless.changed && wireless.scanOff) ApplyWirelessSettings(false);
    wireless.session.reset();
    wireless.released = true;
}

std::int32_t TF_nolvara::WirelessStartMode() {
    if (controlWay != ControlWay::NativeWifi) return core::kStartModeUnreadable;
    OpenWirelessLink();
    if (wireless.interfaces == 0) return core::kStartModeUnreadable;
    return wireless.scanOff ? core::kStartModeDisabled : core::kStartModeAutomatic;
}

std::string TF_nolvara::StatusTextKey(std::int32_t mode) const {
    if (controlWay == ControlWay::Service && state.serviceStartFailures > 0) return "startfailed";
    // Without either way, the wireless service's own text says it is missing.
    if (controlWay != ControlWay::NativeWifi) return "status" + std::to_string(mode);
    if (mode == core::kStartModeUnreadable) return "nowireless";
    if (mode == core::kStartModeDisabled && !wireless.applied) return "wifi4failed";
    return "wifi" + std::to_string(mode);
}

TF_nolvara::~TF_nolvara() { ReleaseWirelessLink(); }

}  // namespace shell
