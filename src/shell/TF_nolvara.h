// The program's one window. It owns every control, timer and echo client, the
// process-wide ProgramState, and the handlers that the controls call. The
// handlers of each subsystem are defined in that subsystem's folder.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/ControlGate.h"
#include "core/EchoClient.h"
#include "core/LagMeter.h"
#include "core/ProbeRule.h"
#include "core/ProgramState.h"
#include "core/TrayIcon.h"
#include "core/WirelessControl.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "settings/Settings.h"
#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Menu.h"
#include "ui/Timer.h"
#include "update/UpdateResponse.h"

namespace shell {

class TF_nolvara : public ui::Form {
public:
    // The height of the panels that hold more than the first versions' did.
    static constexpr int kTallPanelHeight = 337;
    // A tick's answer this recent says the router answers now.
    static constexpr std::uint32_t kFreshAnswerMs = 2000;
    explicit TF_nolvara(platform::Platform& platform);
    // Whatever the run set through the Native Wifi interface is set back.
    ~TF_nolvara() override;

    platform::Platform& platform;
    core::ProgramState state;
    core::RunKind runKind = core::RunKind::Interactive;
    // Cleared by a kind of run whose window must never appear.
    bool showMainForm = true;

    // ---- Controls, declared in keyboard order within each parent ----
    ui::Label L_Text{*this, "L_Text", nullptr, {8, 8, 401, 177}};
    ui::Button B_update{*this, "B_update", nullptr, {336, 160, 74, 26}};

    ui::GroupBox box_settings{*this, "box_settings", nullptr, {8, 8, 409, 177}};
    ui::CheckBox Chk_autostart{*this, "Chk_autostart", &box_settings, {8, 16, 274, 18}};
    ui::CheckBox chk_restartservice{*this, "chk_restartservice", &box_settings, {8, 32, 298, 18}};
    ui::CheckBox Chk_update{*this, "Chk_update", &box_settings, {8, 48, 298, 18}};
    ui::Edit E_shutdowndelay{*this, "E_shutdowndelay", &box_settings, {8, 88, 26, 21}};
    ui::GroupBox box_language{*this, "box_language", &box_settings, {312, 8, 89, 57}};
    ui::RadioButton radio_lang_german{*this, "radio_lang_german", &box_language, {4, 16, 81, 17}};
    ui::RadioButton radio_lang_english{*this, "radio_lang_english", &box_language, {4, 32, 81, 17}};
    ui::Button b_apply{*this, "b_apply", &box_settings, {328, 144, 75, 25}};
    ui::Button B_manageip{*this, "B_manageip", &box_settings, {8, 112, 169, 25}};
    ui::CheckBox chk_dhcp{*this, "chk_dhcp", &box_settings, {8, 64, 297, 17}};
    ui::Button B_dhcpconfig{*this, "B_dhcpconfig", &box_settings, {192, 112, 169, 25}};
    ui::SpeedButton speed_installpath{*this, "speed_installpath", &box_settings, {8, 144, 305, 22}};

    // Design-time places of the other panels lie outside the run-time window;
    // ArrangeLayout stacks them all onto the page area at start-up.
    ui::GroupBox box_routerip{*this, "box_routerip", nullptr, {424, 8, 409, 177}};
    ui::Edit E_routerip{*this, "E_routerip", &box_routerip, {144, 16, 129, 21}};
    ui::Button B_addip{*this, "B_addip", &box_routerip, {280, 15, 121, 23}};
    ui::ListBox list_ip{*this, "list_ip", &box_routerip, {8, 16, 129, 121}};
    ui::Button B_ipup{*this, "B_ipup", &box_routerip, {144, 44, 81, 23}};
    ui::Button B_ipdown{*this, "B_ipdown", &box_routerip, {232, 44, 81, 23}};
    ui::Button B_ipdelete{*this, "B_ipdelete", &box_routerip, {320, 44, 81, 23}};
    ui::Button B_saveip{*this, "B_saveip", &box_routerip, {8, 144, 129, 25}};
    ui::Label L_note{*this, "L_note", &box_routerip, {144, 74, 257, 97}};

