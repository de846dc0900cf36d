// The Native Wifi way of taking the lag off the link: one client handle,
// through which every connected wireless interface gets background scan off
// and media streaming on while the probe loop decides "off", and both back
// on otherwise. An interface whose signal stays weak gets them back on
// meanwhile (the signal rule), so that Windows can roam.
//
// The WLAN service may restart under the handle (a driver update, a resume):
// its calls then fail, its registration is gone and its settings are back at
// their defaults. Any failure that does not concern one interface alone
// counts as such a loss: the handle goes, and a new one is tried every few
// seconds and given the decided state.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/SignalRule.h"
#include "platform/FlatMap.h"
#include "platform/NativeWifi.h"

namespace core {

// How often a handle that could not be opened, or was lost, is tried again;
// the settings of a connection are read back this often while "off", and the
// signals asked for this often while the signal rule can act; the interfaces
// are listed, and their signals asked for otherwise, this often (the
// system's notices may be missed).
inline constexpr std::uint32_t kWirelessRetryMs = 4000;
inline constexpr std::uint32_t kWirelessReadBackMs = 5000;
inline constexpr std::uint32_t kWirelessListMs = 10000;

class WirelessControl {
public:
    // nowMs reads the tick count; the control asks it whenever it needs the time.
    WirelessControl(platform::NativeWifi& wifi, std::function<std::uint32_t()> nowMs);
    ~WirelessControl();
    WirelessControl(const WirelessControl&) = delete;
    WirelessControl& operator=(const WirelessControl&) = delete;

    // Opens the handle unless one is held; false when it cannot be, or the
    // control was released. After a failed try the next comes only once
    // kWirelessRetryMs have passed.
    bool open();
    // The probe loop's decision, made on every connected interface.
    void decide(bool scanOff);
    // Once a probe tick: the handle is tried again, the settings read back
    // and the signals asked for when due, and an interface whose signal
    // turned is switched. True when what the status shows has changed.
    bool tick();
    // Switches an interface whose signal turned since it was set; true when
    // it did. The probe tick does it too; this is for the moment a hold ends.
    bool judgeSignals();
    // The tick count at which the soonest signal's hold ends while "off";
    // none while no hold runs.
    std::optional<std::uint32_t> nextSignalTurnMs() const;
    // After a resume Windows may have dropped the settings: they are made again.
    void renewed();
    // Everything set back and the handle closed, for good.
    void release();
    // A window that set nothing shows what the first connected interface
    // holds, whoever set it.
    void adoptCurrentState();

    void setWeakSignalThreshold(std::int32_t threshold) { rule_.setThreshold(threshold); }
    std::int32_t weakSignalThreshold() const { return rule_.threshold(); }

    bool held() const { return static_cast<bool>(session_); }
    // A handle was held and is gone with the service, to be tried again.
    bool lost() const { return !session_ && heldBefore_ && !released_; }
    bool scanOff() const { return scanOff_; }
    // Whether the decided state reached every connected interface.
    bool applied() const { return applied_; }
    // Whether anything was set through this control, which it sets back.
    bool changed() const { return changed_; }
    // The decision is "off", but some interface scans for its weak signal.
    bool scanningForWeakSignal() const;
    std::size_t interfaceCount() const { return interfaces_.size(); }
    // Every interface of the last listing, connected or not.
    std::vector<platform::WifiInterfaceId> interfaceIds() const {
        std::vector<platform::WifiInterfaceId> ids(interfaces_.size());
        std::size_t at = 0;
        for (const auto& entry : interfaces_) ids[at++] = entry.first;
        return ids;
    }
    // The last quality heard of the first connected interface; -1 for none.
    std::int32_t signal() const;

    // The scans Windows reported on any interface since the last call.
    std::uint32_t takeScans() { return std::exchange(scans_, 0u); }

    // Runs after an event of the system changed what the status shows.
    std::function<void()> onChange;

private:
    struct Interface {
        bool connected = false;
        // Background scan as this handle last set it; none where it set nothing.
        std::optional<bool> scanSet;
        bool refused = false;
        // Windows refused a set as not connected, though a listing said it
        // was: nothing is tried until a connection is told or seen anew.
        bool awaitingConnection = false;
        bool listedWhileAwaiting = false;
        // Its signal strength cannot be had: the rule leaves it alone until
        // it connects again.
        bool noSignal = false;
    };
    // The handle is gone: why a call failed.
    struct Lost {};

    bool openNow();
    void handle(const platform::WifiEvent& event);
    void lose(platform::WifiFailure failure);
    // Lists the interfaces again; new ones are kept, gone ones forgotten.
    void refresh();
    void applyAll();
    // Whether the decided state now holds on every connected interface.
    void settle();
    // What the status line shows of this control.
    std::tuple<bool, bool, bool, bool> shown() const;
    void apply(const platform::WifiInterfaceId& id, Interface& wifi);
    // With listing, the interfaces are listed again; with looking, their
    // signals asked for.
    void readBack(bool listing, bool looking);
    // The interface's signal, asked for and told to the rule.
    void hear(const platform::WifiInterfaceId& id, Interface& wifi);
    // Whether the signal rule can switch anything now.
    bool ruleCanAct() const;
    // Whether the call succeeded; a failure that means a lost service (any
    // failure at all of a call about no one interface) throws Lost. The
    // kind of a refusal stays in refusal_.
    template <typename Call>
    bool tryCall(Call call, bool aboutOneInterface = true);
    // Runs steps that call through the handle; false when the handle was
    // lost on the way (the one place where Lost ends).
    template <typename Steps>
    bool whileHeld(Steps steps);
    bool wantsScan(const platform::WifiInterfaceId& id);

    platform::NativeWifi& wifi_;
    std::function<std::uint32_t()> nowMs_;
    std::unique_ptr<platform::NativeWifiSession> session_;
    SignalRule rule_;
    platform::FlatMap<platform::WifiInterfaceId, Interface> interfaces_;
    std::uint32_t scans_ = 0;
    bool scanOff_ = false;
    bool applied_ = true;
    bool changed_ = false;
    bool released_ = false;
    bool heldBefore_ = false;
    // When the handle was last tried and last opened, and the settings last
    // read back.
    std::optional<std::uint32_t> triedAtMs_;
    std::uint32_t openedAtMs_ = 0;
    std::uint32_t readAtMs_ = 0;
    std::uint32_t listedAtMs_ = 0;
    platform::WifiFailure refusal_ = platform::WifiFailure::Refused;
};

}  // namespace core
