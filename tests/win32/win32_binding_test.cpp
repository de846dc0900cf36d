// What the window procedure decides beyond mirroring controls: closing and
// the end of the session are the model's decisions, and an exception from any
// handler becomes an error box while the program goes on.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Menu.h"
#include "ui/Timer.h"
#include "win32/Win32Rig.h"

namespace {

using win32_tests::MessageBoxCloser;
using win32_tests::Win32Rig;

class SmallForm : public ui::Form {
public:
    SmallForm() : ui::Form("F_small") {
        setCaption("Small window");
        setOuterSize(240, 160);
        mainMenu().add(file);
        file.add(run);
        registerTimer(timer);
    }
    ui::Button button{*this, "button", nullptr, {8, 8, 75, 25}};
    ui::GroupBox box{*this, "box", nullptr, {8, 40, 200, 60}};
    ui::CheckBox check{*this, "check", &box, {8, 16, 120, 18}};
    ui::Edit edit{*this, "edit", &box, {8, 34, 60, 21}};
    ui::MenuItem file{"file", "&File"};
    ui::MenuItem run{"run", "&Run"};
    ui::Timer timer{"timer", 20, false};
};

TEST(Win32Binding, CloseAndEndOfSessionAreTheModelsDecision) {
    SmallForm form;
    Win32Rig rig(form);
    HWND main = rig.binding().hwnd();
    bool allowClose = false, allowEnd = false;
    int closedCount = 0;
    form.onClose = [&](ui::CloseAction& action) {
        if (!allowClose) action = ui::CloseAction::None;
    };
    form.onClosed = [&] { ++closedCount; };
    form.onQueryEndSession = [&] { return allowEnd; };

    EXPECT_EQ(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), FALSE);
    allowEnd = true;
    EXPECT_EQ(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), TRUE);

    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(main)) << "a refused close leaves the window";
    EXPECT_EQ(closedCount, 0);

    allowClose = true;
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(rig.binding().hwnd(), nullptr);
    EXPECT_EQ(closedCount, 1);
    // The model lives on after its window; changing it must not reach the dead one.
    form.button.setText("Gone");
    form.run.setCaption("Gone");
    form.timer.setEnabled(true);
    rig.runFor(60);
}

TEST(Win32Binding, ExceptionFromAnyHandlerIsShownAndTheProgramGoesOn) {
    SmallForm form;
    Win32Rig rig(form);
    int calls = 0;
    auto failFirstTime = [&](const char* what) {
        if (++calls == 1) throw std::runtime_error(what);
    };
    form.button.onClick = [&] { failFirstTime("The button failed."); };
    form.check.onClick = [&] { failFirstTime("The check box inside the box failed."); };
    form.edit.onClick = [&] { failFirstTime("The edit failed."); };
    form.run.onClick = [&] { failFirstTime("The menu failed."); };
    form.timer.onTimer = [&] {
        form.timer.setEnabled(false);
        failFirstTime("The timer failed.");
    };

    const struct {
        const char* what;
        std::function<void()> trigger;
    } cases[] = {
        {"The button failed.", [&] { rig.userClick(form.button); }},
        {"The check box inside the box failed.", [&] { rig.userClick(form.check); }},
        {"The edit failed.", [&] { rig.userClick(form.edit); }},
        {"The menu failed.", [&] { rig.userChooseMenu(form.run); }},
        {"The timer failed.",
         [&] {
             form.timer.setEnabled(true);
             rig.runFor(150);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        calls = 0;
        MessageBoxCloser user("Small window", 100);
        c.trigger();
        user.join();
        ASSERT_TRUE(user.found()) << "no error box appeared";
        EXPECT_EQ(user.text(), c.what);
        EXPECT_EQ(user.owner(), rig.binding().hwnd());
        EXPECT_EQ(calls, 1);
    }
    // The program goes on: the window is there, handlers run, no end requested.
    rig.userClick(form.button);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(form.check.checked()) << "the state changed before the handler threw";
    rig.runFor(50);
    EXPECT_FALSE(rig.loopEnded());
    EXPECT_TRUE(IsWindow(rig.binding().hwnd()));
}

}  // namespace

namespace {

TEST(Win32Binding, HidingAFocusedPanelMovesTheFocusOutOfIt) {
    SmallForm form;
    Win32Rig rig(form);
    form.show();
    HWND main = rig.binding().hwnd();
    HWND check = rig.binding().hwndOf(form.check);
    SetForegroundWindow(main);
    SetFocus(check);
    ASSERT_EQ(GetFocus(), check);

    form.box.setVisible(false);
    HWND focus = GetFocus();
    EXPECT_NE(focus, check);
    EXPECT_TRUE(focus == main || IsWindowVisible(focus)) << "focus on a control the user can see";

    // Alt+letter is looked up from the focus among the visible controls; with
    // the focus left in the hidden box this call never returned.
    MSG msg{};
    msg.hwnd = focus;
    msg.message = WM_SYSCHAR;
    msg.wParam = 'x';
    IsDialogMessageA(main, &msg);
}

}  // namespace