    ui::GroupBox box_dhcp{*this, "box_dhcp", nullptr, {8, 192, 409, 177}};
    ui::ComboBox combo_dhcpadapter{*this, "combo_dhcpadapter", &box_dhcp, {8, 16, 393, 21}};
    ui::ListBox list_adapterinfo{*this, "list_adapterinfo", &box_dhcp, {8, 56, 169, 65}};
    ui::Label L_dhcpinfo{*this, "L_dhcpinfo", &box_dhcp, {192, 56, 193, 65}};
    ui::Button B_dhcpsave{*this, "B_dhcpsave", &box_dhcp, {336, 144, 67, 25}};

    ui::GroupBox box_manupdate{*this, "box_manupdate", nullptr, {424, 192, 409, 177}};
    ui::Label L_manupdate{*this, "L_manupdate", &box_manupdate, {8, 24, 377, 105}};
    ui::Button B_manupdate{*this, "B_manupdate", &box_manupdate, {8, 144, 193, 25}};
    ui::Button B_noupdate{*this, "B_noupdate", &box_manupdate, {208, 144, 193, 25}};

    ui::StatusBar Statusbar{*this, "Statusbar", {{"Status", 330}, {"Version", 50}}, 20};

    // The lag meter, after the panels above so that their controls keep
    // their places in the window's order. A tall panel: the chart takes the
    // page's width and half its height, the table goes below it.
    ui::GroupBox box_lag{*this, "box_lag", nullptr, {840, 8, 409, kTallPanelHeight}};
    ui::Chart chart_lag{*this, "chart_lag", &box_lag, {8, 16, 393, 160}};
    ui::Label L_lagrows{*this, "L_lagrows", &box_lag, {8, 180, 118, 92}};
    ui::Label L_lagscan{*this, "L_lagscan", &box_lag, {128, 180, 92, 92}};
    ui::Label L_lagnoscan{*this, "L_lagnoscan", &box_lag, {222, 180, 90, 92}};
    ui::Button B_lagtest{*this, "B_lagtest", &box_lag, {316, 182, 85, 25}};
    ui::Button B_lagsave{*this, "B_lagsave", &box_lag, {316, 212, 85, 25}};
    ui::Label L_lagstate{*this, "L_lagstate", &box_lag, {8, 304, 393, 28}};

    // The settings of later versions, after the lag meter for the same reason.
    // The panel is taller than the first versions' panels: the window grows
    // while it shows.
    ui::GroupBox box_options{*this, "box_options", nullptr, {840, 192, 409, kTallPanelHeight}};
    ui::Label L_weaksignal{*this, "L_weaksignal", &box_options, {8, 20, 292, 30}};
    ui::Edit E_weaksignal{*this, "E_weaksignal", &box_options, {304, 22, 30, 21}};
    ui::Label L_weaksignalunit{*this, "L_weaksignalunit", &box_options, {338, 25, 63, 17}};
    ui::Label L_optionsnote{*this, "L_optionsnote", &box_options, {8, 280, 312, 50}};
    ui::Button B_optionssave{*this, "B_optionssave", &box_options, {328, 305, 75, 25}};
    ui::CheckBox Chk_trayicon{*this, "Chk_trayicon", &box_options, {8, 58, 393, 18}};
    ui::CheckBox Chk_onbattery{*this, "Chk_onbattery", &box_options, {8, 80, 393, 18}};
    ui::Label L_onbattery{*this, "L_onbattery", &box_options, {26, 100, 375, 30}};
    ui::Label L_apps{*this, "L_apps", &box_options, {8, 136, 393, 30}};
    ui::ListBox list_apps{*this, "list_apps", &box_options, {8, 170, 200, 104}};
    ui::Edit E_app{*this, "E_app", &box_options, {216, 170, 185, 21}};
    ui::Button B_appadd{*this, "B_appadd", &box_options, {216, 196, 90, 25}};
    ui::Button B_appdelete{*this, "B_appdelete", &box_options, {311, 196, 90, 25}};
    // The lag meter's line on the scans that something else asked for.
    ui::Label L_lagscans{*this, "L_lagscans", &box_lag, {8, 274, 393, 28}};
    // Where a policy manages a setting, each panel's line that says so; the
    // settings panel's gets a row of its own, made only while it is needed.
    ui::Label L_managed{*this, "L_managed", &box_settings, {8, 172, 393, 0}};
    ui::Label L_managedoptions{*this, "L_managedoptions", &box_options, {216, 226, 185, 48}};
    // A first run's line under the settings that says where the proposed
    // router comes from; its row, too, is made only while it shows.
    ui::Label L_proposal{*this, "L_proposal", &box_settings, {8, 172, 393, 0}};

