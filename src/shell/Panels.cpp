// The page area: which panel is showing, the information pages, and the fade
// of the window's opacity when it opens and closes.
#include <array>

#include "shell/TF_nolvara.h"

namespace shell {

namespace {
constexpr int kPageLeft = 8;
constexpr int kPageTop = 8;
constexpr int kWindowWidth = 425;
constexpr int kWindowHeight = 255;
// The first versions' panels are 177 high; a taller one makes the window
// taller by the difference while it shows.
constexpr int kPanelHeight = 177;
constexpr int kTallWindowHeight = kWindowHeight + TF_nolvara::kTallPanelHeight - kPanelHeight;
// The settings panel's row for the line that some settings are managed.
constexpr int kManagedRowHeight = 18;
// Up to four lines: an adapter's name may be long, and German is longer still.
constexpr int kProposalRowHeight = 58;
constexpr int kFadeStep = 20;
}  // namespace

void TF_nolvara::ArrangeLayout() {
    setOuterSize(kWindowWidth, kWindowHeight);
    for (ui::GroupBox* box :
         {&box_dhcp, &box_settings, &box_routerip, &box_manupdate, &box_lag, &box_options})
        box->moveTo(kPageLeft, kPageTop);
}

void TF_nolvara::ShowPanel(std::string_view name) {
    // Visibility per panel, in the order: B_update, box_settings, box_routerip,
    // box_dhcp, box_manupdate, box_lag, box_options. The label stays visible under the group boxes;
    // emptying it keeps it from showing through.
    struct Layout {
        const char* name;
        bool showLabel;  // make the label visible (only the text pages do)
        bool emptyLabel;
        std::array<bool, 7> shown;
        bool tall = false;
    };
    static constexpr std::array<Layout, 8> kLayouts{{
        {"main", true, true, {false, false, false, false, false, false, false}},
        {"update", true, false, {true, false, false, false, false, false, false}},
        {"settings", false, true, {false, true, false, false, false, false, false}},
        {"manageip", false, true, {false, false, true, false, false, false, false}},
        {"managedhcp", false, true, {false, false, false, true, false, false, false}},
        {"manupdate", false, true, {false, false, false, false, true, false, false}},
        {"lag", false, true, {false, false, false, false, false, true, false}, true},
        {"options", false, true, {false, false, false, false, false, false, true}, true},
    }};
    for (const Layout& layout : kLayouts) {
        if (name != layout.name) continue;
        // Where policies manage settings, the settings panel grows by a row
        // for the line that says so, and by one for a proposed router's line.
        const bool settings = name == "settings";
        const int managedRow = settings && policies.any() ? kManagedRowHeight : 0;
        const int proposalRow = settings && proposing ? kProposalRowHeight : 0;
        box_settings.setBounds({kPageLeft, kPageTop, box_settings.bounds().width,
                                kPanelHeight + managedRow + proposalRow});
        L_managed.setBounds({8, 172, 393, managedRow == 0 ? 0 : 16});
        L_proposal.setBounds({8, 172 + managedRow, 393, proposalRow == 0 ? 0 : proposalRow - 4});
        setOuterSize(kWindowWidth,
                     (layout.tall ? kTallWindowHeight : kWindowHeight) + managedRow + proposalRow);
        if (layout.showLabel) L_Text.setVisible(true);
        if (layout.emptyLabel) L_Text.setText("");
        ui::Control* controls[] = {&B_update,      &box_settings, &box_routerip, &box_dhcp,
                                   &box_manupdate, &box_lag,      &box_options};
        for (size_t i = 0; i < layout.shown.size(); ++i) controls[i]->setVisible(layout.shown[i]);
        return;
    }
}

void TF_nolvara::ShowPage(std::string_view key) {
    ShowPanel("main");
    L_Text.setText(LookupText(key));
}

void TF_nolvara::Menu_aboutmeClick() { ShowPage("about"); }
void TF_nolvara::Menu_wzeroClick() { ShowPage("wzeroinfo"); }
void TF_nolvara::Menu_how2useClick() { ShowPage("howto"); }
void TF_nolvara::menu_thanksClick() { ShowPage("specialthanks"); }
// The menu restrictions of an outdated installation stay in force after "No".
void TF_nolvara::B_noupdateClick() { ShowPage("about"); }
void TF_nolvara::B_manageipClick() { ShowPanel("manageip"); }

void TF_nolvara::T_fadeinTimer() {
    setAlphaBlend(true);
    const int v = alphaBlendValue();
    if (v < 255 && v + kFadeStep <= 255)
        setAlphaBlendValue(static_cast<std::uint8_t>(v + kFadeStep));
    else if (v > 0 && v + kFadeStep > 255)
        setAlphaBlendValue(255);
    if (alphaBlendValue() == 255) T_fadein.setEnabled(false);
}

void TF_nolvara::T_fadeoutTimer() {
    setAlphaBlend(true);
    const int v = alphaBlendValue();
    if (v > 0 && v - kFadeStep >= 0)
        setAlphaBlendValue(static_cast<std::uint8_t>(v - kFadeStep));
    else if (v > 0 && v - kFadeStep < 0)
        setAlphaBlendValue(0);
    if (alphaBlendValue() == 0) {
        T_fadeout.setEnabled(false);
        close();
    }
}

}  // namespace shell
