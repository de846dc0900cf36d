#include <gtest/gtest.h>

#include <array>

#include "ProgramRig.h"
#include "text/Captions.h"
#include "text/Messages.h"

namespace {

struct PanelCase {
    const char* name;
    bool labelEmptied;
    std::array<bool, 5> shown;  // B_update, box_settings, box_routerip, box_dhcp, box_manupdate
};

class Panels : public testing::Test {
protected:
    Panels() { p.start(); }
    std::array<bool, 5> visibility() {
        auto& w = p.window;
        return {w.B_update.visible(), w.box_settings.visible(), w.box_routerip.visible(),
                w.box_dhcp.visible(), w.box_manupdate.visible()};
    }
    ProgramRig p;
};

TEST_F(Panels, EachPanelNameShowsItsControlsOnly) {
    const PanelCase cases[] = {
        {"main", true, {false, false, false, false, false}},
        {"update", false, {true, false, false, false, false}},
        {"settings", true, {false, true, false, false, false}},
        {"manageip", true, {false, false, true, false, false}},
        {"managedhcp", true, {false, false, false, true, false}},
        {"manupdate", true, {false, false, false, false, true}},
    };
    auto& w = p.window;
    for (const PanelCase& c : cases) {
        // Start from a different panel each time, with text in the label.
        w.ShowPanel("managedhcp");
        w.ShowPanel("update");
        w.L_Text.setText("page text");
        w.ShowPanel(c.name);
        EXPECT_EQ(visibility(), c.shown) << c.name;
        EXPECT_EQ(w.L_Text.text(), c.labelEmptied ? "" : "page text") << c.name;
        EXPECT_TRUE(w.L_Text.visible()) << c.name;
        EXPECT_TRUE(w.box_language.visible()) << c.name;
    }
}

TEST_F(Panels, UnknownNamesChangeNothing) {
    auto& w = p.window;
    w.ShowPanel("settings");
    w.L_Text.setText("kept");
    for (const char* name : {"Main", "", "settings ", "MANUPDATE"}) {
        w.ShowPanel(name);
        EXPECT_EQ(visibility(), (std::array<bool, 5>{false, true, false, false, false})) << name;
        EXPECT_EQ(w.L_Text.text(), "kept") << name;
    }
}

TEST_F(Panels, UpdateAfterSettingsShowsAnEmptyLabelWithTheUpdateButton) {
    auto& w = p.window;
    w.Menu_wzero.click();
    w.ShowPanel("update");
    EXPECT_EQ(w.L_Text.text(), text::LookupText("english", "wzeroinfo"));
    w.ShowPanel("settings");
    w.ShowPanel("update");
    EXPECT_EQ(w.L_Text.text(), "");
    EXPECT_TRUE(w.B_update.visible());
}

TEST_F(Panels, InformationPagesShowTheirTextOnTheMainPanel) {
    auto& w = p.window;
    const std::pair<ui::MenuItem*, const char*> pages[] = {
        {&w.Menu_aboutme, "about"},
        {&w.Menu_wzero, "wzeroinfo"},
        {&w.Menu_how2use, "howto"},
        {&w.menu_thanks, "specialthanks"},
    };
    for (auto [item, key] : pages) {
        w.Menu_settings.click();
        ASSERT_TRUE(w.box_settings.visible());
        item->click();
        EXPECT_FALSE(w.box_settings.visible()) << key;
        EXPECT_EQ(w.L_Text.text(), text::LookupText("english", key)) << key;
        EXPECT_FALSE(w.L_Text.text().empty()) << key;
    }
    w.ShowPanel("manupdate");
    w.B_noupdate.click();
    EXPECT_EQ(w.L_Text.text(), text::LookupText("english", "about"));
    EXPECT_FALSE(w.box_manupdate.visible());
}

TEST_F(Panels, NoOnTheUpdateNoticeLeavesTheMenuRestrictions) {
    auto& w = p.window;
    w.Menu_file.setEnabled(false);
    w.Menu_autocontrol.setVisible(false);
    w.ShowPanel("manupdate");
    w.B_noupdate.click();
    EXPECT_FALSE(w.Menu_file.enabled());
    EXPECT_FALSE(w.Menu_autocontrol.visible());
}

TEST_F(Panels, ManageIpButtonOpensTheRouterList) {
    auto& w = p.window;
    w.Menu_settings.click();
    w.B_manageip.click();
    EXPECT_TRUE(w.box_routerip.visible());
    EXPECT_FALSE(w.box_settings.visible());
}

TEST(Captions, EveryRowNamesAControlOfTheWindow) {
    fakes::HeadlessWorld world;
    shell::TF_nolvara w(world.platform);
    for (const text::Caption& row : text::CaptionTable())
        EXPECT_TRUE(w.setCaptionOf(row.control, row.english)) << row.control;
}

TEST(Captions, LanguageSwitchChangesEveryCaptionHiddenItemsIncluded) {
    ProgramRig p;
    p.start();
    auto& w = p.window;
    w.E_routerip.type("192.168.0.1");
    w.state.language = "german";
    w.ApplyCaptions();
    EXPECT_EQ(w.E_routerip.text(), "IP eingeben");
    EXPECT_EQ(w.Menu_status3.caption(), "Wireless Zero Dienst &manuell starten");
    EXPECT_EQ(w.Menu_file.caption(), "&Datei");
    EXPECT_EQ(w.E_shutdowndelay.labelText(),
              "Sekunden Verz\xF6gerung bevor der Wireless Zero Dienst beendet wird");
    EXPECT_EQ(w.E_shutdowndelay.text(), "30") << "the edit's content is not a caption";
    EXPECT_EQ(w.B_update.text(), "Update");
    EXPECT_EQ(w.Menu_status0.caption(), "Start Wireless Zero on &bootup");

    w.state.language = "english";
    w.ApplyCaptions();
    for (const text::Caption& row : text::CaptionTable()) {
        ui::MenuItem* item = w.findMenuItem(row.control);
        ui::Control* control = w.findControl(row.control);
        const std::string shown = item != nullptr ? item->caption()
                                  : control->kind() == ui::ControlKind::Edit
                                      ? static_cast<ui::Edit*>(control)->labelText()
                                      : control->text();
        EXPECT_EQ(shown, row.english) << row.control;
    }
}

TEST(Captions, WithoutALanguageOnlyTheAddressPromptIsTouched) {
    fakes::HeadlessWorld world;
    shell::TF_nolvara w(world.platform);
    w.E_routerip.type("10.0.0.1");
    w.state.language = "";
    w.ApplyCaptions();
    EXPECT_EQ(w.E_routerip.text(), "");
    EXPECT_EQ(w.chk_dhcp.text(), "Auto-detect router-IP");
    w.state.language = "German";
    w.ApplyCaptions();
    EXPECT_EQ(w.Menu_file.caption(), "&File");
}

}  // namespace