    // ---- Main menu ----
    ui::MenuItem Menu_file{"Menu_file", "&File"};
    ui::MenuItem Menu_settings{"Menu_settings", "&Settings"};
    ui::MenuItem Menu_options{"Menu_options", "&More settings..."};
    ui::MenuItem Menu_uninstall{"Menu_uninstall", "&Uninstall Nolvara"};
    ui::MenuItem Menu_close{"Menu_close", "&Close"};
    ui::MenuItem Menu_actions{"Menu_actions", "&Control"};
    ui::MenuItem Menu_status0{"Menu_status0", "Start Wireless Zero on &bootup"};
    ui::MenuItem Menu_status1{"Menu_status1", "Start Wireless Zero with &system"};
    ui::MenuItem Menu_status2{"Menu_status2", "Enable Windows Wireless Configuration"};
    ui::MenuItem Menu_status3{"Menu_status3", "Start Wireless Zero when it's &needed"};
    ui::MenuItem Menu_status4{"Menu_status4",
                              "&Disable Windows Wireless Configuration (recommenced)"};
    ui::MenuItem Menu_autocontrol{"Menu_autocontrol", "&Enable automatic control"};
    ui::MenuItem Menu_lagmeter{"Menu_lagmeter", "&Lag meter"};
    ui::MenuItem Menu_checkforupdate{"Menu_checkforupdate", "&Check for update"};
    ui::MenuItem Menu_help{"Menu_help", "&Help"};
    ui::MenuItem Menu_aboutme{"Menu_aboutme", "&About"};
    ui::MenuItem Menu_wzero{"Menu_wzero", "&Wireless Zero?"};
    ui::MenuItem Menu_how2use{"Menu_how2use", "&How to use"};
    ui::MenuItem menu_thanks{"menu_thanks", "&Special thanks to..."};

    // ---- Timers ----
    ui::Timer T_ping{"T_ping", 1000, false};
    ui::Timer T_shutdowndelay{"T_shutdowndelay", 60000, false};
    static constexpr std::int32_t kServiceStartDelayMs = 100;
    // No start of the wireless service is pending any more: failures
    // forgotten, the retry disarmed.
    void ForgetServiceStartRetry();
    // Lets the probe loop tick again, unless Windows asked to end the
    // session meanwhile (a wait for the service answers that question).
    void ResumeProbeLoop();
    ui::Timer T_servicestart{"T_servicestart", kServiceStartDelayMs, false};
    ui::Timer T_fadein{"T_fadein", 1, true};
    ui::Timer T_fadeout{"T_fadeout", 1, false};
    // The lag meter's refresh while its page shows.
    ui::Timer T_lag{"T_lag", 1000, false};
    // How long a note of the lag page's buttons stays before the state shows.
    static constexpr std::uint32_t kLagNoteMs = 4000;
    std::optional<std::uint32_t> lagNoteSinceMs;
    // The end of a signal's hold, to the moment rather than at the next tick.
    ui::Timer T_signal{"T_signal", 1000, false};

    // ---- Echo clients: the probe loop's and the DHCP panel's test ping ----
    core::EchoClient ICMP;
    core::EchoClient icmp_testping;

    // ---- Start-up and close (shell/Startup.cpp) ----
    void FormCreate();
    void FormClose(ui::CloseAction& action);
    void Menu_closeClick();

    // ---- Panels, pages and fading (shell/Panels.cpp) ----
    void ArrangeLayout();
    void ShowPanel(std::string_view name);
    void ShowPage(std::string_view key);
    void Menu_aboutmeClick();
    void Menu_wzeroClick();
    void Menu_how2useClick();
    void menu_thanksClick();
    void B_noupdateClick();
    void Menu_settingsClick();
    void B_manageipClick();
    void T_fadeinTimer();
    void T_fadeoutTimer();

    // ---- Texts (shell/Captions.cpp) ----
    std::string LookupText(std::string_view key) const;
    // The text with its "%s" replaced by a path.
    std::string LookupTextNaming(std::string_view key, const std::string& path) const;
    void ApplyCaptions();
    // Sets the caption of the control or menu item of that name; false when
    // the window has none of that name.
    bool setCaptionOf(const std::string& name, const std::string& caption);

