#include "core/WirelessControl.h"

#include <utility>
#include <vector>

namespace core {

using platform::NativeWifiError;
using platform::WifiEvent;
using platform::WifiInterfaceId;
using platform::WifiSetting;

using platform::WifiFailure;

namespace {
constexpr std::uint32_t kTickSlackMs = 500;
}  // namespace

WirelessControl::WirelessControl(platform::NativeWifi& wifi, std::function<std::uint32_t()> nowMs)
    : wifi_(wifi), nowMs_(std::move(nowMs)) {}

WirelessControl::~WirelessControl() { release(); }

template <typename Call>
bool WirelessControl::tryCall(Call call, bool aboutOneInterface) {
    if (!session_) throw Lost{};
    try {
        call();
        return true;
    } catch (const NativeWifiError& error) {
        // A driver's own refusal, a gone or disconnected interface: that
        // interface alone, tried again at the next read-back.
        const bool handleGone =
            error.kind == WifiFailure::HandleGone || error.kind == WifiFailure::ServiceGone;
        if (aboutOneInterface && !handleGone) {
            refusal_ = error.kind;
            return false;
        }
        lose(error.kind);
        throw Lost{};
    }
}

template <typename Steps>
bool WirelessControl::whileHeld(Steps steps) {
    try {
        steps();
        return true;
    } catch (const Lost&) {
        return false;
    }
}

bool WirelessControl::open() {
    if (session_) return true;
    if (triedAtMs_ && nowMs_() - *triedAtMs_ < kWirelessRetryMs) return false;
    return openNow();
}

bool WirelessControl::openNow() {
    if (session_) return true;
    if (released_) return false;
    triedAtMs_ = nowMs_();
    try {
        session_ = wifi_.open([this](const WifiEvent& event) { handle(event); });
    } catch (const NativeWifiError& error) {
        // The WLAN service is not running, or refuses us: tried again soon.
        lose(error.kind);
        return false;
    }
    openedAtMs_ = readAtMs_ = listedAtMs_ = *triedAtMs_;
    heldBefore_ = true;
    whileHeld([&] { refresh(); });
    return held();
}

void WirelessControl::lose(WifiFailure failure) {
    // What was held is gone with the service; closing it may fail too.
    const bool wasHeld = held();
    session_.reset();
    for (const auto& [id, wifi] : interfaces_) rule_.forget(id);
    interfaces_.clear();
    // A handle the service no longer knows means that it is back already: a
    // new one is tried at the next tick, unless the handle was new itself.
    const std::uint32_t now = nowMs_();
    if (wasHeld && failure == WifiFailure::HandleGone && now - openedAtMs_ >= kWirelessRetryMs)
        triedAtMs_.reset();
    else
        triedAtMs_ = now;
    applied_ = false;
}

void WirelessControl::refresh() {
    std::vector<platform::WifiInterface> listed;
    tryCall([&] { listed = session_->interfaces(); }, false);
    platform::FlatMap<WifiInterfaceId, Interface> kept;
    for (const platform::WifiInterface& info : listed) {
        Interface wifi;
        const auto known = interfaces_.find(info.id);
        if (known != interfaces_.end()) wifi = known->second;
        // A wait for the connection that Windows itself asked for ends with
        // a connection told or seen after a disconnection; and, as a roam
        // tells nothing, at the second listing that still finds it connected:
        // a try every 10 s at the most, never none for good.
        if (!info.connected || (wifi.awaitingConnection && wifi.listedWhileAwaiting))
            wifi.awaitingConnection = false;
        else if (wifi.awaitingConnection)
            wifi.listedWhileAwaiting = true;
        wifi.connected = info.connected && !wifi.awaitingConnection;
        // Windows drops the settings with the link.
        if (!wifi.connected) {
            wifi.scanSet.reset();
            wifi.noSignal = false;
        }
        kept.emplace(info.id, wifi);
    }
    for (const auto& [id, wifi] : interfaces_) {
        const auto now = kept.find(id);
        if (now == kept.end() || !now->second.connected) rule_.forget(id);
    }
    interfaces_ = std::move(kept);
}

bool WirelessControl::wantsScan(const WifiInterfaceId& id) {
    return !scanOff_ || rule_.weak(id, nowMs_());
}

void WirelessControl::apply(const WifiInterfaceId& id, Interface& wifi) {
    const bool scan = wantsScan(id);
    // Each setting on its own: one that is refused does not keep the other
    // from being made. One refused for want of a connection waits for it:
    // Windows takes neither setting then, and drops both at a disconnection.
    bool notConnected = false;
    const auto made = [&](WifiSetting setting, bool on) {
        if (notConnected) return false;
        if (tryCall([&] { session_->set(id, setting, on); })) return true;
        notConnected = refusal_ == WifiFailure::NotConnected;
        return false;
    };
    const bool scanMade = made(WifiSetting::BackgroundScan, scan);
    const bool streamingMade = made(WifiSetting::MediaStreaming, !scan);
    if (notConnected) {
        wifi = Interface{};
        wifi.awaitingConnection = true;
        rule_.forget(id);
        return;
    }
    wifi.refused = !scanMade || !streamingMade;
    if (wifi.refused)
        wifi.scanSet.reset();
    else
        wifi.scanSet = scan;
}

void WirelessControl::applyAll() {
    // "On" is tried on one that awaits its connection too: a set made before
    // the other was refused may still hold.
    for (auto& [id, wifi] : interfaces_)
        if (wifi.connected || (wifi.awaitingConnection && !scanOff_)) apply(id, wifi);
}

void WirelessControl::settle() {
    std::size_t connected = 0;
    bool refused = false;
    for (const auto& [id, wifi] : interfaces_) {
        if (!wifi.connected) continue;
        ++connected;
        refused = refused || wifi.refused || (scanOff_ && !wifi.scanSet);
    }
    applied_ = held() && connected > 0 && !refused;
}

void WirelessControl::decide(bool scanOff) {
    scanOff_ = scanOff;
    applied_ = false;
    // Made on the handle that is opened next, should this try fail.
    changed_ = true;
    // A decision is worth a try whenever the last one was.
    if (!openNow()) return;
    whileHeld([&] {
        refresh();
        applyAll();
    });
    settle();
}

void WirelessControl::hear(const WifiInterfaceId& id, Interface& wifi) {
    if (wifi.noSignal) return;
    std::int32_t dBm = 0;
    if (tryCall([&] { dBm = session_->rssi(id); })) {
        rule_.heard(id, QualityOfRssi(dBm), nowMs_());
        return;
    }
    // Refused or unknown to the driver: the control goes on without the rule.
    wifi.noSignal = true;
    rule_.forget(id);
}

bool WirelessControl::ruleCanAct() const { return changed_ && scanOff_ && rule_.threshold() > 0; }

void WirelessControl::readBack(bool listing, bool looking) {
    if (listing) refresh();
    for (auto& [key, wifi] : interfaces_) {
        if (!wifi.connected) continue;
        // Clang 14 cannot capture a structured binding in a lambda.
        const WifiInterfaceId& id = key;
        if (looking) hear(id, wifi);
        if (!wifi.connected || !changed_) continue;
        // While "on" Windows' own defaults hold once set: only what was
        // refused is this run's to make again.
        if (!scanOff_) {
            if (wifi.refused) apply(id, wifi);
            continue;
        }
        // Something else may have changed either, the service forgotten
        // them, or the driver dropped media streaming at a roam.
        bool scan = false;
        bool streaming = false;
        const bool read =
            tryCall([&] { scan = session_->query(id, WifiSetting::BackgroundScan); }) &&
            tryCall([&] { streaming = session_->query(id, WifiSetting::MediaStreaming); });
        const bool want = wantsScan(id);
        if (!read || wifi.refused || scan != want || streaming == want || wifi.scanSet != scan)
            apply(id, wifi);
    }
}

std::tuple<bool, bool, bool, bool> WirelessControl::shown() const {
    return {held(), applied_, scanningForWeakSignal(), interfaces_.empty()};
}

bool WirelessControl::tick() {
    if (released_) return false;
    const auto before = shown();
    const std::uint32_t now = nowMs_();
    if (!session_) {
        if (triedAtMs_ && now - *triedAtMs_ < kWirelessRetryMs) return false;
        if (openNow() && changed_) whileHeld([&] { applyAll(); });
        settle();
        return shown() != before;
    }
    whileHeld([&] {
        const bool listing = now - listedAtMs_ >= kWirelessListMs;
        // Nothing to read back while nothing was set.
        // Ticks come about once a second, never exactly: a read-back due
        // within half a tick is made at this one, or every 5 s would be
        // every 6 s as often as not.
        const bool reading = changed_ && now - readAtMs_ + kTickSlackMs >= kWirelessReadBackMs;
        if (listing || reading) {
            if (listing) listedAtMs_ = now;
            readAtMs_ = now;
            // The signal is asked for as often as the rule needs it, and at
            // each listing for the lag record.
            readBack(listing, listing || ruleCanAct());
        }
    });
    settle();
    judgeSignals();
    return shown() != before;
}

bool WirelessControl::judgeSignals() {
    if (!session_ || !changed_ || !scanOff_) return false;
    bool switched = false;
    if (!whileHeld([&] {
            for (auto& [id, wifi] : interfaces_) {
                // A refused one waits for the next read-back.
                if (!wifi.connected || wifi.refused || wifi.scanSet == wantsScan(id)) continue;
                apply(id, wifi);
                switched = true;
            }
        }))
        switched = true;
    settle();
    return switched;
}

std::optional<std::uint32_t> WirelessControl::nextSignalTurnMs() const {
    if (!session_ || !changed_ || !scanOff_) return std::nullopt;
    const std::uint32_t now = nowMs_();
    std::optional<std::uint32_t> soonest;
    for (const auto& [id, wifi] : interfaces_) {
        // A refused one waits for the read-back, not for its signal.
        if (!wifi.connected || wifi.refused) continue;
        const std::optional<std::uint32_t> due = rule_.dueMs(id);
        // Tick counts wrap: the sooner is the one less far from now.
        if (due && (!soonest || static_cast<std::int32_t>(*due - now) <
                                    static_cast<std::int32_t>(*soonest - now)))
            soonest = due;
    }
    return soonest;
}

void WirelessControl::handle(const WifiEvent& event) {
    using Kind = WifiEvent::Kind;
    // A failed attempt is no connection; whatever held before still does.
    if (event.kind == Kind::Connected && event.reason != 0) return;
    // A scan changes nothing here: it is counted for the lag record.
    if (event.kind == Kind::Scanned) {
        ++scans_;
        return;
    }
    whileHeld([&] {
        switch (event.kind) {
            case Kind::Connected: {
                // Windows dropped what was set with the link that went.
                Interface& wifi = interfaces_[event.id];
                wifi = Interface{};
                wifi.connected = true;
                hear(event.id, wifi);
                if (changed_ && scanOff_) apply(event.id, wifi);
                break;
            }
            case Kind::Disconnected: {
                const auto found = interfaces_.find(event.id);
                if (found != interfaces_.end()) found->second = Interface{};
                rule_.forget(event.id);
                break;
            }
            case Kind::Missed:
                // A connection may have been among the notices lost.
                for (auto& [id, wifi] : interfaces_) wifi.awaitingConnection = false;
                [[fallthrough]];
            case Kind::Arrived:
                // What the notices left out, a listing tells.
                refresh();
                if (changed_ && scanOff_) applyAll();
                break;
            case Kind::Removed:
                interfaces_.erase(event.id);
                rule_.forget(event.id);
                break;
            case Kind::Scanned:
                break;
        }
    });
    settle();
    if (onChange) onChange();
}

void WirelessControl::renewed() {
    if (!session_) return;
    whileHeld([&] {
        refresh();
        if (changed_ && scanOff_) applyAll();
    });
    settle();
}

void WirelessControl::release() {
    if (session_ && changed_ && scanOff_) decide(false);
    session_.reset();
    released_ = true;
}

void WirelessControl::adoptCurrentState() {
    if (!session_ || changed_) return;
    whileHeld([&] {
        for (const auto& [id, wifi] : interfaces_) {
            if (!wifi.connected) continue;
            bool scan = true;
            if (tryCall([&, &id = id] { scan = session_->query(id, WifiSetting::BackgroundScan); }))
                scanOff_ = !scan;
            break;
        }
    });
}

bool WirelessControl::scanningForWeakSignal() const {
    if (!session_ || !changed_ || !scanOff_) return false;
    for (const auto& [id, wifi] : interfaces_)
        if (wifi.connected && wifi.scanSet == true) return true;
    return false;
}

std::int32_t WirelessControl::signal() const {
    for (const auto& [id, wifi] : interfaces_) {
        if (!wifi.connected) continue;
        if (const std::optional<std::int32_t> quality = rule_.quality(id)) return *quality;
    }
    return -1;
}

}  // namespace core
