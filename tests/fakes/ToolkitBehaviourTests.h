// Behaviour every toolkit binding must share with the others, written once and
// run against each: the headless toolkit of the host tests and the Win32
// binding on real windows under Wine. A Rig binds a form to its toolkit, acts
// as the user and reads back what the user would see.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Menu.h"
#include "ui/Timer.h"

namespace toolkit_tests {

class SampleForm : public ui::Form {
public:
    SampleForm() : ui::Form("F_sample") {
        setCaption("Sample");
        setOuterSize(300, 260);
        mainMenu().add(file);
        file.add(open);
        file.add(hiddenItem);
        mainMenu().add(mode);
        for (ui::MenuItem* item : {&modeA, &modeB, &modeC}) {
            mode.add(*item);
            item->radioItem = true;
            item->autoCheck = true;
            item->groupIndex = 1;
        }
        hiddenItem.setVisible(false);
        registerTimer(fast);
        registerTimer(slow);
    }

    ui::GroupBox box{*this, "box", nullptr, {8, 8, 200, 120}};
    ui::CheckBox check{*this, "check", &box, {8, 16, 120, 18}};
    ui::GroupBox langs{*this, "langs", &box, {8, 40, 180, 60}};
    ui::RadioButton radioA{*this, "radioA", &langs, {4, 16, 80, 17}};
    ui::RadioButton radioB{*this, "radioB", &langs, {4, 34, 80, 17}};
    ui::RadioButton outsider{*this, "outsider", &box, {130, 16, 60, 17}};
    ui::Edit edit{*this, "edit", nullptr, {8, 136, 100, 21}};
    ui::Button button{*this, "button", nullptr, {120, 136, 75, 25}};
    ui::ListBox list{*this, "list", nullptr, {210, 8, 80, 60}};
    ui::ComboBox combo{*this, "combo", nullptr, {210, 80, 80, 21}};
    ui::Label label{*this, "label", nullptr, {8, 170, 200, 20}};
    ui::StatusBar status{*this, "status", {{"one", 100}, {"two", 50}}, 20};

    ui::MenuItem file{"file", "&File"};
    ui::MenuItem open{"open", "&Open"};
    ui::MenuItem hiddenItem{"hidden", "&Hidden"};
    ui::MenuItem mode{"mode", "&Mode"};
    ui::MenuItem modeA{"modeA", "Mode &A"};
    ui::MenuItem modeB{"modeB", "Mode &B"};
    ui::MenuItem modeC{"modeC", "Mode &C"};

