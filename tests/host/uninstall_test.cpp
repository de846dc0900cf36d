// Uninstall: the menu in the window the user works in, and the two stages that
// the installed copy and the remover copy run.
#include <gtest/gtest.h>

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

// Stage 2 may itself wait seconds for the hidden run to let go of the copy:
// a copy that goes that late still completes the uninstall, and one that
// stays ends the wait in time with nothing changed.
TEST(UninstallMenu, WaitsSecondsForTheCopyToGoAndGivesUpWhenItStays) {
    for (const bool goes : {true, false}) {
        ProgramRig p;
        p.world.system.args = {"C:\\Downloads\\nolvara-1.23.exe"};
        p.world.files.addFile("C:\\Downloads\\nolvara-1.23.exe", "installed");
        install(p.world);
        p.start();
        const auto clickedMs = p.world.clock.nowMs();
        p.world.system.onSleep = [&](int) {
            if (goes && p.world.clock.nowMs() - clickedMs >= 15'000)
                p.world.files.deleteFile(kInstalled);
        };
        p.window.Menu_uninstall.click();

        if (goes) {
            EXPECT_EQ(p.world.registry.get(kService, "Start")->number, 2);
            EXPECT_FALSE(p.window.Menu_uninstall.enabled());
            continue;
        }
        EXPECT_LT(p.world.clock.nowMs() - clickedMs, 120'000);
        EXPECT_TRUE(p.window.Menu_uninstall.enabled()) << "the user may try again";
        EXPECT_EQ(p.window.L_Text.text(),
                  "Nolvara could not be uninstalled: the installed copy is still there. Wireless "
                  "Zero was left as it was.");
        EXPECT_EQ(p.world.registry.get(kService, "Start")->number, 4) << "left as it was";
        EXPECT_EQ(p.world.services.starts, 0);
        EXPECT_TRUE(p.world.registry.hasKey(kKey));
    }
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
        // The hidden automatic-control run, a window of the same name that
        // the user works in, and another run of that name.
        p.world.processes.running = {{1, "nolvararemove.exe"},
                                     {7, "p_nolvara.exe"},
                                     {8, "P_nolvara.exe"},
                                     {9, "P_NOLVARA.EXE"},
                                     {12, "notepad.exe"}};
        p.world.system.heldElsewhere = {"Nolvara.Window.8"};
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

    EXPECT_EQ(p.world.processes.terminated, (std::vector<std::uint32_t>{7, 9}))
        << "never the window the uninstall was started from";
    EXPECT_FALSE(p.world.registry.hasKey(kKey));
    EXPECT_FALSE(p.world.registry.get(kRun, "Nolvara").has_value());
    EXPECT_TRUE(p.world.registry.hasKey(kRun)) << "only the value goes";
    EXPECT_FALSE(p.world.files.fileExists(kInstalled));
    EXPECT_FALSE(p.world.files.folderExists("C:\\Nolvara\\"));

    ASSERT_NE(p.world.files.file(kBatch), nullptr);
    EXPECT_EQ(p.world.files.file(kBatch)->bytes,
              "@echo off\r\n"
              "set /a tries=0\r\n"
              ":remove\r\n"
              "del /f /q \"C:\\nolvararemove.exe\" >nul 2>&1\r\n"
              "if not exist \"C:\\nolvararemove.exe\" goto removeprog\r\n"
              "set /a tries+=1\r\n"
              "if %tries% geq 60 goto removeprog\r\n"
              "\"C:\\WINDOWS\\system32\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
              "goto remove\r\n"
              ":removeprog\r\n"
              "set /a tries=0\r\n"
              ":waitprog\r\n"
              "if not exist \"C:\\Nolvara\\P_nolvara.exe\" goto done\r\n"
              "set /a tries+=1\r\n"
              "if %tries% geq 60 goto done\r\n"
              "\"C:\\WINDOWS\\system32\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
              "goto waitprog\r\n"
              ":done\r\n"
              "del /f /q \"C:\\remove.bat\"\r\n")
        << "each wait bounded to about a minute, read-only files deleted too";
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

TEST_F(UninstallStageTwo, ACopyHeldForSecondsIsRemovedOneHeldForGoodLeavesNoBatch) {
    // The ended hidden run may hold its file a few seconds longer.
    ProgramRig late{{"-kill"}};
    late.world.system.args[0] = kRemover;
    install(late.world);
    late.world.files.lock(kInstalled);
    late.world.system.onSleep = [&](int) {
        if (late.world.clock.nowMs() >= 5000) late.world.files.locked.clear();
    };
    late.start();
    EXPECT_FALSE(late.world.files.fileExists(kInstalled));
    ASSERT_EQ(late.world.shell.starts.size(), 1u);
    EXPECT_EQ(late.world.shell.starts[0].file, kBatch);

    p.world.files.lock(kInstalled);
    p.world.processes.protectedIds = {7};
    p.start();

    EXPECT_TRUE(p.world.files.fileExists(kInstalled));
    EXPECT_LT(p.world.clock.nowMs(), 60'000) << "the passes end";
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

TEST_F(UninstallStageTwo, ABatchThatCouldNotBeMadeIsNeverStartedAndPercentSignsStayPlain) {
    // A batch file held open elsewhere under that name is not ours to run.
    p.world.files.addFile(kBatch, "start evil.exe\r\n");
    p.world.files.lock(kBatch);
    p.start();
    EXPECT_EQ(p.world.files.file(kBatch)->bytes, "start evil.exe\r\n");
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_TRUE(p.world.system.terminateRequested());

    // cmd would read %PATH% as a variable, even between quotes.
    ProgramRig percent{{"-kill"}};
    percent.world.system.args[0] = kRemover;
    install(percent.world);
    percent.world.registry.setText(kKey, "installpath", "C:\\100%PATH%\\");
    percent.start();
    const std::string batch = percent.world.files.file(kBatch)->bytes;
    EXPECT_NE(batch.find("if not exist \"C:\\100%%PATH%%\\P_nolvara.exe\" goto done"),
              std::string::npos)
        << batch;
}

TEST(UninstallMenu, AFolderUnderTheRemoversOrTheBatchsNameIsNamedAtOnce) {
    for (const char* taken : {kRemover, kBatch}) {
        ProgramRig p;
        install(p.world);
        p.world.files.addFile(kSelf, "program");
        p.world.files.addFolder(taken);
        p.start();
        ASSERT_TRUE(p.window.Menu_uninstall.enabled());
        p.window.Menu_uninstall.click();
        EXPECT_EQ(p.window.L_Text.text(),
                  std::string(taken) +
                      " cannot be made: a folder of that name is in the way. Remove or rename "
                      "that folder, then try again.");
        EXPECT_TRUE(p.world.shell.starts.empty()) << taken;
        EXPECT_EQ(p.world.clock.nowMs(), 0) << "no wait for an uninstall that cannot run";
        EXPECT_EQ(p.world.registry.get(kService, "Start")->number, 4);
    }
}

}  // namespace
