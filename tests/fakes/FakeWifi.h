// The Native Wifi interface of a machine whose wireless interfaces a test lays
// out: settings per interface, calls that fail with the code a test gives,
// and reconnections whose notices arrive through the virtual clock.
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
    std::unique_ptr<platform::NativeWifiSession> open(std::function<void()> onConnected) override;

    struct Interface {
        platform::WifiInterface info;
        // What Windows holds for the interface; both go back to these
        // defaults when the link drops or the handle that set them closes.
        bool backgroundScan = true;
        bool mediaStreaming = false;
    };

    // Makes the machine one with the interface: present, one wireless
    // interface, connected.
    void addConnectedInterface();
    // The link drops (Windows undoes the settings) and comes back: every open
    // session hears of the connection through the message loop.
    void reconnect();
    bool setting(std::size_t index, platform::WifiSetting which) const;

    bool present = false;
    std::vector<Interface> interfaces;
    // The error code each kind of call fails with: "open", "enum", "set", "query".
    std::map<std::string, std::uint32_t> failures;
    int openSessions = 0;
    int opens = 0;
    int sets = 0;

private:
    class Session;
    VirtualClock& clock_;
    void fail(const std::string& call) const;
    Interface* find(const platform::WifiInterfaceId& id);
    void resetSettings();
    // The notice of each open session, by the session's number.
    std::map<int, std::function<void()>> listeners_;
    int nextSession_ = 0;
};

}  // namespace fakes
