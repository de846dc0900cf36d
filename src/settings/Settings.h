// The user's settings as one value: what the settings key holds, read and
// written in one place, each value's default and bounds beside it. The panels
// show and edit it, the hidden run reads it, and "all at their defaults" is a
// comparison with Settings{}.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/SignalRule.h"
#include "platform/Registry.h"

namespace settings {

inline constexpr std::int32_t kNoDelay = -1;

struct Settings {
    // "autostart": only 1 counts as on.
    bool autostart = false;
    // "language": "german" or "english"; anything else reads as English.
    std::string language = "english";
    // "use_dhcp" (only 1 counts) and "adapter": the router is that adapter's
    // gateway. The adapter is written only in DHCP mode.
    bool useDhcp = false;
    std::string adapter;
    // "restartservice": only 1 counts as on.
    bool restartService = true;
    // "installpath": the folder of the installed copy. Its default is the
    // Windows drive's, which the caller names.
    std::string installPath;
    // "shutdowndelay": seconds within core::CheckedDelaySec's bounds;
    // kNoDelay where the panel holds no number.
    std::int32_t shutdownDelay = 30;
    // "checkforupdate": only 1 counts as on.
    bool checkForUpdate = false;
    // The subkey "IPList", values ip1, ip2, ...: valid addresses, in order,
    // each once.
    std::vector<std::string> routers;
    // "weaksignal": 0-100; missing, of the wrong type or out of bounds, the
    // default.
    std::int32_t weakSignal = core::kWeakSignalDefault;
    // "trayicon": anything but 0 shows the hidden run's icon.
    bool trayIcon = true;
    // The subkey "Apps", values app1, app2, ...: the program files (names
    // without a folder) while one of which runs scanning goes off, in order,
    // each once; none for all day.
    std::vector<std::string> apps;
    // "onbattery": 0 lets Windows scan and save power while the machine runs
    // on its battery; anything else controls there as on mains.
    bool onBattery = true;

    bool operator==(const Settings&) const = default;
};

// What an organisation sets for its machines through Group Policy: values
// under HKLM\SOFTWARE\Policies\Nolvara of the settings' own names and types
// (the router and program lists as the subkeys "IPList" and "Apps"). Each
// value present overrides the user's; the window shows it and never writes
// it. A value missing, of the wrong type or out of bounds manages nothing,
// and so does a list without one valid entry.
inline constexpr const char* kPolicyKey = "\\SOFTWARE\\Policies\\Nolvara";
struct Policies {
    std::optional<std::vector<std::string>> routers;
    std::optional<std::int32_t> shutdownDelay;
    std::optional<bool> restartService;
    std::optional<bool> checkForUpdate;
    std::optional<bool> useDhcp;
    std::optional<std::string> adapter;
    std::optional<std::int32_t> weakSignal;
    std::optional<bool> trayIcon;
    std::optional<std::vector<std::string>> apps;
    std::optional<bool> onBattery;

    bool any() const;
    bool operator==(const Policies&) const = default;
};
Policies ReadPolicies(platform::Registry& registry);
// The settings in force: the user's, each policy present laid over its value.
Settings Governed(Settings own, const Policies& policies);

// The values of the chain below in the order they are read: a value of the
// wrong type (or a delay out of bounds) ends the read there, and it and the
// values after it keep what they were before.
enum class Value {
    Autostart,
    Language,
    UseDhcp,
    Adapter,
    RestartService,
    InstallPath,
    ShutdownDelay,
    Version,
    CheckForUpdate,
    Routers,
    None
};

struct Loaded {
    Settings settings;
    // "version": the program version that last saved the settings; 1 for none.
    std::int32_t version = 1;
    // The value at which the read ended; None when it went through.
    Value stoppedAt = Value::None;
    // At least one router value was read (the router list then shows no
    // prompt in its address field).
    bool routerValueRead = false;
    // The user chose a way to the router once: "use_dhcp" exists, or the
    // first versions' single router ("routerip"), which an update moves
    // into the list.
    bool routerChosen = false;
    bool read(Value value) const { return value < stoppedAt; }
};

// Reads the settings key. A key that cannot be opened reads as empty: every
// value its default. A missing value is its default, except language, DHCP
// mode and adapter, which keep what they were in previous (the panel's choice
// outlives a key without them). "weaksignal" and "trayicon" stand apart: a
// wrong type there means the default and ends nothing.
Loaded Load(platform::Registry& registry, const Settings& previous,
            const std::string& defaultInstallPath);

// Writes the values of the settings key in their order, version included;
// the routers and the two values of the options panel are saved by their
// own panels. A failing write, or a delay out of bounds, ends the save there,
// the values before it written. Quietly: the caller goes on as if it had
// succeeded. A value that a policy manages is left as the user had it.
void Save(platform::Registry& registry, const Settings& settings, std::int32_t version,
          const Policies& managed);

// Whether a chosen program's entry is a file name the list may hold: no
// folder, no wildcard, not blank, no longer than Windows lets a name be.
bool IsProgramFileName(const std::string& name);

// The options panel's values. weakSignal is written only where it applies
// (the Native Wifi way).
struct Options {
    std::optional<std::int32_t> weakSignal;
    bool trayIcon = true;
    std::vector<std::string> apps;
    bool onBattery = true;
};
// Writes them: the threshold, the icon, the power rule, then the list of
// programs, each but where a policy manages it. False when a key could not be
// opened or a write failed.
bool SaveOptions(platform::Registry& registry, const Options& options, const Policies& managed);

// Writes a numbered list (names from valueName(1), valueName(2), ...) into
// the opened key: the new entries over the old first, then the values past
// them removed, so that a failure part-way never loses a stored entry.
// Throws what the registry throws.
void WriteNumberedList(platform::RegistryAccessor& reg, const std::vector<std::string>& entries,
                       const std::function<std::string(int)>& valueName);

}  // namespace settings
