#include "fakes/FakeWifi.h"

#include "fakes/Headless.h"

namespace fakes {

class FakeNativeWifi::Session : public platform::NativeWifiSession {
public:
    Session(FakeNativeWifi& wifi, int number) : wifi_(wifi), number_(number) { ++wifi_.openSessions; }
    ~Session() override {
        --wifi_.openSessions;
        wifi_.listeners_.erase(number_);
        if (changed_) wifi_.resetSettings();
    }
    std::vector<platform::WifiInterface> interfaces() override {
        wifi_.fail("enum");
        std::vector<platform::WifiInterface> list;
        for (const Interface& i : wifi_.interfaces) list.push_back(i.info);
        return list;
    }
    void set(const platform::WifiInterfaceId& id, platform::WifiSetting setting, bool on) override {
        ++wifi_.sets;
        wifi_.fail("set");
        Interface* i = wifi_.find(id);
        if (i == nullptr) throw platform::NativeWifiError("interface gone", 1168);
        if (!i->info.connected) throw platform::NativeWifiError("not connected", 0x80342002);
        (setting == platform::WifiSetting::BackgroundScan ? i->backgroundScan : i->mediaStreaming) = on;
        changed_ = true;
    }
    bool query(const platform::WifiInterfaceId& id, platform::WifiSetting setting) override {
        wifi_.fail("query");
        Interface* i = wifi_.find(id);
        if (i == nullptr) throw platform::NativeWifiError("interface gone", 1168);
        return setting == platform::WifiSetting::BackgroundScan ? i->backgroundScan : i->mediaStreaming;
    }

private:
    FakeNativeWifi& wifi_;
    int number_;
    bool changed_ = false;
};

FakeNativeWifi::FakeNativeWifi(VirtualClock& clock) : clock_(clock) {}
FakeNativeWifi::~FakeNativeWifi() = default;

std::unique_ptr<platform::NativeWifiSession> FakeNativeWifi::open(std::function<void()> onConnected) {
    ++opens;
    fail("open");
    const int number = nextSession_++;
    if (onConnected) listeners_[number] = std::move(onConnected);
    return std::make_unique<Session>(*this, number);
}

void FakeNativeWifi::addConnectedInterface() {
    present = true;
    Interface wifi;
    wifi.info.id[0] = static_cast<std::uint8_t>(interfaces.size() + 1);
    wifi.info.description = "Test wireless adapter";
    wifi.info.connected = true;
    interfaces.push_back(wifi);
}

void FakeNativeWifi::reconnect() {
    resetSettings();
    for (const auto& [number, listener] : listeners_) {
        // A session gone before the message is handled hears nothing.
        clock_.post(0, [this, number = number] {
            auto it = listeners_.find(number);
            if (it != listeners_.end()) it->second();
        });
    }
}

bool FakeNativeWifi::setting(std::size_t index, platform::WifiSetting which) const {
    const Interface& i = interfaces.at(index);
    return which == platform::WifiSetting::BackgroundScan ? i.backgroundScan : i.mediaStreaming;
}

void FakeNativeWifi::fail(const std::string& call) const {
    auto it = failures.find(call);
    if (it != failures.end()) throw platform::NativeWifiError(call + " failed", it->second);
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