    // ---- Settings store (settings/SettingsStore.cpp) ----
    // The settings as the panels and the run hold them now.
    settings::Settings PanelSettings();
    void LoadSettings();
    // Each control of a managed setting disabled, and the panels' line.
    void ShowManaged();
    void SaveSettings(bool autostart, bool restartService, const std::string& language);
    void RemoveKeyIfDefault();
    std::string GetWindowsDir();
    std::string DefaultInstallPath();

    // ---- Router list (settings/RouterList.cpp) ----
    void SaveIPList(const std::string& transferText);
    void MigrateRouterIP();
    std::string RouterAddress(int index) const;
    std::vector<std::string> RouterAddresses() const;
    // The addresses in list order, each followed by ";" (";" for none).
    std::string RouterTransferText() const;
    void E_routeripClick();
    void B_addipClick();
    void B_ipdeleteClick();
    void B_ipupClick();
    void B_ipdownClick();
    void B_saveipClick();

    // ---- The panel of further settings (settings/OptionsPanel.cpp) ----
    void Menu_optionsClick();
    void B_optionssaveClick();
    void B_appaddClick();
    void B_appdeleteClick();

    // ---- Settings panel (settings/SettingsPanel.cpp) ----
    void Chk_autostartClick();
    void speed_installpathClick();
    void SetAutostart(int mode);
    // Whether start at log-on is wanted, as the panel and Windows' switch say.
    bool AutostartWanted() const;
    void B_applyClick();
    void chk_dhcpClick();

    // ---- File and process operations (shell/FileOps.cpp) ----
    bool TerminateByName(const std::string& fileName);
    void DeleteFileForced(const std::string& path);
    // Copies this program to target, from the bytes of ownProgram; fails,
    // leaving the target untouched, when the target already exists, and
    // says why when the run holds no file of its own.
    bool CopyFileNoOverwrite(const std::string& target);
    // The file this run was started from, held from the start of every run
    // that may copy itself: code of the user's that renamed the running file
    // aside and put its own under the name would otherwise be copied where it
    // runs with administrator rights. Null when the file could not be held as
    // the running image, or in a hidden run, which copies nothing.
    std::unique_ptr<platform::HeldFile> ownProgram;
    void HoldOwnProgram();
    // False, having said why on the main panel, when ownProgram holds
    // nothing.
    bool HoldsOwnProgram();
    // Makes the missing levels of the install folder, protected. Fit when
    // the folder may take the program's copy: made just now, or found owned
    // and changeable by the system's accounts and the running user alone,
    // within folders above that no one else may move it out of.
    enum class FolderFitness { Fit, Untrusted, NotMade };
    FolderFitness PrepareInstallFolder(const std::string& path);
    bool CreateInstallFolder(const std::string& path);
    // Starts a copy of this program that the run has just made, holding it
    // meanwhile; false when what is there is not this program (the bytes of
    // ownProgram), or could not be held or started.
    bool StartHeld(const std::string& path, const std::string& arguments);
    // Starts a program file of this program. A hidden run gets the rights
    // Windows gives it at log-on, never this run's; where those cannot be
    // had, nothing starts and hiddenRunDeferred says so.
    bool StartOwn(const std::string& path, const std::string& arguments);
    bool hiddenRunDeferred = false;
    // The window says that automatic control begins at the next log-on, if
    // a start just now had to leave it to that; true when it did.
    bool SayWhenDeferred();
    void RemoveFolder(const std::string& path);

    // ---- Service start mode and control (service/) ----
    std::int32_t ReadStartMode();
    void WriteStartMode(std::int32_t mode);
    bool StartWirelessService(const std::string& machine, const std::string& service);
    bool StopWirelessService(const std::string& machine, const std::string& service);
    // False when a start of the wireless service that the mode asks for failed.
    bool ApplyStartMode(std::int32_t mode);
    void T_shutdowndelayTimer();
    void T_servicestartTimer();
    void Menu_statusClick(std::int32_t mode);