    ui::Timer fast{"fast", 100, false};
    ui::Timer slow{"slow", 400, false};
};

template <typename Rig>
class ToolkitBehaviour : public testing::Test {
protected:
    SampleForm form;
    Rig rig{form};
    // Real timers are late by a scheduling slice now and then.
    const int tickTolerance = Rig::kTimerSlackMs == 0 ? 0 : 3;
};

TYPED_TEST_SUITE_P(ToolkitBehaviour);

TYPED_TEST_P(ToolkitBehaviour, CheckBoxFiresItsClickOnEveryChangeFromCodeOrUser) {
    auto& f = this->form;
    int clicks = 0;
    f.check.onClick = [&] { ++clicks; };

    f.check.setChecked(true);
    f.check.setChecked(true);  // no change, no click
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(this->rig.shownChecked(f.check));

    this->rig.userClick(f.check);
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(f.check.checked());
    EXPECT_FALSE(this->rig.shownChecked(f.check));

    f.check.setEnabled(false);
    EXPECT_FALSE(this->rig.shownEnabled(f.check));
    this->rig.userClick(f.check);
    EXPECT_EQ(clicks, 2);
}

TYPED_TEST_P(ToolkitBehaviour, RadioButtonsExcludeEachOtherWithinTheirParentOnly) {
    auto& f = this->form;
    int clicksB = 0;
    f.radioB.onClick = [&] { ++clicksB; };
    f.outsider.setChecked(true);
    f.radioA.setChecked(true);

    this->rig.userClick(f.radioB);
    EXPECT_EQ(clicksB, 1);
    EXPECT_FALSE(f.radioA.checked());
    EXPECT_TRUE(f.radioB.checked());
    EXPECT_TRUE(f.outsider.checked()) << "another parent is another group";
    EXPECT_FALSE(this->rig.shownChecked(f.radioA));
    EXPECT_TRUE(this->rig.shownChecked(f.radioB));
    EXPECT_TRUE(this->rig.shownChecked(f.outsider));

    f.radioA.setChecked(true);
    EXPECT_FALSE(this->rig.shownChecked(f.radioB));
}

TYPED_TEST_P(ToolkitBehaviour, TimerRepeatsWhileEnabledAndRestartsOnANewInterval) {
    auto& f = this->form;
    int fast = 0, slow = 0;
    f.fast.onTimer = [&] { ++fast; };
    f.slow.onTimer = [&] { ++slow; };

    f.fast.setEnabled(true);
    this->rig.runFor(1050);
    EXPECT_NEAR(fast, 10, this->tickTolerance);
    f.fast.setEnabled(false);
    const int stopped = fast;
    this->rig.runFor(300);
    EXPECT_EQ(fast, stopped);

    // 300 ms into a 400 ms count the interval changes: the count starts anew.
    f.slow.setEnabled(true);
    this->rig.runFor(300);
    f.slow.setIntervalMs(600);
    this->rig.runFor(450);
    EXPECT_EQ(slow, 0) << "the old count would have fired at 400 ms";
    this->rig.runFor(300);
    EXPECT_EQ(slow, 1);
}

TYPED_TEST_P(ToolkitBehaviour, RadioMenuItemsCheckThemselvesAndHiddenItemsAreAbsent) {
    auto& f = this->form;
    int chosen = 0;
    f.modeB.onClick = [&] { ++chosen; };
    f.modeA.setChecked(true);

    this->rig.userChooseMenu(f.modeB);
    EXPECT_EQ(chosen, 1);
    EXPECT_TRUE(f.modeB.checked());
    EXPECT_FALSE(f.modeA.checked());
    EXPECT_TRUE(this->rig.shownMenuChecked(f.modeB));
    EXPECT_FALSE(this->rig.shownMenuChecked(f.modeA));

    f.modeC.setEnabled(false);
    EXPECT_FALSE(this->rig.shownMenuEnabled(f.modeC));
    this->rig.userChooseMenu(f.modeC);
    EXPECT_TRUE(f.modeB.checked()) << "a disabled item cannot be chosen";

    EXPECT_FALSE(this->rig.menuItemPresent(f.hiddenItem));
    EXPECT_TRUE(this->rig.menuItemPresent(f.open));
    f.hiddenItem.setVisible(true);
    f.open.setVisible(false);
    EXPECT_TRUE(this->rig.menuItemPresent(f.hiddenItem));
    EXPECT_FALSE(this->rig.menuItemPresent(f.open));
    f.hiddenItem.setCaption("&Shown");
    EXPECT_EQ(this->rig.shownMenuCaption(f.hiddenItem), "&Shown");
}

TYPED_TEST_P(ToolkitBehaviour, EndOfProgramTakesEffectAfterTheCurrentEvent) {
    auto& f = this->form;
    int fastTicks = 0, slowTicks = 0;
    bool finishedHandler = false;
    f.fast.onTimer = [&] {
        ++fastTicks;
        this->rig.requestTerminate();
        finishedHandler = true;
    };
    f.slow.onTimer = [&] { ++slowTicks; };
    f.fast.setEnabled(true);
    f.slow.setEnabled(true);

    this->rig.runFor(1000);
    EXPECT_TRUE(finishedHandler);
    EXPECT_TRUE(this->rig.loopEnded());
    EXPECT_EQ(fastTicks, 1);
    EXPECT_EQ(slowTicks, 0);
}

TYPED_TEST_P(ToolkitBehaviour, MessageBoxKeepsTimersRunningWhileOpen) {
    auto& f = this->form;
    int ticks = 0;
    f.fast.onTimer = [&] { ++ticks; };
    f.fast.setEnabled(true);

    this->rig.messageBox("Please confirm", 1050);
    EXPECT_NEAR(ticks, 10, this->tickTolerance);
}

TYPED_TEST_P(ToolkitBehaviour, StateSetInCodeIsWhatTheUserSees) {
    auto& f = this->form;
    f.label.setText("Line one\r\nLine two");
    EXPECT_EQ(this->rig.shownText(f.label), "Line one\r\nLine two");
    f.status.setPanelText(1, " Version");
    EXPECT_EQ(this->rig.shownPanelText(f.status, 1), " Version");
    EXPECT_EQ(this->rig.shownPanelText(f.status, 0), "one");

    f.box.setVisible(false);
    EXPECT_FALSE(this->rig.shownVisible(f.check)) << "children of a hidden box are hidden";
    f.box.setVisible(true);
    EXPECT_TRUE(this->rig.shownVisible(f.check));

    f.box.moveTo(20, 30);
    EXPECT_EQ(this->rig.shownBounds(f.box), (ui::Rect{20, 30, 200, 120}));
    EXPECT_EQ(this->rig.shownBounds(f.check), (ui::Rect{8, 16, 120, 18}))
        << "a child keeps its place inside its box";

    f.setCaption("Sample | 2");
    EXPECT_EQ(this->rig.shownCaption(), "Sample | 2");
    f.setAlphaBlend(true);
    f.setAlphaBlendValue(120);
    EXPECT_EQ(this->rig.shownOpacity(), 120);
}

TYPED_TEST_P(ToolkitBehaviour, EditsListsAndComboBoxesCarryTheUsersInput) {
    auto& f = this->form;
    int editClicks = 0, selects = 0;
    f.edit.onClick = [&] { ++editClicks; };
    f.combo.onSelect = [&] { ++selects; };

    f.edit.maxLength = 5;
    this->rig.userType(f.edit, "12345678");
    EXPECT_EQ(f.edit.text(), "12345");
    this->rig.userClick(f.edit);
    EXPECT_EQ(editClicks, 1);
    f.edit.setText("placeholder text");
    EXPECT_EQ(this->rig.shownText(f.edit), "placeholder text") << "code is not limited";

    f.list.add(" 10.0.0.1");
    f.list.add(" 10.0.0.2");
    f.list.add(" 10.0.0.3");
    this->rig.userSelect(f.list, 2);
    EXPECT_EQ(f.list.itemIndex(), 2);
    f.list.exchange(2, 1);
    EXPECT_EQ(this->rig.shownItems(f.list),
              (std::vector<std::string>{" 10.0.0.1", " 10.0.0.3", " 10.0.0.2"}));
    EXPECT_EQ(f.list.itemIndex(), 1) << "the selection moves with its entry";
    EXPECT_EQ(this->rig.shownSelection(f.list), 1);

    f.combo.add(" First");
    f.combo.add(" Second");
    f.combo.setItemIndex(0);
    EXPECT_EQ(selects, 0) << "a choice made in code is no user's choice";
    EXPECT_EQ(this->rig.shownSelection(f.combo), 0);
    this->rig.userSelect(f.combo, 1);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(f.combo.itemIndex(), 1);
    f.combo.clear();
    EXPECT_TRUE(this->rig.shownItems(f.combo).empty());
    EXPECT_EQ(this->rig.shownSelection(f.combo), -1);
}

TYPED_TEST_P(ToolkitBehaviour, DisabledButtonIgnoresTheUser) {
    auto& f = this->form;
    int clicks = 0;
    f.button.onClick = [&] { ++clicks; };
    this->rig.userClick(f.button);
    f.button.setEnabled(false);
    this->rig.userClick(f.button);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(this->rig.shownEnabled(f.button));
}

REGISTER_TYPED_TEST_SUITE_P(ToolkitBehaviour, CheckBoxFiresItsClickOnEveryChangeFromCodeOrUser,
                            RadioButtonsExcludeEachOtherWithinTheirParentOnly,
                            TimerRepeatsWhileEnabledAndRestartsOnANewInterval,
                            RadioMenuItemsCheckThemselvesAndHiddenItemsAreAbsent,
                            EndOfProgramTakesEffectAfterTheCurrentEvent,
                            MessageBoxKeepsTimersRunningWhileOpen,
                            StateSetInCodeIsWhatTheUserSees,
                            EditsListsAndComboBoxesCarryTheUsersInput,
                            DisabledButtonIgnoresTheUser);

}  // namespace toolkit_tests
