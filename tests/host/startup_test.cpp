#include <gtest/gtest.h>

#include <stdexcept>

#include "ProgramRig.h"

namespace {

TEST(Startup, InteractiveRunOpensWithVersionCaptionAndAboutPage) {
    ProgramRig p;
    p.start();
    auto& w = p.window;

    EXPECT_EQ(w.caption(), "Nolvara |  Version 1.23");
    EXPECT_EQ(w.Statusbar.panelText(1), " Version 1.23");
    EXPECT_EQ(w.Statusbar.panelText(0), " Wireless Zero is not available") << "no service here";
    EXPECT_EQ(w.outerWidth(), 425);
    EXPECT_EQ(w.outerHeight(), 255);
    for (const ui::GroupBox* box : {&w.box_settings, &w.box_routerip, &w.box_dhcp, &w.box_manupdate}) {
        EXPECT_EQ(box->bounds().left, 8) << box->name();
        EXPECT_EQ(box->bounds().top, 8) << box->name();
        EXPECT_FALSE(box->visible()) << box->name();
    }
    EXPECT_EQ(w.L_Text.text().rfind("Nolvara\r\n\r\n\r\n", 0), 0u);
    EXPECT_FALSE(w.B_update.visible());
    EXPECT_TRUE(w.visible());
    EXPECT_EQ(w.runKind, core::RunKind::Interactive);

    EXPECT_TRUE(w.state.awaitingFirstReply);
    EXPECT_EQ(w.state.language, "english");
    EXPECT_EQ(w.state.installPath, "C:\\Nolvara\\");
    EXPECT_EQ(w.speed_installpath.text(), "C:\\Nolvara\\");
    EXPECT_EQ(w.T_shutdowndelay.intervalMs(), 30000);
    EXPECT_FALSE(w.T_ping.enabled());
    EXPECT_TRUE(w.radio_lang_english.checked());
    EXPECT_TRUE(w.chk_restartservice.checked());
    EXPECT_EQ(w.Menu_how2use.caption(), "&How to use");
}

// This program is version 6: an installation saved by an older one gets the
// update notice and is left as it is; the same or a newer one is saved over.
TEST(Startup, AnOlderStoredVersionGetsTheNoticeOthersAreSavedAsThisOne) {
    const struct {
        int stored;
        bool notice;
        int after;
    } cases[] = {{5, true, 5}, {6, false, 6}, {7, false, 6}};
    for (const auto& c : cases) {
        ProgramRig p;
        p.world.registry.setInteger(kKey, "autostart", 1);
        p.world.registry.setInteger(kKey, "version", c.stored);
        p.start();
        EXPECT_EQ(p.window.box_manupdate.visible(), c.notice) << c.stored;
        EXPECT_EQ(p.window.Menu_file.enabled(), !c.notice) << c.stored;
        EXPECT_EQ(p.world.registry.get(kKey, "version")->number, c.after) << c.stored;
    }
}

TEST(Startup, DefaultInstallFolderIsTheWindowsDrivesRoot) {
    ProgramRig p;
    p.world.system.windowsDir = "  D:\\WINNT  ";
    p.start();
    EXPECT_EQ(p.window.state.installPath, "D:\\Nolvara\\");
}

struct DispatchCase {
    std::vector<std::string> args;
    core::RunKind kind;
    bool shown;
    bool probing;
    bool ends;
};

TEST(Startup, FirstArgumentChoosesTheKindOfRunExactly) {
    using K = core::RunKind;
    const DispatchCase cases[] = {
        {{}, K::Interactive, true, false, false},
        {{"-hide"}, K::AutoControl, false, true, false},
        {{"-hide", "-clearupdaterest"}, K::AutoControl, false, true, false},
        {{"-HIDE"}, K::Interactive, true, false, false},
        {{"hide"}, K::Interactive, true, false, false},
        {{"-clearupdaterest"}, K::Interactive, true, false, false},
        {{"-update", "silent"}, K::Updater, false, false, true},
        {{"-updatexyz", "C:\\a\\:\\b.exe"}, K::Updater, false, false, true},
        {{"-updat"}, K::Interactive, true, false, false},
        {{"-kill"}, K::Uninstall, false, false, true},
        {{"-Kill"}, K::Interactive, true, false, false},
        {{"-noguiinst"}, K::UnattendedInstall, false, false, true},
        {{"", "-hide"}, K::Interactive, true, false, false},
    };
    for (const DispatchCase& c : cases) {
        ProgramRig p(c.args);
        p.start();
        const std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(p.window.runKind, c.kind) << label;
        EXPECT_EQ(p.window.visible(), c.shown) << label;
        EXPECT_EQ(p.window.T_ping.enabled(), c.probing) << label;
        EXPECT_EQ(p.window.state.autoControl, c.kind == K::AutoControl) << label;
        EXPECT_EQ(p.world.system.terminateRequested(), c.ends) << label;
    }
}

TEST(Startup, HiddenRunKeepsRunningUnseen) {
    ProgramRig p({"-hide"});
    p.start();
    p.world.runFor(60'000);
    EXPECT_FALSE(p.world.system.terminateRequested());
    EXPECT_FALSE(p.window.visible());
    EXPECT_FALSE(p.window.closed());
    EXPECT_FALSE(p.window.T_fadein.enabled()) << "no timer faster than a second runs unseen";
    for (const ui::Timer* timer : p.window.timers())
        EXPECT_TRUE(!timer->enabled() || timer->intervalMs() >= 1000) << timer->name();
}

TEST(Startup, OneHiddenRunASessionAndAHandOverWaitsForTheOldOne) {
    // A hidden run while another holds the claim, with a router to probe.
    const auto hiddenRunBeside = [](ProgramRig& rig) {
        rig.world.system.heldElsewhere = {"Nolvara.AutomaticControl"};
        rig.world.registry.setText(kIpList, "ip1", "192.168.0.1");
    };
    // The other one holds on: this one ends without probing anything.
    ProgramRig second({"-hide"});
    hiddenRunBeside(second);
    second.start();
    second.world.runFor(5000);
    EXPECT_TRUE(second.world.system.terminateRequested());
    EXPECT_FALSE(second.window.T_ping.enabled());
    EXPECT_TRUE(second.world.icmp.requests.empty());
    EXPECT_FALSE(second.window.visible());

    // The run it replaces was just ended and lets go a moment later.
    ProgramRig next({"-hide"});
    hiddenRunBeside(next);
    next.world.system.onSleep = [&](int) { next.world.system.heldElsewhere.clear(); };
    next.start();
    next.world.runFor(2000);
    EXPECT_FALSE(next.world.system.terminateRequested());
    EXPECT_TRUE(next.window.T_ping.enabled());
    EXPECT_FALSE(next.world.icmp.requests.empty());

    // A window claims only its own mark, which keeps it from being ended by name.
    ProgramRig window;
    window.world.processes.self = 42;
    window.start();
    EXPECT_EQ(window.world.system.claims, std::vector<std::string>{"Nolvara.Window.42"});
}

TEST(Startup, ErrorDuringStartupIsShownAndTheWindowOpens) {
    ProgramRig p({"-hide"});
    p.world.system.windowsDirectoryError = "Windows directory unavailable";
    p.start();

    ASSERT_EQ(p.world.dialogs.shown.size(), 1u);
    EXPECT_EQ(p.world.dialogs.shown[0].text, "Windows directory unavailable");
    EXPECT_EQ(p.world.dialogs.shown[0].caption, "Nolvara");
    EXPECT_EQ(p.world.dialogs.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(p.window.visible());
    EXPECT_FALSE(p.window.T_ping.enabled()) << "the rest of the start-up is skipped";
    EXPECT_EQ(p.window.caption(), "Nolvara |  Version 1.23") << "steps before the error stay done";
}

TEST(Fading, FadeInTakesThirteenStepsEndingWithAShortOne) {
    ProgramRig p;
    p.start();
    std::vector<int> values;
    for (int i = 0; i < 15; ++i) {
        p.world.runFor(1);
        values.push_back(p.window.alphaBlendValue());
    }
    EXPECT_EQ(values, (std::vector<int>{20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220, 240,
                                        255, 255, 255}));
    EXPECT_FALSE(p.window.T_fadein.enabled());
}

TEST(Fading, CloseFadesOutFirstAndThenEndsTheProgram) {
    ProgramRig p;
    p.start();
    p.world.runFor(100);
    ASSERT_EQ(p.window.alphaBlendValue(), 255);

    p.window.Menu_close.click();
    EXPECT_FALSE(p.window.closed()) << "the first close only starts the fade";
    p.world.runFor(12);
    EXPECT_EQ(p.window.alphaBlendValue(), 15);
    EXPECT_FALSE(p.window.closed());
    p.world.runFor(1);
    EXPECT_EQ(p.window.alphaBlendValue(), 0);
    EXPECT_TRUE(p.window.closed());
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST(Fading, FadeOutFromAnOddValueEndsWithOneShorterStep) {
    ProgramRig p;
    p.start();
    p.world.runFor(100);
    p.window.setAlphaBlendValue(130);
    p.window.close();
    std::vector<int> values;
    while (!p.window.closed() && values.size() < 20) {
        p.world.runFor(1);
        values.push_back(p.window.alphaBlendValue());
    }
    EXPECT_EQ(values, (std::vector<int>{110, 90, 70, 50, 30, 10, 0}));
}

TEST(Fading, CloseDuringFadeInStopsTheFadeIn) {
    ProgramRig p;
    p.start();
    p.world.runFor(5);
    ASSERT_EQ(p.window.alphaBlendValue(), 100);
    p.window.close();
    std::vector<int> values;
    while (!p.window.closed() && values.size() < 40) {
        p.world.runFor(1);
        values.push_back(p.window.alphaBlendValue());
    }
    EXPECT_EQ(values, (std::vector<int>{80, 60, 40, 20, 0}));
}

TEST(Fading, CloseAtOpacityZeroIsAcceptedAtOnce) {
    ProgramRig p({"-hide"});
    p.start();
    ASSERT_EQ(p.window.alphaBlendValue(), 0);
    p.window.close();
    EXPECT_TRUE(p.window.closed());
    EXPECT_TRUE(p.world.system.terminateRequested());
}

}  // namespace
