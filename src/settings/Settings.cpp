#include "settings/Settings.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

#include "core/Convert.h"
#include "settings/IpAddress.h"
#include "settings/Store.h"

namespace settings {

namespace {

std::optional<std::int64_t> optionalInteger(platform::RegistryAccessor& reg, bool opened,
                                            const char* name) {
    std::optional<std::int64_t> value;
    Guarded([&] {
        if (opened && reg.valueExists(name)) value = reg.readInteger(name);
    });
    return value;
}

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
        if (!opened || !reg->openKey(kAppsKey, false)) return;
        for (int n = 1; reg->valueExists(AppValueName(n)); ++n) {
            const std::string name = reg->readText(AppValueName(n));
            if (IsProgramFileName(name) &&
                std::find(s.apps.begin(), s.apps.end(), name) == s.apps.end())
                s.apps.push_back(name);
        }
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
        if (reg->valueExists("use_dhcp")) s.useDhcp = reg->readInteger("use_dhcp") == 1;
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

void Save(platform::Registry& registry, const Settings& settings, std::int32_t version) {
    auto reg = registry.open();
    Guarded([&] {
        if (!reg->openKey(kSettingsKey, true)) return;
        reg->writeText("language", settings.language);
        reg->writeInteger("autostart", settings.autostart ? 1 : 0);
        reg->writeInteger("restartservice", settings.restartService ? 1 : 0);
        if (settings.useDhcp) reg->writeText("adapter", settings.adapter);
        reg->writeInteger("use_dhcp", settings.useDhcp ? 1 : 0);
        reg->writeText("installpath", settings.installPath);
        reg->writeInteger("checkforupdate", settings.checkForUpdate ? 1 : 0);
        reg->writeInteger("version", version);
        // Last: a delay out of bounds ends the save here, and would otherwise
        // keep the version from being recorded.
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
    std::set<std::string> keep;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string name = valueName(static_cast<int>(i) + 1);
        reg.writeText(name, entries[i]);
        keep.insert(name);
    }
    // Names compare as the registry compares them: without regard to case.
    const auto lowerAscii = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (const std::string& name : reg.valueNames())
        if (keep.count(lowerAscii(name)) == 0) reg.deleteValue(name);
}

bool SaveOptions(platform::Registry& registry, const Options& options) {
    bool saved = false;
    auto reg = registry.open();
    Guarded([&] {
        if (!reg->openKey(kSettingsKey, true)) return;
        if (options.weakSignal) reg->writeInteger("weaksignal", *options.weakSignal);
        reg->writeInteger("trayicon", options.trayIcon ? 1 : 0);
        reg->writeInteger("onbattery", options.onBattery ? 1 : 0);
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
