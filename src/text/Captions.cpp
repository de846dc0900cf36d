#include "text/Captions.h"

#include <iterator>
#include <string_view>

#include "text/Cp1252.h"

namespace text {
namespace {

static_assert(sizeof("ö") == 3, "build with a UTF-8 execution character set");

struct Row {
    std::string_view control;
    std::string_view german;
    std::string_view english;
};

// E_routerip is not here: its placeholder is the message routerinput. B_update and the
// hidden Menu_status0/Menu_status1 keep the English text they are created with.
constexpr Row kRows[] = {
    // Settings panel
    {"box_settings", "Einstellungen", "Settings"},
    {"Chk_autostart", "Autostart", "Autostart"},
    {"chk_restartservice", "Verbindungswiederaufbau nach Verbindungsabbruch",
     "Reconnect on connection loss"},
    {"Chk_update", "Updates automatisch installieren (Nur im Automatik-Modus!)",
     "Auto install updates? (Only automatic-control mode!)"},
    {"E_shutdowndelay", "Sekunden Verzögerung bevor der Wireless Zero Dienst beendet wird",
     "seconds delay before shutdown of Wireless Zero Service"},
    {"box_language", "Sprache", "Language"},
    {"radio_lang_german", "Deutsch", "German"},
    {"radio_lang_english", "Englisch", "English"},
    {"b_apply", "Übernehmen", "Apply"},
    {"B_manageip", "IP-Adressen Management", "Manage IP-addresses"},
    {"chk_dhcp", "Automatisches Auslesen der Router-IP", "Auto-detect router-IP"},
    {"B_dhcpconfig", "Wireless-LAN Adapter wählen", "Choose Wireless-LAN device"},

    // Router address list
    {"box_routerip", "IP-Adressen Management", "IP address-management"},
    {"L_note",
     "Hinweis:\r\n\r\n"
     "Je mehr Adressen Sie eintragen, umso höher ist die Wahrscheinlichkeit, dass ihre Verbindung "
     "beeinträchtigt wird. Dies macht sich durch einen höheren Ping bemerkbar.",
     "Note:\r\n\r\n"
     "The more addresses you insert, the higher is the probability that your connection is being "
     "impaired. The consequence can be a higher ping."},
    {"B_addip", "IP hinzufügen", "Add IP"},
    {"B_ipdelete", "Löschen", "Delete"},
    {"B_ipup", "Auf", "Up"},
    {"B_ipdown", "Ab", "Down"},
    {"B_saveip", "Speichern", "Save"},

    // Adapter choice
    {"box_dhcp", "Adapter wählen", "Choose device"},
    {"B_dhcpsave", "Speichern", "Save"},

    // Manual update panel
    {"box_manupdate", "Update", "Update"},
    {"L_manupdate",
     "Update: \r\n\r\n"
     "Sie führen eine aktuellere Version aus, als installiert ist. Möchten Sie die bereits "
     "installierte Version aktualisieren?",
     "Update: \r\n\r\n"
     "The current version of the program is newer than the installed version. Do you want to "
     "upgrade to the new version?"},
    {"B_manupdate", "Ja", "Yes"},
    {"B_noupdate", "Nein", "No"},

    // Lag meter panel
    {"box_lag", "Lag-Anzeige", "Lag meter"},
    {"B_lagtest", "Lag-Test", "Lag test"},
    {"B_lagsave", "Speichern...", "Save..."},

    // The panel of further settings
    {"box_options", "Weitere Einstellungen", "More settings"},
    {"L_weaksignal",
     "Windows einen besseren Zugangspunkt suchen lassen, wenn das Signal schwächer ist als",
     "Let Windows look for a better access point when the signal is below"},
    {"L_weaksignalunit", "%", "%"},
    {"B_optionssave", "Speichern", "Save"},
    {"Chk_trayicon", "Symbol im Infobereich anzeigen", "Show an icon in the notification area"},
    {"Chk_onbattery", "Auch im Akkubetrieb steuern", "Control on battery too"},
    {"L_onbattery", "Der Medienstreaming-Modus hält das WLAN-Funkmodul davon ab, Strom zu sparen.",
     "Media streaming mode keeps the Wi-Fi radio from saving power."},
    {"L_apps", "Nur steuern, während eines dieser Programme läuft (keines: immer):",
     "Control only while one of these programs runs (none: always):"},
    {"B_appadd", "Hinzufügen", "Add"},
    {"B_appdelete", "Löschen", "Delete"},

    // Main menu
    {"Menu_file", "&Datei", "&File"},
    {"Menu_settings", "&Einstellungen", "&Settings"},
    {"Menu_options", "&Weitere Einstellungen...", "&More settings..."},
    {"Menu_uninstall", "Nolvara &deinstallieren", "&Uninstall Nolvara"},
    {"Menu_close", "&Schließen", "&Close"},
    {"Menu_actions", "&Steuerung", "&Control"},
    {"Menu_status2", "Windows Funkkonfiguration aktivieren",
     "Enable Windows Wireless Configuration"},
    {"Menu_status3", "Wireless Zero Dienst &manuell starten",
     "Start Wireless Zero when it's &needed"},
    // "recommenced" is the wording users know from earlier versions; leave it.
    {"Menu_status4", "Windows Funkkonfiguration &deaktivieren (empfohlen)",
     "&Disable Windows Wireless Configuration (recommenced)"},
    {"Menu_autocontrol", "Automatik &einschalten", "&Enable automatic control"},
    {"Menu_lagmeter", "&Lag-Anzeige", "&Lag meter"},
    {"Menu_checkforupdate", "Nach &Updates suchen", "&Check for update"},
    {"Menu_help", "&Hilfe", "&Help"},
    {"Menu_aboutme", "&About", "&About"},
    {"Menu_wzero", "&Wireless Zero?", "&Wireless Zero?"},
    {"Menu_how2use", "&Schnellanleitung", "&How to use"},
    {"menu_thanks", "&Vielen Dank an...", "&Special thanks to..."},
};

}  // namespace

const std::vector<Caption>& CaptionTable() {
    static const std::vector<Caption> table = [] {
        std::vector<Caption> built;
        built.reserve(std::size(kRows));
        for (const Row& row : kRows)
            built.push_back({std::string(row.control), Cp1252(row.german), Cp1252(row.english)});
        return built;
    }();
    return table;
}

}  // namespace text
