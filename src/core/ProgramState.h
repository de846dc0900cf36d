// The one record of process-wide state besides the window's controls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace core {

// The kind of run, fixed at start-up by the first argument.
enum class RunKind {
    Interactive,
    AutoControl,
    Updater,
    Uninstall,
    UnattendedInstall,
    UnattendedUninstall
};

inline constexpr const char* kVersionText = " Version 1.23";
inline constexpr std::int32_t kProgramVersion = 6;
inline constexpr const char* kExeName = "P_nolvara.exe";
// A program file of this program comes nowhere near this size.
inline constexpr std::size_t kMaxProgramBytes = 16u << 20;
// The switch of the hidden automatic-control run, which shows no window.
inline constexpr const char* kHiddenRunSwitch = "-hide";
// A replaced copy's switch: it deletes what the updater left behind.
inline constexpr const char* kClearUpdateRestSwitch = "-clearupdaterest";
// The window, opened on the lag meter (from the notification icon).
inline constexpr const char* kLagMeterSwitch = "-lag";
inline constexpr const char* kApplicationTitle = "Nolvara";
inline constexpr const char* kServiceName = "WZCSVC";
// Its key in the machine-wide registry, which holds its start mode ("Start").
inline constexpr const char* kServiceKey = "\\SYSTEM\\CurrentControlSet\\Services\\WZCSVC";
// The uninstall's temporary copy of the program and its clean-up batch file:
// always on drive C, whatever drive holds Windows.
inline constexpr const char* kRemoverPath = "C:\\nolvararemove.exe";
inline constexpr const char* kRemoveBatchPath = "C:\\remove.bat";
// The claim that makes a hidden automatic-control run the only one of its session.
inline constexpr const char* kAutoControlClaim = "Nolvara.AutomaticControl";
// Each window a user works in claims this name with its process number behind
// it, so that no other run of the program ends it by name.
inline constexpr const char* kWindowClaimPrefix = "Nolvara.Window.";
// The update server: both checks ask exactly this address.
inline constexpr const char* kUpdateServerUrl = "http://www.nolvara.net/update/";
// The new program file is downloaded to this name in the root of the Windows drive.
inline constexpr const char* kUpdaterFileName = "nolvaraupdate.exe";

// Start modes of the wireless service that the program's decisions test; 5 is
// the program's own value for a start mode that cannot be read.
inline constexpr std::int32_t kStartModeAutomatic = 2;
inline constexpr std::int32_t kStartModeDisabled = 4;
inline constexpr std::int32_t kStartModeUnreadable = 5;

struct ProgramState {
    bool autostart = false;
    // Windows' own switch for the start at log-on is off, whatever autostart says.
    bool startupSwitchedOff = false;
    bool autoControl = false;
    std::string installPath;
    std::string exeName;
    std::int32_t startMode = 0;
    std::int32_t installedVersion = 1;
    std::int32_t programVersion = 0;
    std::string updateFileUrl;
    // The announced build and its signature, which the download must match.
    std::string updateBuild;
    std::string updateSignature;
    bool checkForUpdate = false;
    std::int32_t shutdownDelay = 30;
    std::string language;
    bool connectionLost = false;
    bool awaitingFirstReply = true;
    std::string adapterName;
    std::int32_t updateCheckTicks = 0;
    // Starts of the wireless service that failed in a row while the link is
    // lost; each is tried again after a longer pause.
    std::int32_t serviceStartFailures = 0;
    // From Windows' question before the session ends until its answer:
    // nothing is switched off meanwhile.
    bool sessionEnding = false;
    // The service is to be taken over at the next service-start tick, as at
    // a hidden run's start (after a cancelled end of the session).
    bool takeOverDue = false;
    // Whether the wireless service runs, as this run last set or read it.
    bool serviceRunning = false;
    // The setting "trayicon": the hidden run shows its notification icon.
    bool trayIcon = true;
    // The settings "Apps" and "onbattery": control only while one of these
    // programs runs (none: always), and on battery too.
    std::vector<std::string> apps;
    bool onBattery = true;
};

}  // namespace core
