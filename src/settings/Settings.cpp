#include "settings/Settings.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "core/Convert.h"
#include "settings/IpAddress.h"
#include "settings/Store.h"

namespace settings {

namespace {

// The named integer of the opened key as read: none where it is missing or
// of another type.
std::optional<std::int64_t> optionalInteger(platform::RegistryAccessor& reg, bool opened,
                                            const char* name) {
    std::optional<std::int64_t> value;
    Guarded([&] {
        if (opened && reg.valueExists(name)) value = reg.readInteger(name);
    });
    return value;
}

// The entries of a numbered list in the opened key into entries: each that
// accept takes (in the form it may give it), once. Throws what the registry
// throws, the entries before the failing value read.
void ReadNumberedList(platform::RegistryAccessor& reg, std::string (*valueName)(int),
                      bool (*accept)(std::string&), std::vector<std::string>& entries) {
    for (int n = 1; reg.valueExists(valueName(n)); ++n) {
        std::string entry = reg.readText(valueName(n));
        if (accept(entry) && std::find(entries.begin(), entries.end(), entry) == entries.end())
            entries.push_back(entry);
    }
}

bool IsProgramName(std::string& name) { return IsProgramFileName(name); }

}  // namespace

Loaded Load(platform::Registry& registry, const Settings& previous,
            const std::string& defaultInstallPath) {
    Loaded loaded;
    loaded.settings = previous;
    Settings& s = loaded.settings;
    auto reg = registry.open();
    const bool opened = reg->openKey(kSettingsKey, true);
    s.weakSignal = core::WeakSignalThreshold(optionalInteger(*reg, opened, "weaksignal"));
    const std::optional<std::int64_t> trayIcon = optionalInteger(*reg, opened, "trayicon");
    s.trayIcon = !trayIcon || *trayIcon != 0;
    const std::optional<std::int64_t> onBattery = optionalInteger(*reg, opened, "onbattery");
    s.onBattery = !onBattery || *onBattery != 0;
    // Apart too: a name of the wrong type ends the list there, and the rest
    // of the settings do not depend on it.
    s.apps.clear();
    Guarded([&] {
        if (opened && reg->openKey(kAppsKey, false))
            ReadNumberedList(*reg, AppValueName, IsProgramName, s.apps);
    });
    if (opened) reg->openKey(kSettingsKey, true);

    // Each step names its value first, so that a failure leaves it named.
    Value& at = loaded.stoppedAt;
    const auto integer = [&](const char* name, std::int32_t missing) {
        return reg->valueExists(name) ? reg->readInteger(name) : missing;
    };
    Guarded([&] {
        at = Value::Autostart;
        s.autostart = integer("autostart", 0) == 1;
        at = Value::Language;
        if (reg->valueExists("language")) s.language = reg->readText("language");
        if (s.language != "german" && s.language != "english") s.language = "english";
        at = Value::UseDhcp;
        const bool dhcpStored = reg->valueExists("use_dhcp");
        loaded.routerChosen = dhcpStored || reg->valueExists("routerip");
        if (dhcpStored) s.useDhcp = reg->readInteger("use_dhcp") == 1;
        at = Value::Adapter;
        if (reg->valueExists("adapter")) s.adapter = reg->readText("adapter");
        at = Value::RestartService;
        s.restartService = integer("restartservice", 1) == 1;
        at = Value::InstallPath;
        s.installPath =
            reg->valueExists("installpath") ? reg->readText("installpath") : defaultInstallPath;
        at = Value::ShutdownDelay;
        s.shutdownDelay = core::CheckedDelaySec(integer("shutdowndelay", 30));
        at = Value::Version;
        loaded.version = integer("version", 1);
        at = Value::CheckForUpdate;
        s.checkForUpdate = integer("checkforupdate", 0) == 1;
        at = Value::Routers;
        s.routers.clear();
        if (opened) {
            reg->openKey(kRouterListKey, true);
            for (int n = 1; reg->valueExists(RouterValueName(n)); ++n) {
                const std::string stored = reg->readText(RouterValueName(n));
                std::string address = stored;
                if (IsValidIP(address) &&
                    std::find(s.routers.begin(), s.routers.end(), stored) == s.routers.end())
                    s.routers.push_back(address);
                loaded.routerValueRead = true;
            }
        }
        at = Value::None;
    });
    return loaded;
}

bool Policies::any() const { return !(*this == Policies{}); }

Policies ReadPolicies(platform::Registry& registry) {
    Policies p;
    auto reg = registry.open();
    if (!reg->openKey(kPolicyKey, false)) return p;
    const auto flag = [&](const char* name, bool onlyOneIsOn) -> std::optional<bool> {
        const std::optional<std::int64_t> value = optionalInteger(*reg, true, name);
        if (!value) return std::nullopt;
        return onlyOneIsOn ? *value == 1 : *value != 0;
    };
    // Each as the settings read it: only 1 is on, or anything but 0.
    p.restartService = flag("restartservice", true);
    p.checkForUpdate = flag("checkforupdate", true);
    p.useDhcp = flag("use_dhcp", true);
    p.trayIcon = flag("trayicon", false);
    p.onBattery = flag("onbattery", false);
    // Left empty in the template, the adapter is the user's.
    Guarded([&] {
        if (reg->valueExists("adapter")) p.adapter = reg->readText("adapter");
    });
    if (p.adapter && p.adapter->empty()) p.adapter.reset();
    const std::optional<std::int64_t> delay = optionalInteger(*reg, true, "shutdowndelay");
    if (delay && *delay >= 0 && *delay <= core::kMaxDelaySec)
        p.shutdownDelay = static_cast<std::int32_t>(*delay);
    const std::optional<std::int64_t> weak = optionalInteger(*reg, true, "weaksignal");
    if (weak && core::WeakSignalInBounds(*weak)) p.weakSignal = static_cast<std::int32_t>(*weak);
    std::vector<std::string> apps;
    Guarded([&] {
        if (reg->openKey(std::string(kPolicyKey) + "\\Apps", false))
            ReadNumberedList(*reg, AppValueName, IsProgramName, apps);
    });
    if (!apps.empty()) p.apps = std::move(apps);
    std::vector<std::string> routers;
    Guarded([&] {
        if (reg->openKey(std::string(kPolicyKey) + "\\IPList", false))
            ReadNumberedList(*reg, RouterValueName, IsValidIP, routers);
    });
    if (!routers.empty()) p.routers = std::move(routers);
    return p;
}

Settings Governed(Settings own, const Policies& p) {
    own.routers = p.routers.value_or(own.routers);
    own.shutdownDelay = p.shutdownDelay.value_or(own.shutdownDelay);
    own.restartService = p.restartService.value_or(own.restartService);
    own.checkForUpdate = p.checkForUpdate.value_or(own.checkForUpdate);
    own.useDhcp = p.useDhcp.value_or(own.useDhcp);
    own.adapter = p.adapter.value_or(own.adapter);
    own.weakSignal = p.weakSignal.value_or(own.weakSignal);
    own.trayIcon = p.trayIcon.value_or(own.trayIcon);
    own.apps = p.apps.value_or(own.apps);
    own.onBattery = p.onBattery.value_or(own.onBattery);
    return own;
}

void Save(platform::Registry& registry, const Settings& settings, std::int32_t version,
          const Policies& managed) {
    auto reg = registry.open();
    Guarded([&] {
        if (!reg->openKey(kSettingsKey, true)) return;
        reg->writeText("language", settings.language);
        reg->writeInteger("autostart", settings.autostart ? 1 : 0);
        if (!managed.restartService)
            reg->writeInteger("restartservice", settings.restartService ? 1 : 0);
        if (settings.useDhcp && !managed.adapter) reg->writeText("adapter", settings.adapter);
        if (!managed.useDhcp) reg->writeInteger("use_dhcp", settings.useDhcp ? 1 : 0);
        reg->writeText("installpath", settings.installPath);
        if (!managed.checkForUpdate)
            reg->writeInteger("checkforupdate", settings.checkForUpdate ? 1 : 0);
        reg->writeInteger("version", version);
        // Last: a delay out of bounds ends the save here, and would otherwise
        // keep the version from being recorded.
        if (!managed.shutdownDelay)
            reg->writeInteger("shutdowndelay", core::CheckedDelaySec(settings.shutdownDelay));
    });
}

bool IsProgramFileName(const std::string& name) {
    constexpr std::size_t kLongestName = 255;
    if (name.empty() || name.size() > kLongestName) return false;
    if (name.find_first_not_of(" .") == std::string::npos) return false;
    if (name.front() == ' ' || name.back() == ' ') return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 32 ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    return true;
}

void WriteNumberedList(platform::RegistryAccessor& reg, const std::vector<std::string>& entries,
                       const std::function<std::string(int)>& valueName) {
    std::vector<std::string> keep;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string name = valueName(static_cast<int>(i) + 1);
        reg.writeText(name, entries[i]);
        keep.push_back(name);
    }
    // Names compare as the registry compares them: without regard to case.
    const auto lowerAscii = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (const std::string& name : reg.valueNames())
        if (std::find(keep.begin(), keep.end(), lowerAscii(name)) == keep.end())
            reg.deleteValue(name);
}

bool SaveOptions(platform::Registry& registry, const Options& options, const Policies& managed) {
    bool saved = false;
    auto reg = registry.open();
    Guarded([&] {
        if (!reg->openKey(kSettingsKey, true)) return;
        if (options.weakSignal && !managed.weakSignal)
            reg->writeInteger("weaksignal", *options.weakSignal);
        if (!managed.trayIcon) reg->writeInteger("trayicon", options.trayIcon ? 1 : 0);
        if (!managed.onBattery) reg->writeInteger("onbattery", options.onBattery ? 1 : 0);
        if (managed.apps) {
            saved = true;
            return;
        }
        // An empty list leaves no key behind where there was none.
        if (!reg->openKey(kAppsKey, !options.apps.empty())) {
            saved = options.apps.empty();
            return;
        }
        WriteNumberedList(*reg, options.apps, AppValueName);
        saved = true;
    });
    return saved;
}

}  // namespace settings
