// The Native Wifi interface of a machine whose wireless interfaces a test lays
// out: settings and signal strength per interface, calls that fail as a test
// says, and events (reconnections, arrivals, removals, any notice
// a test tells) whose notices arrive through the virtual clock; a WLAN
// service that stops and starts again under its clients.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/NativeWifi.h"

namespace fakes {

class VirtualClock;

class FakeNativeWifi : public platform::NativeWifi {
public:
    explicit FakeNativeWifi(VirtualClock& clock);
    ~FakeNativeWifi() override;

    bool available() override { return present; }
    std::unique_ptr<platform::NativeWifiSession> open(EventHandler onEvent) override;

    struct Interface {
        platform::WifiInterface info;
        // What Windows holds for the interface; both go back to these
        // defaults when the link drops or the handle that set them closes.
        bool backgroundScan = true;
        bool mediaStreaming = false;
        std::int32_t rssi = -60;  // dBm: quality 80
    };

    // Makes the machine one with the interface: present, one wireless
    // interface, connected.
    void addConnectedInterface();
    // The link drops (Windows undoes the settings) and comes back: every open
    // session hears of the connection through the message loop.
    void reconnect();
    bool setting(std::size_t index, platform::WifiSetting which) const;
    // Another adapter is plugged in (connected, or not yet); one is pulled out.
    void arrive(bool connected);
    void remove(std::size_t index);
    // The link drops (Windows undoes the settings) or comes back, and is told.
    void setConnected(std::size_t index, bool connected);
    // Every open session hears of it through the message loop.
    void notify(platform::WifiEvent::Kind kind, const platform::WifiInterfaceId& id,
                std::uint32_t reason = 0);
    // The WLAN service stops: every call fails with 1722, the settings are
    // back at their defaults, the registrations gone. Started again, the
    // handles from before answer 6.
    void stopService();
    void startService() { serviceDown_ = false; }
    int registrations() const { return static_cast<int>(listeners_.size()); }

    bool present = false;
    std::vector<Interface> interfaces;
    // What each kind of call fails with: "open", "enum", "set", "query", "rssi".
    std::map<std::string, platform::WifiFailure> failures;
    int openSessions = 0;
    int opens = 0;
    int sets = 0;
    int signalQueries = 0;

private:
    class Session;
    VirtualClock& clock_;
    void fail(const std::string& call) const;
    Interface* find(const platform::WifiInterfaceId& id);
    void resetSettings();
    // The notice of each open session, by the session's number.
    std::map<int, EventHandler> listeners_;
    int nextSession_ = 0;
    int interfacesMade_ = 0;
    bool serviceDown_ = false;
    // Counts the service's starts; a session from an earlier one is stale.
    int serviceRun_ = 0;
};

}  // namespace fakes