    // ---- How the lag is taken off the link (service/WirelessLink.cpp) ----
    // Where the wireless service exists it is switched; where it does not,
    // the Native Wifi interface switches the background scan of every
    // connected wireless interface off (start mode 4) or on (start mode 2).
    enum class ControlWay { Service, NativeWifi, None };
    ControlWay controlWay = ControlWay::Service;
    // The Native Wifi way's handle, settings and weak-signal rule.
    core::WirelessControl wireless{platform.wifi, [this] { return platform.system.tickCountMs(); }};
    void ChooseControlWay();
    // Opens the client handle unless it is open; false when it cannot be.
    bool OpenWirelessLink();
    void ApplyWirelessSettings(bool scanOff);
    // T_signal runs for the end of the soonest hold; set again only when
    // that moment moves.
    void ArmSignalTimer();
    void T_signalTimer();
    std::optional<std::uint32_t> signalTimerDueMs;
    // Sets both settings back and closes the handle.
    void ReleaseWirelessLink();
    std::int32_t WirelessStartMode();
    std::string StatusTextKey(std::int32_t mode) const;
    // Where the program would prompt for administrator rights and lacks them,
    // the run starts itself again with them and ends; true when it did.
    bool RestartedWithAdministratorRights(const std::vector<std::string>& args, core::RunKind kind);
    // Marks this process as one the remover passes over.
    void ClaimWindow();

    // ---- When control applies at all (shell/ControlGate.cpp) ----
    // The chosen programs as they are compared, the one found running, the
    // power source, and what they come to.
    std::vector<std::string> chosenPrograms;
    std::string chosenRunning;
    std::unique_ptr<platform::RunningProcess> chosenHeld;
    bool onBatteryPower = false;
    core::ProgramWatch programWatch;
    core::PeriodicLook powerLook{core::kPowerLookMs};
    core::Gate gate;
    // The settings changed: the list is compared anew at the next look.
    void ChooseControlPrograms(const std::vector<std::string>& apps);
    // Looks at what is due, and follows the gate where it turned.
    void UpdateGate();
    // Sets the switches as the gate says, unless a pause, a lag test, the
    // session's end or the probe loop's own waits hold them.
    void FollowGate();
    bool ControlWanted() const { return gate.open(); }

    // ---- Probe loop and automatic control (shell/ProbeLoop.cpp, shell/AutoControl.cpp) ----
    void T_pingTimer();
    void ProbeHost();
    void ICMPReply(const core::EchoResult& reply);
    void StartConnectionLossHandling();
    core::GatewayMemory gatewayMemory;
    void UpdateStatus();
    void Menu_autocontrolClick();
    bool ShutdownQueryHandler();
    void EndSessionHandler(bool ending);
    // The hidden run of the service way, at its start: Windows must be able
    // to connect whatever the last run left behind.
    void TakeOverService();
    bool WirelessServiceRunning();

    // ---- The lag record and the lag test (shell/LagControl.cpp) ----
    // The hidden run's record; none in the other kinds of run.
    std::unique_ptr<core::LagRecorder> lagRecorder;
    // Whether Windows may scan now, as this run last set or read it.
    bool WindowsMayScan() const;
    // Around a probe tick: a lag test asked for starts, the tick's sample
    // is kept and the test's next step taken.
    void BeginLagTick();
    void EndLagTick();

    // ---- The lag meter's page (shell/LagPanel.cpp, its content shell/LagPage.cpp) ----
    void Menu_lagmeterClick();
    std::optional<core::LagRecordView> ReadLagRecord();
    void RefreshLagPage();
    void ShowLagNote(const std::string& note);
    void T_lagTimer();
    void B_lagtestClick();
    void B_lagsaveClick();

    // ---- The hidden run's notification icon and its pause (shell/TrayControl.cpp) ----
    // The hidden run's icon; none in the other kinds of run.
    std::unique_ptr<core::TrayIcon> tray;
    core::TrayPause pause;
    void MakeTray();
    // Shows the icon as things hold now, or takes it away; the minute's line
    // is drawn anew once it is that old.
    void RefreshTray(std::uint32_t minuteMaxAgeMs = core::kTrayMinuteEveryMs);
    core::TrayReason TrayReasonNow() const;
    void TrayChosen(core::TrayCommand command);
    // Windows may scan for an hour (or as long as asked), whatever the
    // router does.
    void PauseControl(std::uint32_t lengthMs = core::kTrayPauseMs);
    // A pause or its end that a script's run asked for.
    void TakeScriptRequest(const core::ControlRequest& request);
    // The probe loop decides again: scanning off while the router answers.
    void ResumeControl();
    // Starts this program's window with the arguments (it asks for
    // administrator rights itself).
    void OpenWindow(const std::string& arguments);

