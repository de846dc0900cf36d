#include "fakes/FakeWifi.h"

#include "fakes/Headless.h"

namespace fakes {

using Failure = platform::WifiFailure;

class FakeNativeWifi::Session : public platform::NativeWifiSession {
public:
    Session(FakeNativeWifi& wifi, int number)
        : wifi_(wifi), number_(number), serviceRun_(wifi.serviceRun_) {
        ++wifi_.openSessions;
    }
    ~Session() override {
        --wifi_.openSessions;
        wifi_.listeners_.erase(number_);
        if (changed_ && serviceRun_ == wifi_.serviceRun_) wifi_.resetSettings();
    }
    std::vector<platform::WifiInterface> interfaces() override {
        answering();
        wifi_.fail("enum");
        std::vector<platform::WifiInterface> list;
        for (const Interface& i : wifi_.interfaces) list.push_back(i.info);
        return list;
    }
    void set(const platform::WifiInterfaceId& id, platform::WifiSetting setting, bool on) override {
        ++wifi_.sets;
        Interface& i = reach("set", id, true);
        (setting == platform::WifiSetting::BackgroundScan ? i.backgroundScan : i.mediaStreaming) = on;
        changed_ = true;
    }
    bool query(const platform::WifiInterfaceId& id, platform::WifiSetting setting) override {
        const Interface& i = reach("query", id, false);
        return setting == platform::WifiSetting::BackgroundScan ? i.backgroundScan : i.mediaStreaming;
    }
    std::int32_t rssi(const platform::WifiInterfaceId& id) override {
        ++wifi_.signalQueries;
        return reach("rssi", id, true).rssi;
    }

private:
    // The interface a call is about, failing as the call would.
    Interface& reach(const char* call, const platform::WifiInterfaceId& id, bool connectedOnly) {
        answering();
        wifi_.fail(call);
        Interface* i = wifi_.find(id);
        if (i == nullptr)
            throw platform::NativeWifiError("interface gone", "", 1168, Failure::Refused);
        if (connectedOnly && !i->info.connected)
            throw platform::NativeWifiError("not connected", "", 5023, Failure::NotConnected);
        return *i;
    }
    void answering() const {
        if (wifi_.serviceDown_)
            throw platform::NativeWifiError("RPC server unavailable", "", 1722,
                                            Failure::ServiceGone);
        if (serviceRun_ != wifi_.serviceRun_)
            throw platform::NativeWifiError("invalid handle", "", 6, Failure::HandleGone);
    }
    FakeNativeWifi& wifi_;
    int number_;
    int serviceRun_;
    bool changed_ = false;
};

FakeNativeWifi::FakeNativeWifi(VirtualClock& clock) : clock_(clock) {}
FakeNativeWifi::~FakeNativeWifi() = default;

std::unique_ptr<platform::NativeWifiSession> FakeNativeWifi::open(EventHandler onEvent) {
    ++opens;
    if (serviceDown_)
        throw platform::NativeWifiError("RPC server unavailable", "", 1722, Failure::ServiceGone);
    fail("open");
    const int number = nextSession_++;
    if (onEvent) listeners_[number] = std::move(onEvent);
    return std::make_unique<Session>(*this, number);
}

void FakeNativeWifi::addConnectedInterface() {
    present = true;
    Interface wifi;
    wifi.info.id[0] = static_cast<std::uint8_t>(++interfacesMade_);
    wifi.info.description = "Test wireless adapter";
    wifi.info.connected = true;
    interfaces.push_back(wifi);
}

void FakeNativeWifi::notify(platform::WifiEvent::Kind kind, const platform::WifiInterfaceId& id,
                            std::uint32_t reason) {
    platform::WifiEvent event;
    event.kind = kind;
    event.id = id;
    event.reason = reason;
    for (const auto& [number, listener] : listeners_) {
        // A session gone before the message is handled hears nothing.
        clock_.post(0, [this, number = number, event] {
            auto it = listeners_.find(number);
            if (it == listeners_.end()) return;
            // The handler may let go of its session, and with it this entry.
            const EventHandler handler = it->second;
            handler(event);
        });
    }
}

void FakeNativeWifi::reconnect() {
    resetSettings();
    for (const Interface& i : interfaces)
        if (i.info.connected) notify(platform::WifiEvent::Kind::Connected, i.info.id);
}

void FakeNativeWifi::arrive(bool connected) {
    addConnectedInterface();
    Interface& added = interfaces.back();
    added.info.connected = connected;
    notify(platform::WifiEvent::Kind::Arrived, added.info.id);
    if (connected) notify(platform::WifiEvent::Kind::Connected, added.info.id);
}

void FakeNativeWifi::remove(std::size_t index) {
    const platform::WifiInterfaceId id = interfaces.at(index).info.id;
    interfaces.erase(interfaces.begin() + static_cast<std::ptrdiff_t>(index));
    notify(platform::WifiEvent::Kind::Removed, id);
}

void FakeNativeWifi::setConnected(std::size_t index, bool connected) {
    Interface& i = interfaces.at(index);
    i.info.connected = connected;
    if (!connected) i.backgroundScan = !(i.mediaStreaming = false);
    notify(
        connected ? platform::WifiEvent::Kind::Connected : platform::WifiEvent::Kind::Disconnected,
        i.info.id);
}

void FakeNativeWifi::stopService() {
    serviceDown_ = true;
    ++serviceRun_;
    listeners_.clear();
    resetSettings();
}

bool FakeNativeWifi::setting(std::size_t index, platform::WifiSetting which) const {
    const Interface& i = interfaces.at(index);
    return which == platform::WifiSetting::BackgroundScan ? i.backgroundScan : i.mediaStreaming;
}

void FakeNativeWifi::fail(const std::string& call) const {
    auto it = failures.find(call);
    if (it != failures.end())
        throw platform::NativeWifiError(call + " failed", call, 0, it->second);
}

FakeNativeWifi::Interface* FakeNativeWifi::find(const platform::WifiInterfaceId& id) {
    for (Interface& i : interfaces)
        if (i.info.id == id) return &i;
    return nullptr;
}

void FakeNativeWifi::resetSettings() {
    for (Interface& i : interfaces) {
        i.backgroundScan = true;
        i.mediaStreaming = false;
    }
}

}  // namespace fakes
