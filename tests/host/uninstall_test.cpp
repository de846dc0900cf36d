// Uninstall: the menu in the window the user works in, and the two stages that
// the installed copy and the remover copy run.
#include <gtest/gtest.h>

#include <numeric>

#include "ProgramRig.h"

namespace {

constexpr const char* kRemover = "C:\\nolvararemove.exe";
constexpr const char* kBatch = "C:\\remove.bat";

// A machine on which the program is installed: settings with a router list,
// the Run entry, the installed copy, and the wireless service disabled.
void install(fakes::HeadlessWorld& world) {
    world.registry.setInteger(kKey, "autostart", 1);
    world.registry.setInteger(kKey, "version", 6);
    world.registry.setText(kIpList, "ip1", "192.168.0.1");
    world.registry.setText(kRun, "Nolvara", "C:\\Nolvara\\P_nolvara.exe -hide");
    world.registry.setInteger(kService, "Start", 4);
    world.files.addFolder("C:\\Nolvara\\");
    world.files.addFile(kInstalled, "installed");
}

int totalSleptMs(const fakes::FakeSystem& system) {
    return std::accumulate(system.sleeps.begin(), system.sleeps.end(), 0);
}

TEST(UninstallMenu, StartsStageOneSetsTheServiceToAutomaticAndWaitsForTheCopyToGo) {
    ProgramRig p;
    p.world.system.args = {"C:\\Downloads\\nolvara-1.23.exe"};
    p.world.files.addFile("C:\\Downloads\\nolvara-1.23.exe", "installed");
    install(p.world);
    p.start();
    auto& w = p.window;
    ASSERT_TRUE(w.Menu_uninstall.enabled());

    // Stage 2 deletes the installed copy some time after stage 1 was started.
    int pollsUntilGone = 0;
    p.world.shell.onStart = [&](const fakes::FakeShell::Start&) { pollsUntilGone = 5; };
    p.world.system.onSleep = [&](int) {
        if (pollsUntilGone > 0 && --pollsUntilGone == 0) p.world.files.deleteFile(kInstalled);
    };
    w.Menu_uninstall.click();

    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, kInstalled);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-kill");
    EXPECT_FALSE(p.world.shell.starts[0].hidden);
    EXPECT_EQ(p.world.registry.get(kService, "Start")->number, 2);
    EXPECT_EQ(p.world.services.starts, 1);
    EXPECT_FALSE(p.world.files.fileExists(kInstalled));
    EXPECT_FALSE(w.Menu_uninstall.enabled()) << "nothing left to uninstall";
    EXPECT_EQ(w.Statusbar.panelText(0), " Wireless Zero starts automatically");
    EXPECT_EQ(w.L_Text.text(),
              "Because of uninstall, Wireless Zero was set to start automatically!");
    EXPECT_FALSE(p.world.system.terminateRequested()) << "the window stays open";
}

TEST(UninstallMenu, GivesUpWaitingAfterThirtySecondsWhenTheCopyStays) {
    ProgramRig p;
    p.world.system.args = {"C:\\Downloads\\nolvara-1.23.exe"};
    p.world.files.addFile("C:\\Downloads\\nolvara-1.23.exe", "installed");
    install(p.world);
    p.start();
    p.world.system.sleeps.clear();
    p.window.Menu_uninstall.click();

    EXPECT_EQ(totalSleptMs(p.world.system), 30000);
    EXPECT_TRUE(p.window.Menu_uninstall.enabled()) << "the user may try again";
    EXPECT_EQ(p.window.L_Text.text(),
              "Because of uninstall, Wireless Zero was set to start automatically!");
}

TEST(UninstallStageOne, StartsACopyOfItselfAsTheRemoverAndCloses) {
    // A remover copy left over from an earlier uninstall is an older file:
    // the one started must be this program.
    for (bool leftover : {false, true}) {
        ProgramRig p({"-kill"});
        p.world.system.args[0] = kInstalled;
        install(p.world);
        p.world.files.lock(kInstalled);  // it runs
        if (leftover) p.world.files.addFile(kRemover, "older version", true);
        p.start();
        p.world.runFor(2000);

        ASSERT_NE(p.world.files.file(kRemover), nullptr) << leftover;
        EXPECT_EQ(p.world.files.file(kRemover)->bytes, "installed") << leftover;
        EXPECT_TRUE(p.world.files.file(kRemover)->isProtected) << leftover;
        ASSERT_EQ(p.world.shell.starts.size(), 1u) << leftover;
        EXPECT_EQ(p.world.shell.starts[0].file, kRemover);
        EXPECT_EQ(p.world.shell.starts[0].arguments, "-kill");
        EXPECT_FALSE(p.window.visible());
        EXPECT_TRUE(p.window.closed()) << leftover;
        EXPECT_TRUE(p.world.files.fileExists(kInstalled)) << "stage 1 removes nothing";
        EXPECT_TRUE(p.world.registry.hasKey(kKey)) << "and does not write settings back";
    }
}

