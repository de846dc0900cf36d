// The headless toolkit seen through the interface the shared toolkit tests use.
// Without a native side, what the user sees is the model itself.
#pragma once

#include <string>
#include <vector>

#include "fakes/Headless.h"
#include "ui/Control.h"
#include "ui/Form.h"

namespace fakes {

class HeadlessRig {
public:
    static constexpr int kTimerSlackMs = 0;

    explicit HeadlessRig(ui::Form& form) : form_(form) { world_.clock.bind(form); }

    void userClick(ui::Control& c) {
        switch (c.kind()) {
            case ui::ControlKind::Button:
            case ui::ControlKind::SpeedButton: static_cast<ui::Button&>(c).click(); break;
            case ui::ControlKind::CheckBox: static_cast<ui::CheckBox&>(c).click(); break;
            case ui::ControlKind::RadioButton: static_cast<ui::RadioButton&>(c).click(); break;
            case ui::ControlKind::Edit: static_cast<ui::Edit&>(c).click(); break;
            default: break;
        }
    }
    void userChooseMenu(ui::MenuItem& m) { m.click(); }
    void userType(ui::Edit& e, const std::string& text) { e.type(text); }
    void userSelect(ui::Control& c, int index) {
        if (c.kind() == ui::ControlKind::ComboBox)
            static_cast<ui::ComboBox&>(c).select(index);
        else
            static_cast<ui::ListBox&>(c).takeSelectionFromUser(index);
    }
    void runFor(int ms) { world_.runFor(ms); }
    void requestTerminate() { world_.system.requestTerminate(); }
    bool loopEnded() const { return world_.system.terminateRequested(); }
    void messageBox(const std::string& text, int userWaitMs) {
        world_.dialogs.userWaitMs = userWaitMs;
        world_.dialogs.messageBox(text, form_.caption(), platform::MessageIcon::None);
    }
    platform::Dialogs& dialogs() { return world_.dialogs; }
    platform::System& system() { return world_.system; }

    std::string shownText(const ui::Control& c) { return c.text(); }
    bool shownChecked(const ui::Control& c) {
        if (c.kind() == ui::ControlKind::CheckBox) return static_cast<const ui::CheckBox&>(c).checked();
        return static_cast<const ui::RadioButton&>(c).checked();
    }
    bool shownVisible(const ui::Control& c) { return c.showing(); }
    bool shownEnabled(const ui::Control& c) { return c.enabled(); }
    std::vector<std::string> shownItems(const ui::Control& c) {
        if (c.kind() == ui::ControlKind::ComboBox) return static_cast<const ui::ComboBox&>(c).items();
        return static_cast<const ui::ListBox&>(c).items();
    }
    int shownSelection(const ui::Control& c) {
        if (c.kind() == ui::ControlKind::ComboBox) return static_cast<const ui::ComboBox&>(c).itemIndex();
        return static_cast<const ui::ListBox&>(c).itemIndex();
    }
    std::string shownPanelText(const ui::StatusBar& s, int panel) { return s.panelText(panel); }
    bool menuItemPresent(const ui::MenuItem& m) {
        for (const ui::MenuItem* i = &m; i != nullptr; i = i->parent())
            if (!i->visible()) return false;
        return true;
    }
    std::string shownMenuCaption(const ui::MenuItem& m) { return m.caption(); }
    bool shownMenuChecked(const ui::MenuItem& m) { return m.checked(); }
    bool shownMenuEnabled(const ui::MenuItem& m) { return m.enabled(); }
    std::string shownCaption() { return form_.caption(); }
    int shownOpacity() { return form_.alphaBlend() ? form_.alphaBlendValue() : 255; }
    ui::Rect shownBounds(const ui::Control& c) { return c.bounds(); }

    HeadlessWorld& world() { return world_; }

private:
    HeadlessWorld world_;
    ui::Form& form_;
};

}  // namespace fakes
