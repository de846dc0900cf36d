// The Native Wifi interface of Windows Vista and later: the wireless
// interfaces, and the two settings of a connection that keep Windows from
// scanning in the background while the link is in use. Windows keeps those
// settings only while the client handle that set them stays open, and drops
// them whenever the link drops.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// A call of the interface failed; code is the system's error code (for
// example 5 access denied, 2 or 1168 interface gone, 0x80342002 not connected).
class NativeWifiError : public std::runtime_error {
public:
    NativeWifiError(const std::string& what, std::uint32_t code_)
        : std::runtime_error(what), code(code_) {}
    std::uint32_t code;
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

// What the system tells of its interfaces while a session lasts.
struct WifiEvent {
    enum class Kind { Connected, Disconnected, Arrived, Removed, SignalQuality };
    Kind kind = Kind::Connected;
    WifiInterfaceId id{};
    // The signal quality (0-100) of a SignalQuality event.
    std::int32_t quality = -1;
};

// One open client handle. Letting go of it stops the notifications and closes
// the handle, which makes Windows undo whatever was set through it.
class NativeWifiSession {
public:
    virtual ~NativeWifiSession() = default;
    virtual std::vector<WifiInterface> interfaces() = 0;
    virtual void set(const WifiInterfaceId& id, WifiSetting setting, bool on) = 0;
    virtual bool query(const WifiInterfaceId& id, WifiSetting setting) = 0;
    // The signal quality (0-100) of the interface's connection.
    virtual std::int32_t signalQuality(const WifiInterfaceId& id) = 0;
};

class NativeWifi {
public:
    virtual ~NativeWifi() = default;
    // True when the system has the interface (wlanapi.dll with every function
    // the program calls); loaded at run time, so its absence is no failure.
    virtual bool available() = 0;
    // Opens a client handle (version 2). onEvent, when given, runs through
    // the message loop for every event the system reports of an interface
    // (connections, arrivals, removals, signal changes); some may be lost
    // when they come faster than the loop runs. Nothing runs after the
    // session is gone. Throws NativeWifiError.
    using EventHandler = std::function<void(const WifiEvent&)>;
    virtual std::unique_ptr<NativeWifiSession> open(EventHandler onEvent) = 0;
};

}  // namespace platform
