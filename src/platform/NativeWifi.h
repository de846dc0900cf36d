// The Native Wifi interface of Windows Vista and later: the wireless
// interfaces, and the two settings of a connection that keep Windows from
// scanning in the background while the link is in use. Windows keeps those
// settings only while the client handle that set them stays open, drops
// them whenever the link drops, and lets the driver drop media streaming at
// every connect indication, a roam included.
//
// What this interface never offers, because Windows 11 (24H2 on) gates it
// behind the user's location consent: the calls answer ERROR_ACCESS_DENIED
// where desktop apps may not use location, the first one raises a consent
// prompt, and each one let through shows the program as using the location.
// A lag tool has no business there, so none of these is ever called:
//   WlanRegisterNotification with WLAN_NOTIFICATION_SOURCE_MSM,
//   WlanQueryInterface of wlan_intf_opcode_current_connection,
//   WlanScan, WlanGetNetworkBssList, WlanGetAvailableNetworkList.
// The signal comes from wlan_intf_opcode_rssi and the connections from the
// auto-configuration module's notices, neither of them gated.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SystemError.h"

namespace platform {

// What a failed call means, told by the binding that knows the system's codes.
enum class WifiFailure {
    // The service no longer knows the handle: it ran anew meanwhile, and a
    // new handle may be had at once.
    HandleGone,
    // The service is down, or not listening yet.
    ServiceGone,
    // A setting refused for want of a connection: made at the next one.
    NotConnected,
    // The one interface the call was about refused it, or is gone.
    Refused,
};

// A call of the interface failed; code is the system's error code (for
// example 5 access denied, 2 or 1168 interface gone, 5023 not connected).
class NativeWifiError : public SystemError {
public:
    NativeWifiError(const std::string& what, std::string call, std::uint32_t code,
                    WifiFailure kind_ = WifiFailure::Refused)
        : SystemError(what, std::move(call), code), kind(kind_) {}
    WifiFailure kind;
};

// The interface's identity, the bytes of its GUID.
using WifiInterfaceId = std::array<std::uint8_t, 16>;

struct WifiInterface {
    WifiInterfaceId id{};
    std::string description;
    bool connected = false;
};

// The two settings, one pair per interface.
enum class WifiSetting { BackgroundScan, MediaStreaming };

// What the system tells of its interfaces while a session lasts. Missed:
// some notices were lost (too many at once, or one that could not be read);
// only a fresh listing tells the state. Scanned: a scan of the interface
// ended, complete or failed, whoever asked for it (the auto-configuration
// module tells it to every client, without the location consent).
struct WifiEvent {
    enum class Kind { Connected, Disconnected, Arrived, Removed, Missed, Scanned };
    Kind kind = Kind::Connected;
    WifiInterfaceId id{};
    // Of a Connected event: 0 for a connection made, otherwise the reason
    // code of an attempt that failed (Windows reports both alike).
    std::uint32_t reason = 0;
};

// Notices that wait for the session's thread, in the order they came. The
// queue is bounded: what does not fit is dropped, and the next take after
// the kept ones answers Missed once, so that nothing is lost unnoticed.
// Not locked: its owner holds its own lock around each call.
template <std::size_t Capacity>
class WifiEventQueue {
public:
    void put(const WifiEvent& event) {
        if (count_ < events_.size())
            events_[count_++] = event;
        else
            missed_ = true;
    }
    std::optional<WifiEvent> take() {
        if (taken_ < count_) {
            const WifiEvent event = events_[taken_++];
            if (taken_ == count_) taken_ = count_ = 0;
            return event;
        }
        if (!missed_) return std::nullopt;
        missed_ = false;
        WifiEvent event;
        event.kind = WifiEvent::Kind::Missed;
        return event;
    }

private:
    std::array<WifiEvent, Capacity> events_{};
    std::size_t count_ = 0;
    std::size_t taken_ = 0;
    bool missed_ = false;
};

// One open client handle. Letting go of it stops the notifications and closes
// the handle, which makes Windows undo whatever was set through it.
class NativeWifiSession {
public:
    virtual ~NativeWifiSession() = default;
    virtual std::vector<WifiInterface> interfaces() = 0;
    virtual void set(const WifiInterfaceId& id, WifiSetting setting, bool on) = 0;
    virtual bool query(const WifiInterfaceId& id, WifiSetting setting) = 0;
    // The received signal strength of the interface's connection, in dBm.
    virtual std::int32_t rssi(const WifiInterfaceId& id) = 0;
};

class NativeWifi {
public:
    virtual ~NativeWifi() = default;
    // True when the system has the interface (wlanapi.dll with every function
    // the program calls); loaded at run time, so its absence is no failure.
    virtual bool available() = 0;
    // Opens a client handle (version 2). onEvent, when given, runs through
    // the message loop for every event the system reports of an interface
    // (connections, disconnections, arrivals, removals); notices that come
    // faster than the loop runs are told as one Missed. Nothing runs after
    // the session is gone. Throws NativeWifiError.
    using EventHandler = std::function<void(const WifiEvent&)>;
    virtual std::unique_ptr<NativeWifiSession> open(EventHandler onEvent) = 0;
};

}  // namespace platform