TEST(UninstallStageOne, NeverStartsARemoverThatIsNotThisProgram) {
    ProgramRig p({"-kill"});
    p.world.system.args[0] = kInstalled;
    install(p.world);
    p.world.files.lock(kInstalled);
    p.world.files.addFile(kRemover, "older version");
    p.world.files.lock(kRemover);  // an older remover still runs
    p.start();
    p.world.runFor(2000);

    EXPECT_EQ(p.world.files.file(kRemover)->bytes, "older version");
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_TRUE(p.window.closed());
}

class UninstallStageTwo : public testing::Test {
protected:
    UninstallStageTwo() {
        p.world.system.args[0] = kRemover;
        install(p.world);
        p.world.files.addFile(kRemover, "remover");
        // The hidden automatic-control run and a window of the same name.
        p.world.processes.running = {{1, "nolvararemove.exe"},
                                     {7, "p_nolvara.exe"},
                                     {9, "P_NOLVARA.EXE"},
                                     {12, "notepad.exe"}};
    }
    ProgramRig p{{"-kill"}};
};

TEST_F(UninstallStageTwo, RemovesEverythingAndLeavesABatchThatDeletesTheRemover) {
    // The hidden run holds the installed copy until it is ended.
    p.world.files.lock(kInstalled);
    // A batch file that someone else left there is replaced, not written through.
    p.world.files.addFile(kBatch, "start evil.exe\r\n", true);
    p.world.processes.onTerminate = [&](std::uint32_t id) {
        if (id == 7) p.world.files.locked.clear();
    };
    p.start();
    EXPECT_FALSE(p.window.visible());

    EXPECT_EQ(p.world.processes.terminated, (std::vector<std::uint32_t>{7, 9}));
    EXPECT_FALSE(p.world.registry.hasKey(kKey));
    EXPECT_FALSE(p.world.registry.get(kRun, "Nolvara").has_value());
    EXPECT_TRUE(p.world.registry.hasKey(kRun)) << "only the value goes";
    EXPECT_FALSE(p.world.files.fileExists(kInstalled));
    EXPECT_FALSE(p.world.files.folderExists("C:\\Nolvara\\"));

    ASSERT_NE(p.world.files.file(kBatch), nullptr);
    EXPECT_EQ(p.world.files.file(kBatch)->bytes,
              ":remove\r\n"
              "del \"C:\\nolvararemove.exe\"\r\n"
              "if Exist \"C:\\nolvararemove.exe\" goto remove\r\n"
              ":removeprog\r\n"
              "if Exist \"C:\\Nolvara\\P_nolvara.exe\" goto removeprog\r\n"
              "del \"C:\\remove.bat\"\r\n");
    EXPECT_TRUE(p.world.files.file(kBatch)->isProtected);
    ASSERT_EQ(p.world.shell.starts.size(), 1u) << "one batch, started once";
    EXPECT_EQ(p.world.shell.starts[0].file, kBatch);
    EXPECT_TRUE(p.world.shell.starts[0].hidden);
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST_F(UninstallStageTwo, KeepsAFolderThatHoldsOtherFilesAndDeletesAReadOnlyCopy) {
    p.world.files.addFile("C:\\Nolvara\\notes.txt", "mine");
    p.world.files.setReadOnly(kInstalled, true);
    p.world.registry.setText(kKey, "installpath", "C:\\Nolvara\\");
    p.start();

    EXPECT_FALSE(p.world.files.fileExists(kInstalled));
    EXPECT_TRUE(p.world.files.folderExists("C:\\Nolvara\\"));
    EXPECT_EQ(p.world.files.file("C:\\Nolvara\\notes.txt")->bytes, "mine");
}

TEST_F(UninstallStageTwo, AnInstalledCopyThatWillNotGoEndsTheRunWithoutABatch) {
    p.world.files.lock(kInstalled);
    p.world.processes.protectedIds = {7};
    p.start();

    EXPECT_TRUE(p.world.files.fileExists(kInstalled));
    EXPECT_EQ(totalSleptMs(p.world.system), 99 * 100) << "a bounded number of passes";
    EXPECT_FALSE(p.world.files.fileExists(kBatch));
    EXPECT_TRUE(p.world.shell.starts.empty()) << "no batch that would wait for ever";
    EXPECT_FALSE(p.world.registry.hasKey(kKey)) << "the settings are gone all the same";
    EXPECT_TRUE(p.world.system.terminateRequested()) << "no remover lingers";
}

TEST_F(UninstallStageTwo, WithNothingInstalledOnlyTheRemoverCleansUpAfterItself) {
    p.world.files.deleteFile(kInstalled);
    p.world.registry.setInteger(kKey, "autostart", 0);
    p.start();

    EXPECT_TRUE(p.world.registry.hasKey(kKey)) << "nothing to remove";
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, kBatch);
    EXPECT_TRUE(p.world.system.terminateRequested());
}

}  // namespace
