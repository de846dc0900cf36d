#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/Captions.h"
#include "text/Cp1252.h"
#include "text/Messages.h"

namespace {

// Expected bytes are spelled as escapes so that they do not depend on the conversion under
// test; octal ones, because unlike \x they stop after three digits ("\334bernehmen").
const std::vector<std::string> kAllKeys = {
    "about", "wzeroinfo", "howto", "specialthanks", "dhcp_succeed", "dhcp_error",
    "dhcp_getiperror", "dhcp_nichtm\366glich", "manupdate", "status0", "status1", "status2",
    "status3", "status4", "status5", "routerinput", "novalidip", "enable_automatic",
    "settingsapplied", "update_outofdate", "update_version", "update_important",
    "update_notimportant", "update_uptodate", "update_servernotfound", "update_checking", "update_downloading", "update_unverified", "uninstall", "uninstall_failed",
    "choose_installpath", "service_unabletostart"};

// Windows-1252 text as the controls get it: CR only as part of CR LF, no other control
// bytes, and no 0xC2/0xC3 ("Â"/"Ã"), the sign of UTF-8 that slipped through unconverted.
bool IsCleanCp1252(const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        const bool crlf = (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ||
                          (c == '\n' && i > 0 && s[i - 1] == '\r');
        if ((c < 0x20 && !crlf) || c == 0xC2 || c == 0xC3) return false;
    }
    return true;
}

TEST(Cp1252, ConvertsLatin1RangeAndRefusesTheRest) {
    EXPECT_EQ(text::Cp1252("Gr\u00FC\u00DFe \u00D6l"), "Gr\374\337e \326l");
    EXPECT_EQ(text::Cp1252("\u00A0\u00FF"), "\240\377");
    for (const char* bad :
         {"\u20AC", "\xC2\x85", "\u2192", "\xC3", "a\xB6", "\xC3(", "\xF0\x9F\x98\x80"})
        EXPECT_THROW(text::Cp1252(bad), std::invalid_argument) << bad;
}

TEST(Messages, ExactBytes) {
    struct Case {
        const char* language;
        std::string key;
        std::string expected;
    };
    const Case cases[] = {
        {"english", "status3", " Wireless Zero starts when it's needed"},
        {"german", "status0", " Wireless Zero startet beim Booten"},
        {"german", "novalidip",
         std::string(19, ' ') + "Es wurde keine g\374ltige IP eingetragen!\r\n\326ffnen Sie das "
                                "IP-Adress Management um dies nachzuholen."},
        {"english", "novalidip",
         std::string(24, ' ') + "No valid IP was inserted!\r\nIn order to do this, open the IP "
                                "address-management."},
        {"english", "update_outofdate", "Your version of Nolvara is out of date. "},
        {"german", "update_unverified",
         "Das heruntergeladene Update konnte nicht \374berpr\374ft werden und wurde nicht "
         "installiert."},
        {"german", "dhcp_nichtm\366glich", "Nicht verf\374gbar!"},
        {"english", "dhcp_nichtm\366glich", "Not available!"},
        {"english", "wifiweak", " Background scan: on (weak signal)"},
        {"german", "wifiweak", " Hintergrundsuche: an (schwaches Signal)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text::LookupText(c.language, c.key), c.expected) << c.language << ' ' << c.key;
}

TEST(Messages, FallbackAndEmptyLanguage) {
    for (const char* language : {"german", "english"})
        for (const char* key :
             {"About", "status6", "", "dhcp_nichtmoeglich", "dhcp_nichtm\xC3\xB6glich", "about "})
            EXPECT_EQ(text::LookupText(language, key), "gibts net") << language << ' ' << key;
    for (const char* language : {"", "German", "deutsch", "English", "english ", "gibts net"})
        for (const char* key : {"about", "status0", "no_such_key"})
            EXPECT_EQ(text::LookupText(language, key), "") << language << ' ' << key;
}

TEST(Messages, BothLanguagesHoldEveryKeyAsCleanDistinctText) {
    for (const std::string& key : kAllKeys) {
        const std::string german = text::LookupText("german", key);
        const std::string english = text::LookupText("english", key);
        for (const std::string& t : {german, english}) {
            EXPECT_NE(t, "gibts net") << key;
            EXPECT_FALSE(t.empty()) << key;
            EXPECT_TRUE(IsCleanCp1252(t)) << key;
        }
        // A copy-paste slip between the columns shows up as an untranslated text.
        if (key == "about" || key == "update_version")
            EXPECT_EQ(german, english) << key;
        else
            EXPECT_NE(german, english) << key;
    }
}

TEST(Messages, LongTextsKeepTheirLayout) {
    const std::string germanHowto = text::LookupText("german", "howto");
    const std::string englishHowto = text::LookupText("english", "howto");
    EXPECT_NE(germanHowto.find("\374bernommen. \r\n\r\nWenn Sie"), std::string::npos);
    EXPECT_NE(englishHowto.find("Service.\r\n\r\nIf you"), std::string::npos);
    EXPECT_EQ(englishHowto.find(" \r\n"), std::string::npos);

    // Name, two empty lines, years and author, then the addresses on the last line.
    const std::string about = text::LookupText("english", "about");
    const std::size_t lastBreak = about.rfind("\r\n");
    EXPECT_TRUE(about.starts_with("Nolvara\r\n\r\n\r\n"));
    EXPECT_EQ(about.find("\r\n", std::strlen("Nolvara\r\n\r\n\r\n")), lastBreak);
    EXPECT_NE(about.find(" | ", lastBreak), std::string::npos);
    // The program's own year and its makers, alike in both languages.
    EXPECT_NE(about.find("\r\n2026 The Nolvara developers\r\n"), std::string::npos) << about;
    EXPECT_EQ(text::LookupText("german", "about"), about);

    const std::string germanThanks = text::LookupText("german", "specialthanks");
    const std::string englishThanks = text::LookupText("english", "specialthanks");
    EXPECT_TRUE(germanThanks.starts_with("Vielen Dank an:\r\n\r\n\r\n"));
    EXPECT_TRUE(germanThanks.ends_with("auf der offiziellen Website"));
    EXPECT_TRUE(englishThanks.starts_with("Special thanks to:\r\n\r\n\r\n"));
    EXPECT_TRUE(englishThanks.ends_with("on the official Website."));
}

const text::Caption* FindCaption(const std::string& control) {
    for (const text::Caption& row : text::CaptionTable())
        if (row.control == control) return &row;
    return nullptr;
}

// A lost or doubled '&' silently changes which key opens a menu; Menu_status2 has none.
TEST(Captions, EveryControlOnceWithCleanCaptionsAndMenuLetters) {
    std::set<std::string> controls;
    for (const text::Caption& row : text::CaptionTable()) {
        EXPECT_TRUE(controls.insert(row.control).second) << row.control;
        const bool menu = row.control.starts_with("Menu_") || row.control.starts_with("menu_");
        const std::ptrdiff_t letters = menu && row.control != "Menu_status2" ? 1 : 0;
        for (const std::string& caption : {row.german, row.english}) {
            EXPECT_FALSE(caption.empty()) << row.control;
            EXPECT_TRUE(IsCleanCp1252(caption)) << row.control;
            EXPECT_EQ(std::count(caption.begin(), caption.end(), '&'), letters) << caption;
        }
    }
    EXPECT_EQ(controls.size(), 55u);
    for (const char* fixed : {"E_routerip", "B_update", "Menu_status0", "Menu_status1"})
        EXPECT_EQ(controls.count(fixed), 0u) << fixed;
}

TEST(Captions, ExactBytes) {
    const text::Caption cases[] = {
        {"chk_dhcp", "Automatisches Auslesen der Router-IP", "Auto-detect router-IP"},
        {"Menu_status4", "Windows Funkkonfiguration &deaktivieren (empfohlen)",
         "&Disable Windows Wireless Configuration (recommenced)"},
        {"b_apply", "\334bernehmen", "Apply"},
        {"Menu_close", "&Schlie\337en", "&Close"},
        {"Menu_options", "&Weitere Einstellungen...", "&More settings..."},
    };
    for (const text::Caption& c : cases) {
        const text::Caption* row = FindCaption(c.control);
        ASSERT_NE(row, nullptr) << c.control;
        EXPECT_EQ(row->german, c.german) << c.control;
        EXPECT_EQ(row->english, c.english) << c.control;
    }
    const text::Caption* manualUpdate = FindCaption("L_manupdate");
    ASSERT_NE(manualUpdate, nullptr);
    EXPECT_TRUE(manualUpdate->german.starts_with("Update: \r\n"));
    EXPECT_TRUE(manualUpdate->english.starts_with("Update: \r\n"));

    const text::Caption* manageIp = FindCaption("B_manageip");
    const text::Caption* routerBox = FindCaption("box_routerip");
    ASSERT_TRUE(manageIp && routerBox);
    EXPECT_EQ(manageIp->german, routerBox->german);
    EXPECT_NE(manageIp->english, routerBox->english);
}

}  // namespace
