#include <gtest/gtest.h>

#include <array>

#include "ProgramRig.h"
#include "text/Captions.h"
#include "text/Messages.h"

namespace {

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

// Whatever panel was showing before, a panel name brings exactly its own page
// to the front: one group box over an emptied label, or the label itself.
TEST_F(Panels, EachPanelNameBringsItsOwnPageToTheFrontFromAnyOther) {
    auto& w = p.window;
    const std::pair<std::string, ui::Control*> fronts[] = {
        {"main", &w.L_Text},           {"update", &w.L_Text},       {"settings", &w.box_settings},
        {"manageip", &w.box_routerip}, {"managedhcp", &w.box_dhcp}, {"manupdate", &w.box_manupdate},
    };
    ui::Control* boxes[] = {&w.box_settings, &w.box_routerip, &w.box_dhcp, &w.box_manupdate};
    for (const auto& [name, front] : fronts) {
        for (const auto& [before, unused] : fronts) {
            w.ShowPanel(before);
            w.L_Text.setText("page text");
            w.ShowPanel(name);
            const std::string step = before + " > " + name;
            for (ui::Control* box : boxes) EXPECT_EQ(box->showing(), box == front) << step;
            EXPECT_EQ(w.B_update.showing(), name == "update") << step;
            EXPECT_TRUE(w.L_Text.showing()) << step;
            EXPECT_EQ(w.L_Text.text(), name == "update" ? "page text" : "") << step;
            EXPECT_TRUE(w.box_language.visible()) << step;
        }
    }
}

// Every page fills the same area, which the window holds above its status
// bar: a tool window's frame, caption and menu bar take at least 6 pixels of
// its width and 40 of its height.
TEST_F(Panels, PagesShareOneAreaInsideTheWindowWithTheirControlsInside) {
    auto& w = p.window;
    const ui::Rect area = w.box_settings.bounds();
    for (const ui::Control* box : {&w.box_routerip, &w.box_dhcp, &w.box_manupdate})
        EXPECT_EQ(box->bounds(), area) << box->name();
    const auto inside = [](const ui::Rect& r, const ui::Rect& outer) {
        return r.left >= outer.left && r.top >= outer.top &&
               r.left + r.width <= outer.left + outer.width &&
               r.top + r.height <= outer.top + outer.height;
    };
    EXPECT_TRUE(inside(w.L_Text.bounds(), area)) << "a box covers the label";
    const ui::Control* pageControls[] = {&w.box_settings, &w.L_Text, &w.B_update};
    for (const ui::Control* c : pageControls) {
        const ui::Rect r = c->bounds();
        EXPECT_LE(r.left + r.width, w.outerWidth() - 6) << c->name();
        EXPECT_LE(r.top + r.height + w.Statusbar.bounds().height, w.outerHeight() - 40)
            << c->name();
    }
    for (const ui::Control* c : w.controls()) {
        if (c->parent() == nullptr) continue;
        const ui::Rect parent{0, 0, c->parent()->bounds().width, c->parent()->bounds().height};
        EXPECT_TRUE(inside(c->bounds(), parent)) << c->name();
    }
}

// The folder button is reached with the mouse only: it opens a dialog.
TEST_F(Panels, KeyboardWalksTheSettingsPanelInItsOrder) {
    std::vector<std::string> order;
    for (const ui::Control* c : p.window.controls())
        if (c->parent() == &p.window.box_settings && c->tabStop()) order.push_back(c->name());
    EXPECT_EQ(order, (std::vector<std::string>{"Chk_autostart", "chk_restartservice", "Chk_update",
                                               "E_shutdowndelay", "box_language", "b_apply",
                                               "B_manageip", "chk_dhcp", "B_dhcpconfig"}));
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
    EXPECT_TRUE(w.L_Text.text().starts_with("Wireless Zero:\r\n\r\n")) << w.L_Text.text();
    w.ShowPanel("settings");
    w.ShowPanel("update");
    EXPECT_EQ(w.L_Text.text(), "");
    EXPECT_TRUE(w.B_update.visible());
}

TEST_F(Panels, InformationPagesShowTheirTextOnTheMainPanel) {
    auto& w = p.window;
    // Each page by its opening words.
    const std::pair<ui::MenuItem*, const char*> pages[] = {
        {&w.Menu_aboutme, "Nolvara\r\n\r\n\r\n"},
        {&w.Menu_wzero, "Wireless Zero:\r\n\r\n"},
        {&w.Menu_how2use, "Usage:\r\n\r\n"},
        {&w.menu_thanks, "Special thanks to:\r\n\r\n\r\n"},
    };
    for (auto [item, opening] : pages) {
        w.Menu_settings.click();
        ASSERT_TRUE(w.box_settings.visible());
        item->click();
        EXPECT_FALSE(w.box_settings.visible()) << item->name();
        EXPECT_TRUE(w.L_Text.text().starts_with(opening)) << item->name();
    }
    w.ShowPanel("manupdate");
    w.B_noupdate.click();
    EXPECT_TRUE(w.L_Text.text().starts_with("Nolvara\r\n\r\n\r\n"));
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
