#include "settings/Settings.h"

#include <algorithm>
#include <optional>

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

bool SaveOptions(platform::Registry& registry, std::optional<std::int32_t> weakSignal,
                 bool trayIcon) {
    bool saved = false;
    auto reg = registry.open();
    Guarded([&] {
        if (!reg->openKey(kSettingsKey, true)) return;
        if (weakSignal) reg->writeInteger("weaksignal", *weakSignal);
        reg->writeInteger("trayicon", trayIcon ? 1 : 0);
        saved = true;
    });
    return saved;
}

}  // namespace settings
