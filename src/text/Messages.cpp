#include "text/Messages.h"

#include <string_view>
#include "platform/FlatMap.h"

#include "text/Cp1252.h"

namespace text {
namespace {

// The tables below are written in UTF-8 and converted once; a compiler set to another
// execution character set would hand Cp1252 bytes it cannot read.
static_assert(sizeof("ö") == 3, "build with a UTF-8 execution character set");

constexpr std::string_view kFallback = "gibts net";

// Shown for both languages: names and addresses are not translated.
constexpr std::string_view kAbout =
    "Nolvara\r\n\r\n\r\n"
    "2026 The Nolvara developers\r\n"
    "http://www.nolvara.net | support@nolvara.net";

constexpr std::string_view kBetaTesters = "Kiwi77, Dachsbau, Funkloch";
constexpr std::string_view kProofReader = "Lektor_Lampe";

struct Message {
    std::string_view key;
    std::string_view german;
    std::string_view english;
};

// specialthanks is missing here: it is put together from the nicknames above.
constexpr Message kMessages[] = {
    {"about", kAbout, kAbout},
    {"wzeroinfo",
     "Wireless Zero:\r\n\r\n"
     "Wireless Zero ist ein Windows Dienst, der regelmäßig nach W-LAN Netzwerken sucht. Die "
     "hierdurch verursachten Aussetzer verschwinden durch die Beendigung des Dienstes! Da Windows "
     "ohne diesen Dienst jedoch nicht in der Lage ist ein Wireless Netzwerk zu verbinden, ist "
     "Nolvara in der Lage, den Dienst entsprechend zu steuern um Ihnen eine aussetzerfreie "
     "Verbindung zu ermöglichen. Somit bleibt alles beim alten, lediglich die Aussetzer "
     "verschwinden.",
     "Wireless Zero:\r\n\r\n"
     "Wireless Zero is a windows service that searches periodically for wireless stations. This "
     "search creates lags that disappear by shutting down Wireless Zero! Unfortunately, Windows is "
     "unable to connect to wireless devices without that service, so Nolvara is able to control the "
     "service to ensure a lag-free connection. So you can use the Windows wireless option and the "
     "lags disappear!"},
    // The German text really has a space before its paragraph break; the English one has not.
    {"howto",
     "Benutzung:\r\n\r\n"
     "Die einfachste Möglichkeit ist es, die Automatik einzuschalten. Hierzu wählen Sie den "
     "entsprechenden Menüpunkt. Sollten Sie noch nicht Ihre Router/Access Point-IP eingetragen "
     "haben, dann öffnet sich zuerst das Einstellungs-Menü. Nachdem Sie die IP eingetragen haben, "
     "beziehungsweise den korrekten Adapter ausgewählt haben, klicken Sie erneut auf den Menüpunkt "
     "um die Automatik einzuschalten. Nach kurzer Bestätigung schließt sich das Programm und "
     "arbeitet im Hintergrund weiter. Nun wird die Steuerung des Dienstes vom Programm "
     "übernommen. \r\n\r\n"
     "Wenn Sie ein Programm eines Drittanbieters benutzen um eine drahtlose Verbindung aufzubauen, "
     "können Sie den Wireless Zero Dienst normalerweise direkt deaktivieren und benötigen nicht "
     "Nolvara für die Steuerung.",
     "Usage:\r\n\r\n"
     "The best way is to enable automatic control. Click the automatic-control button in the upper "
     "menu. If you didn't insert your router or access point IP yet, you will be asked to do so in "
     "the settings menu. After having inserted the IP or chosen the correct adapter, click the "
     "automatic-control button again. After a short confirmation the program closes and works "
     "silently in the background. It now controls the Wireless Zero Service.\r\n\r\n"
     "If you use a third party program to establish a wireless connection, you normally do not need "
     "the automatic-control mode and can simply deactivate the Wireless Zero Service."},
    {"dhcp_succeed",
     "Das Gerät hat geantwortet. Sofern der korrekte Adapter ausgewählt ist, sind alle "
     "Einstellungen korrekt.",
     "The device responded. If you chose the correct adapter, all settings are correct, too."},
    {"dhcp_error",
     "Das Gerät hat nicht geantwortet. Überprüfen Sie, ob Sie verbunden sind, der Adapter korrekt "
     "ist und der Zugriff auf das Netzwerk für Nolvara gestattet ist.",
     "The device did not respond. Please check whether the chosen adapter is correct and the "
     "access to the network is allowed for Nolvara."},
    {"dhcp_getiperror",
     "IP konnte nicht ausgelesen werden. Überprüfen Sie, ob der Adapter korrekt und ein Gateway "
     "zugewiesen ist.",
     "Could not read IP. Please check, whether the chosen adapter is correct and a gateway is "
     "assigned."},
    {"dhcp_nichtmöglich", "Nicht verfügbar!", "Not available!"},
    {"manupdate",
     "Die vorhandene Version wurde durch eine neuere ersetzt.",
     "The old version was replaced by the new one."},
    // The leading blank keeps the status text off the status bar's border.
    {"status0", " Wireless Zero startet beim Booten", " Wireless Zero starts on bootup"},
    {"status1", " Wireless Zero startet mit dem System", " Wireless Zero starts with system"},
    {"status2", " Wireless Zero startet automatisch", " Wireless Zero starts automatically"},
    {"status3", " Wireless Zero startet manuell", " Wireless Zero starts when it's needed"},
    {"status4", " Wireless Zero ist deaktiviert", " Wireless Zero is disabled"},
    {"startfailed",
     " Wireless Zero ließ sich nicht starten, neuer Versuch folgt",
     " Wireless Zero could not be started, trying again"},
    {"status5", " Wireless Zero ist nicht vorhanden", " Wireless Zero is not available"},
    // Windows without Wireless Zero: the background scan of the wireless adapter.
    {"wifi2", " Hintergrundsuche: an", " Background scan: on"},
    {"wifi4", " Hintergrundsuche: aus", " Background scan: off"},
    // Off, but on again where an interface's signal stays weak, so that
    // Windows can find a better access point.
    {"wifiweak", " Hintergrundsuche: an (schwaches Signal)", " Background scan: on (weak signal)"},
    // The panel of further settings.
    {"options_weaksignal",
     "Bleibt das Signal eines Adapters schwach, schaltet Nolvara dort die Hintergrundsuche "
     "wieder ein, damit Windows zu einem besseren Zugangspunkt wechseln kann, und wieder aus, "
     "sobald es 10 Punkte stärker ist. 0 schaltet das ab.",
     "While an adapter's signal stays weak, Nolvara switches its background scan back on so "
     "that Windows can move to a better access point, and off again once the signal is 10 "
     "points stronger. 0 switches this off."},
    {"options_vistaonly",
     "Die Signalschwelle betrifft nur Windows Vista und neuer.",
     "The signal threshold concerns Windows Vista and later only."},
    {"options_invalid",
     "Bitte eine Zahl von 0 bis 100 eingeben.",
     "Please enter a number from 0 to 100."},
    {"options_saved", "Gespeichert.", "Saved."},
    {"managed", "Einige Einstellungen werden von Ihrer Organisation verwaltet.",
     "Some settings are managed by your organisation."},
    // "%s" is replaced by the adapter's description.
    {"proposal",
     "Der Router ist das Gateway Ihres WLAN-Adapters %s. Router von Hand eingeben: Häkchen bei "
     "\"Automatisches Auslesen der Router-IP\" entfernen.",
     "The router is the gateway of your Wi-Fi adapter %s. To enter routers by hand, untick "
     "\"Auto-detect router-IP\"."},
    {"options_appinvalid",
     "Bitte den Dateinamen eines Programms eingeben, etwa spiel.exe.",
     "Please enter a program's file name, such as game.exe."},
    {"options_notsaved",
     "Die Einstellung ließ sich nicht speichern.",
     "The setting could not be saved."},
    {"wifi4failed",
     " Hintergrundsuche: ließ sich nicht ausschalten",
     " Background scan: could not be switched off"},
    {"startsatlogon",
     "Die automatische Steuerung beginnt bei Ihrer nächsten Anmeldung. Jetzt gestartet, erhielte "
     "sie die Administratorrechte dieses Fensters, und ohne sie ließ Windows sie nicht starten.",
     "Automatic control begins at your next log-on. Started now, it would have this window's "
     "administrator rights, and Windows would not start it without them."},
    {"autostart_off", "Autostart (in Windows ausgeschaltet)", "Autostart (switched off in Windows)"},
    {"status_startupoff",
     " Anmeldestart in Windows aus: Apps > Autostart",
     " Start at log-on off in Windows: Apps > Startup"},
    {"nowireless",
     " Kein WLAN-Adapter gefunden",
     " No wireless adapter found"},
    {"wifimode",
     "Dieses Windows hat kein Wireless Zero. Nolvara schaltet stattdessen die Hintergrundsuche "
     "Ihres WLAN-Adapters aus, solange Ihr Router antwortet, und wieder ein, wenn die Verbindung "
     "verloren geht. Die Startmodi im Menü Steuerung gelten nur für Wireless Zero und sind daher "
     "abgeschaltet.",
     "This Windows has no Wireless Zero. Instead, Nolvara switches the background scan of your "
     "wireless adapter off while your router answers, and on again when the link is lost. The "
     "start modes in the Control menu apply to Wireless Zero only and are switched off."},
    {"nowirelessinfo",
     "Nolvara hat auf diesem Computer weder den Dienst Wireless Zero noch einen WLAN-Adapter "
     "gefunden: Es gibt nichts, was es schalten könnte.",
     "Nolvara found neither the Wireless Zero service nor a wireless adapter on this computer: "
     "there is nothing for it to switch."},
    {"routerinput", "IP eingeben", "Insert an IP"},
    // The blanks roughly centre the first line over the second in the message box.
    {"novalidip",
     "                   Es wurde keine gültige IP eingetragen!\r\n"
     "Öffnen Sie das IP-Adress Management um dies nachzuholen.",
     "                        No valid IP was inserted!\r\n"
     "In order to do this, open the IP address-management."},
    {"enable_automatic",
     "Automatische Kontrolle aktiviert. Nolvara wird sich nun schließen.",
     "Automatic control enabled! Nolvara will now close."},
    {"settingsapplied", "Neue Einstellungen wurden übernommen!", "New settings have been applied!"},
    // The English trailing blank is as shipped; the update page puts a break after it anyway.
    {"update_outofdate",
     "Neue Version von Nolvara verfügbar!",
     "Your version of Nolvara is out of date. "},
    {"update_version", "Update-Version:", "Update-Version:"},
    {"update_important", "Dies ist ein wichtiges Update!", "This is an important update!"},
    {"update_notimportant",
     "Das Update wird empfohlen, jedoch nicht benötigt",
     "Update not necessary but recommended"},
    {"update_uptodate",
     "Sie benutzen bereits die aktuellste Version!",
     "You already have the current version!"},
    {"update_servernotfound",
     "Update-Server konnte nicht erreicht werden. Vielleicht ist der Server nicht verfügbar, Ihre "
     "Firewall hat den Zugriff verweigert oder Sie sind nicht mit dem Internet verbunden!",
     "Unable to reach update server. Maybe the server is down, your firewall blocked access or you "
     "are not connected to the internet!"},
    {"update_checking",
     "Suche nach einer neueren Version von Nolvara ...",
     "Looking for a newer version of Nolvara ..."},
    {"update_downloading", "Das Update wird heruntergeladen ...", "Downloading the update ..."},
    {"update_unverified",
     "Das heruntergeladene Update konnte nicht überprüft werden und wurde nicht installiert.",
     "The downloaded update could not be verified and was not installed."},
    {"uninstall_failed",
     "Nolvara konnte nicht deinstalliert werden: Die installierte Kopie ist noch vorhanden. "
     "Wireless Zero wurde nicht verändert.",
     "Nolvara could not be uninstalled: the installed copy is still there. Wireless Zero was "
     "left as it was."},
    // "%s" is replaced by the folder's path.
    {"installfolder_untrusted",
     "Der Ordner %s kann von anderen Benutzern dieses Computers verändert werden. Nolvara "
     "installiert sich dort nicht, denn was sie hineinlegen, liefe mit Administratorrechten. "
     "Wählen Sie einen anderen Ordner oder einen, den Nolvara selbst anlegt. Die Einstellungen "
     "wurden nicht geändert.",
     "The folder %s can be changed by other users of this computer. Nolvara does not install "
     "itself there, as what they put into it would run with administrator rights. Choose another "
     "folder, or one that Nolvara makes itself. The settings were not changed."},
    {"ownfile_unheld",
     "Nolvara kopiert sich nicht: Seine Programmdatei wurde seit dem Start umbenannt oder "
     "ersetzt, oder sie lässt sich nicht vor Änderungen schützen. Was dort jetzt liegt, liefe "
     "mit Administratorrechten. Starten Sie Nolvara erneut aus einer Datei, die Sie kennen.",
     "Nolvara does not copy itself: its program file was renamed or replaced since it started, "
     "or cannot be protected against changes. What lies there now would run with administrator "
     "rights. Start Nolvara again from a file you know."},
    {"installfolder_notmade",
     "Der Ordner %s konnte nicht angelegt werden. Wählen Sie einen anderen Ordner. Die "
     "Einstellungen wurden nicht geändert.",
     "The folder %s could not be made. Choose another folder. The settings were not changed."},
    // "%s" is replaced by the path of the file that could not be made.
    {"name_taken",
     "%s kann nicht angelegt werden: Ein Ordner dieses Namens ist im Weg. Entfernen Sie ihn "
     "oder benennen Sie ihn um, dann versuchen Sie es erneut.",
     "%s cannot be made: a folder of that name is in the way. Remove or rename that folder, "
     "then try again."},
    {"uninstall",
     "Aufgrund der Deinstallation wurde der Startmodus von Wireless Zero auf automatisch gestellt.",
     "Because of uninstall, Wireless Zero was set to start automatically!"},
    {"choose_installpath",
     "Installationsverzeichnis wählen",
     "Choose destination folder for installation"},
    {"service_unabletostart",
     "Es war nicht möglich den Wireless Zero Dienst zu starten. Er wird jedoch beim nächsten "
     "Windows-Start automatisch geladen!",
     "Unable to start service. It will be loaded on next bootup!"},

    // The lag meter's page. %1, %2 and %s are filled in where the text is shown.
    {"lag_norecord",
     "Keine Aufzeichnung: In dieser Sitzung läuft die Automatik nicht. Schalten Sie sie ein mit "
     "Steuerung > Automatik einschalten.",
     "Nothing is recorded: automatic control does not run in this session. Start it with "
     "Control > Enable automatic control."},
    {"lag_legend",
     "Die letzten 10 Minuten. Blau hinterlegt: Windows sucht nach Netzwerken; rot: keine "
     "Antwort in der Zeit; orange unten: Windows meldete eine Suche.",
     "The last 10 minutes. Blue ground: Windows scans for networks; red: no answer in time; "
     "orange below: Windows reported a scan."},
    {"lag_chart_start", "vor 10 min", "10 min ago"},
    {"lag_chart_middle", "vor 5 min", "5 min ago"},
    {"lag_chart_end", "jetzt", "now"},
    {"lag_scans",
     "%1 Suchen in den letzten 10 Minuten bei ausgeschalteter Hintergrundsuche: Die "
     "Netzwerkliste der Taskleiste, die Ortung und andere Programme können Suchen anstoßen.",
     "%1 scans in the last 10 minutes with background scan off: the taskbar's network list, "
     "location services and other programs can ask for scans."},
    {"lag_rows_hour",
     "Letzte Stunde\r\nSekunden\r\nMedian\r\n99. Perzentil\r\nSchlechteste\r\nLag-Spitzen\r\n"
     "davon bei einer Suche",
     "Last hour\r\nSeconds\r\nMedian\r\n99th percentile\r\nWorst\r\nLag spikes\r\n"
     "of them near a scan"},
    {"lag_rows_test",
     "Lag-Test\r\nSekunden\r\nMedian\r\n99. Perzentil\r\nSchlechteste\r\nLag-Spitzen\r\n"
     "davon bei einer Suche",
     "Lag test\r\nSeconds\r\nMedian\r\n99th percentile\r\nWorst\r\nLag spikes\r\n"
     "of them near a scan"},
    {"lag_col_scanning", "Windows sucht", "Windows scanning"},
    {"lag_col_notscanning", "sucht nicht", "not scanning"},
    {"lag_test_running",
     "Lag-Test: noch %1 s, erst mit, dann ohne die Suche von Windows.",
     "Lag test: %1 s left, first with Windows scanning, then without."},
    {"lag_verdict",
     "Lag-Spitzen in 60 s: %1 während Windows sucht, %2 ohne.",
     "Lag spikes in 60 s: %1 with Windows scanning, %2 without."},
    {"lag_test_linklost",
     "Der Lag-Test wurde abgebrochen: Die Verbindung ging verloren.",
     "The lag test ended early: the link was lost."},
    {"lag_test_ended",
     "Der Lag-Test wurde abgebrochen: Die Sitzung endet.",
     "The lag test ended early: the session is ending."},
    {"lag_test_paused",
     "Der Lag-Test wurde abgebrochen: Die Automatik wurde pausiert.",
     "The lag test ended early: automatic control was paused."},
    {"lag_test_afterpause",
     "Die Automatik ist pausiert: Ein angeforderter Lag-Test beginnt, sobald die Pause endet.",
     "Automatic control is paused: a lag test asked for starts once the pause ends."},
    {"lag_test_norecord",
     "Der Lag-Test braucht die Automatik. Schalten Sie sie ein mit Steuerung > Automatik "
     "einschalten.",
     "The lag test needs automatic control. Start it with Control > Enable automatic control."},
    {"lag_test_noswitch",
     "Der Lag-Test konnte die Suche von Windows nicht schalten; es gibt nichts zu vergleichen.",
     "The lag test could not switch Windows' scanning, so there is nothing to compare."},
    {"lag_test_busy", "Ein Lag-Test läuft bereits.", "A lag test is running already."},
    {"lag_test_asked",
     "Lag-Test angefordert: Er beginnt, solange der Router antwortet.",
     "Lag test asked for: it starts while the router answers."},
    {"lag_saved", "Gespeichert: %s", "Saved: %s"},
    {"lag_notsaved", "%s konnte nicht geschrieben werden.", "%s could not be written."},
    // The notification icon's tooltip: "Nolvara: ", what holds now and why,
    // then a line on the last minute.
    {"tray_off", "Hintergrundsuche aus", "background scan off"},
    {"tray_on", "Hintergrundsuche an", "background scan on"},
    {"tray_off_xp", "Wireless Zero ist deaktiviert", "Wireless Zero is disabled"},
    {"tray_on_xp", "Wireless Zero läuft", "Wireless Zero is running"},
    {"tray_waiting", ", wartet auf den Router", ", waiting for the router"},
    {"tray_linklost", ", Verbindung verloren", ", link lost"},
    {"tray_weak", " (schwaches Signal)", " (weak signal)"},
    {"tray_paused", ", Pause noch %1 min", ", paused for %1 min"},
    {"tray_waitingprogram",
     ", wartet auf ein gewähltes Programm",
     ", waiting for a chosen program"},
    {"tray_onbattery", ", Akkubetrieb", ", on battery"},
    {"tray_program", ", solange %1 läuft", " while %1 runs"},
    {"tray_minute", "Router %1 ms, %2 in der letzten Minute", "router %1 ms, %2 in the last minute"},
    {"tray_nospikes", "keine Lag-Spitzen", "no lag spikes"},
    {"tray_onespike", "1 Lag-Spitze", "1 lag spike"},
    {"tray_spikes", "%1 Lag-Spitzen", "%1 lag spikes"},
    {"tray_noanswer",
     "keine Antwort vom Router in der letzten Minute",
     "no answer from the router in the last minute"},
    // The notification icon's menu.
    {"tray_lagmeter", "&Lag-Anzeige", "&Lag meter"},
    {"tray_pause", "1 Stunde &pausieren", "&Pause for 1 hour"},
    {"tray_resume", "&Jetzt fortsetzen", "&Resume now"},
    {"tray_open", "Nolvara ö&ffnen", "&Open Nolvara"},
    {"tray_end", "Automatik &beenden", "&End automatic control"},
};

using TextMap = platform::FlatMap<std::string, std::string>;

struct Tables {
    TextMap german;
    TextMap english;
};

std::string SpecialThanksGerman() {
    std::string text = "Vielen Dank an:\r\n\r\n\r\n";
    text += kBetaTesters;
    text += ", und die vielen weiteren Betatester, die mir geholfen haben, das Programm zu "
            "vervollständigen.\r\n"
            "Besonderer Dank an ";
    text += kProofReader;
    text += ", der sich um die sprachliche Richtigkeit der englischen Version gekümmert hat."
            "\r\n\r\n"
            "Weitere Eintragungen auf der offiziellen Website";
    return Cp1252(text);
}

std::string SpecialThanksEnglish() {
    std::string text = "Special thanks to:\r\n\r\n\r\n";
    text += kBetaTesters;
    text += ", and all the other beta-testers helping me completing the program.\r\n"
            "Special thanks to ";
    text += kProofReader;
    text += ", who checked the correctness of the english part.\r\n\r\n"
            "Several additional entries on the official Website.";
    return Cp1252(text);
}

const Tables& BuiltTables() {
    static const Tables tables = [] {
        Tables built;
        for (const Message& message : kMessages) {
            // Keys go through the conversion too: dhcp_nichtmöglich is asked for with 0xF6.
            const std::string key = Cp1252(message.key);
            built.german.emplace(key, Cp1252(message.german));
            built.english.emplace(key, Cp1252(message.english));
        }
        built.german.emplace("specialthanks", SpecialThanksGerman());
        built.english.emplace("specialthanks", SpecialThanksEnglish());
        return built;
    }();
    return tables;
}

}  // namespace

std::string LookupText(const std::string& language, std::string_view key) {
    const TextMap* texts = nullptr;
    if (language == "german")
        texts = &BuiltTables().german;
    else if (language == "english")
        texts = &BuiltTables().english;
    else
        return {};  // before the settings are loaded every text is empty, the fallback too

    const auto found = texts->find(key);
    return found != texts->end() ? found->second : std::string(kFallback);
}

std::string Filled(std::string text, const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string slot = "%";
        slot += std::to_string(i + 1);
        const std::size_t at = text.find(slot);
        if (at != std::string::npos) text.replace(at, slot.size(), values[i]);
    }
    return text;
}

}  // namespace text