    // ---- DHCP mode (adapters/AdapterQuery.cpp) ----
    std::string AdapterQuery(std::string_view command, std::string_view argument);
    void ShowAndTestGateway(const std::string& gateway);
    void icmp_testpingReply(const core::EchoResult& reply);
    void B_dhcpconfigClick();
    void combo_dhcpadapterSelect();
    void B_dhcpsaveClick();
    // Where the user never chose a router, DHCP mode with the wireless
    // adapter that carries the default route, shown but not stored.
    void ProposeRouter();
    // The settings name no router and no way to one (set by LoadSettings).
    bool routerUnchosen = false;
    // A proposal shows, ticked, that nothing stored yet.
    bool proposing = false;

    // ---- Installation and uninstall (shell/FileOps.cpp, shell/Uninstall.cpp) ----
    // True when the installed copy was made anew; installedCopyPlaced keeps it.
    bool RefreshInstalledCopy();
    bool installedCopyPlaced = false;
    void Menu_uninstallClick();
    // Stage 1 when the running file is not the remover copy, else stage 2.
    void RunUninstallStage();
    // The menu's uninstall without its window: 0, or the code of the step
    // that failed (core::kExit...).
    int Uninstall();
    std::string RemoverNameTaken();
    void RunUnattendedUninstall();
    // Ends an unattended run with the code.
    void EndUnattended(int exitCode);
    void StartRemover();
    // Copies this program to the remover path and starts it there.
    void PlaceAndStartRemover();
    void RemoveInstallation();
    // Whether this run's program file is path, whatever its case.
    bool RunsFrom(const std::string& path);
    // True when neither the settings nor the start at log-on is left.
    bool RemoveRegistryEntries();
    std::string RemoveBatchText();
    void WriteRemoveBatch();

    // ---- Unattended installation (shell/Unattended.cpp) ----
    void ParseCommandLine();
    // The "-delay" switch's value into delay; false, and a person told why,
    // where it is none.
    bool DelayFromArgument(const std::string& text, std::int32_t& delay);

    // ---- Update (update/Update.cpp) ----
    void Menu_checkforupdateClick();
    void B_updateClick();
    void PeriodicUpdateCheck();
    std::string UpdaterFilePath();
    // Keeps what the server announced for the Update button and the download.
    void TakeAnnouncedUpdate(const update::UpdateResponse& response);
    // The on-demand check's outcome, in the window.
    void ShowUpdateAnswer(const platform::HttpOutcome& outcome);
    // The downloaded file, held against writers, when it is a whole Windows
    // program and the announced signature over build and file checks out.
    std::unique_ptr<platform::HeldFile> HoldVerifiedUpdate(const std::string& fileName);
    enum class UpdaterStart { Started, NotDownloaded, Unverified, NotStarted };
    void RunUpdater();
    void ReplaceInstalledCopy();
    void ClearUpdateRest();
    void B_manupdateClick();

    // The check or download under way; none while empty. Letting go of it
    // abandons the transfer.
    std::unique_ptr<platform::HttpTransfer> updateTransfer;

    // The probe loop's watches of the settings key and the service's key.
    std::unique_ptr<platform::RegistryWatch> settingsWatch;
    std::unique_ptr<platform::RegistryWatch> policyWatch;
    // What Group Policy sets, read with the settings, and the user's own
    // settings as last read beneath it.
    settings::Policies policies;
    settings::Settings ownSettings;
    std::unique_ptr<platform::RegistryWatch> serviceWatch;

private:
    bool ApplyStartModeOnce(std::int32_t mode, bool mayRetry);
    // Asks the update server; then gets the outcome through the message loop.
    void AskUpdateServer(std::function<void(const platform::HttpOutcome&)> then);
    // Downloads the announced file to the updater file (created anew); then
    // gets what StartDownloadedUpdater made of it.
    void DownloadUpdater(const std::string& arguments, std::function<void(UpdaterStart)> then);
    // Starts the downloaded updater with these arguments once verified; what
    // is not started is deleted.
    UpdaterStart StartDownloadedUpdater(const platform::HttpOutcome& outcome,
                                        const std::string& target, const std::string& arguments);
    void buildMenu();
    void wireHandlers();
    std::function<void()> Handler(void (TF_nolvara::*member)());
};

}  // namespace shell
