// Updates: the server's answer, the on-demand and the periodic check, the
// download, the updater run and the clean-up after it.
#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "update/UpdateResponse.h"

namespace {

constexpr const char* kServer = "http://www.nolvara.net/update/";
constexpr const char* kNewFile = "http://files.example/P_nolvara_7.exe";
constexpr const char* kUpdater = "C:\\nolvaraupdate.exe";

// The head of a Windows program: "MZ", the pointer at 0x3C, "PE\0\0".
std::string windowsProgram(const std::string& tag) {
    std::string bytes(0x80, '\0');
    bytes.replace(0, 2, "MZ");
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    return bytes + tag;
}

TEST(UpdateResponse, FieldsAreReadInOrderBetweenMarks) {
    const std::pair<std::string, update::UpdateResponse> bodies[] = {
        {"#urgent#2.0#http://x/a.exe#7#", {"urgent", "2.0", "http://x/a.exe", "7"}},
        {"<p>#urgent#2.0#http://x/a.exe#7#\r\n", {"urgent", "2.0", "http://x/a.exe", "7"}},
        {"#a b#\xE4#u#7#ignored#", {"a b", "\xE4", "u", "7"}},
        {"<html>no marks</html>", {"", "", "", ""}},
        {"#urgent#2.0", {"urgent", "", "", ""}},
        {"", {"", "", "", ""}},
        {"##2.0##7#", {"", "2.0", "", "7"}},
    };
    for (const auto& [body, expected] : bodies) {
        const update::UpdateResponse got = update::ReadResponse(body);
        EXPECT_EQ(got.mark, expected.mark) << body;
        EXPECT_EQ(got.versionText, expected.versionText) << body;
        EXPECT_EQ(got.fileUrl, expected.fileUrl) << body;
        EXPECT_EQ(got.build, expected.build) << body;
    }
    // Without a closing mark the rest stays; without any, one character goes.
    std::string rest = "x#open";
    EXPECT_EQ(update::NextResponseField(rest), "");
    EXPECT_EQ(rest, "open");
    EXPECT_EQ(update::NextResponseField(rest), "");
    EXPECT_EQ(rest, "pen");
}

TEST(UpdateResponse, BuildsCompareAsTextByteByByte) {
    for (const char* newer : {"7", "6.5", "60", "9", "\xE9"})
        EXPECT_TRUE(update::IsNewerBuild(newer, 6)) << newer;
    for (const char* notNewer : {"6", "10", "06", " 7", "", "5.9", "-7"})
        EXPECT_FALSE(update::IsNewerBuild(notNewer, 6)) << notNewer;
}

TEST(UpdateResponse, PathsCrossTheCommandLineWithoutBlanks) {
    const std::string path = "C:\\Program Files\\Nolvara  2\\P_nolvara.exe";
    const std::string encoded = update::EncodePathArgument(path);
    EXPECT_EQ(encoded, "C:\\Program\\:\\Files\\Nolvara\\:\\\\:\\2\\P_nolvara.exe");
    EXPECT_EQ(update::DecodePathArgument(encoded), path);
    EXPECT_EQ(update::DecodePathArgument("C:\\a\\:\\b.exe"), "C:\\a b.exe");
}

TEST(UpdateResponse, OnlyAWholeWindowsProgramHeadCounts) {
    EXPECT_TRUE(update::LooksLikeWindowsProgram(windowsProgram("")));
    std::string pointerOutside = windowsProgram("");
    pointerOutside[0x3C] = 0x7E;
    for (const std::string& bytes :
         {std::string(), std::string("MZ"), std::string("<html>404</html>"), pointerOutside,
          windowsProgram("").substr(0, 0x42), "ZM" + windowsProgram("").substr(2)})
        EXPECT_FALSE(update::LooksLikeWindowsProgram(bytes)) << bytes.size();
}

class Update : public testing::Test {
protected:
    Update() { p.world.files.addFile("C:\\Tools\\P_nolvara.exe", windowsProgram("6")); }
    void serve(const std::string& body) { p.world.http.answers[kServer] = {body}; }
    ProgramRig p;
};

TEST_F(Update, OnDemandCheckShowsTheNewVersionInEitherLanguage) {
    serve("#urgent#2.0#http://files.example/P_nolvara_7.exe#7#\r\n");
    p.start();
    auto& w = p.window;
    w.Menu_checkforupdate.click();
    EXPECT_EQ(w.L_Text.text(),
              "Your version of Nolvara is out of date. \r\n\r\nUpdate-Version: 2.0\r\n"
              "This is an important update!");
    EXPECT_TRUE(w.B_update.visible());
    EXPECT_EQ(w.state.updateFileUrl, kNewFile);
    EXPECT_EQ(p.world.http.requests, std::vector<std::string>{kServer});

    serve("#Urgent#2.1#http://files.example/other.exe#7#");
    w.radio_lang_german.setChecked(true);
    w.b_apply.click();
    w.Menu_checkforupdate.click();
    EXPECT_EQ(w.L_Text.text(),
              "Neue Version von Nolvara verf\xFC"
              "gbar!\r\n\r\nUpdate-Version: 2.1\r\n"
              "Das Update wird empfohlen, jedoch nicht ben\xF6tigt");
    EXPECT_EQ(w.state.updateFileUrl, "http://files.example/other.exe");
}

TEST_F(Update, OnDemandCheckWithoutNewerBuildOrServer) {
    p.start();
    auto& w = p.window;
    for (const char* body : {"#urgent#2.0#x#6#", "#urgent#2.0#x#10#", "<html>no update</html>"}) {
        serve(body);
        w.Menu_checkforupdate.click();
        EXPECT_EQ(w.L_Text.text(), "You already have the current version!") << body;
        EXPECT_FALSE(w.B_update.visible());
    }
    p.world.http.answers.clear();
    w.Menu_checkforupdate.click();
    EXPECT_EQ(w.L_Text.text(),
              "Unable to reach update server. Maybe the server is down, your firewall blocked "
              "access or you are not connected to the internet!");
    EXPECT_TRUE(w.L_Text.visible());
    EXPECT_EQ(w.state.updateFileUrl, "") << "no other state changes";
}

TEST_F(Update, UpdateButtonHandsTheEncodedPathToTheDownloadedUpdater) {
    p.world.system.args[0] = "C:\\Program Files\\Nolvara\\P_nolvara.exe";
    p.world.files.addFile(p.world.system.args[0], windowsProgram("6"));
    p.world.files.addFile(kUpdater, "left over", true);
    serve("#x#2.0#http://files.example/P_nolvara_7.exe#7#");
    p.world.http.answers[kNewFile] = {windowsProgram("7")};
    p.start();
    p.window.Menu_checkforupdate.click();
    p.window.B_update.click();

    EXPECT_EQ(p.world.files.file(kUpdater)->bytes, windowsProgram("7"));
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, kUpdater);
    EXPECT_EQ(p.world.shell.starts[0].arguments,
              "-update C:\\Program\\:\\Files\\Nolvara\\P_nolvara.exe");
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST_F(Update, AFailedDownloadIsNeitherStartedNorTheEndOfTheProgram) {
    const std::pair<const char*, fakes::FakeHttp::Answer> failures[] = {
        {"error status", {"<html>404</html>", true}},
        {"broken transfer", {windowsProgram("7").substr(0, 0x30), true}},
        {"empty file", {""}},
        {"not a program", {"<html>moved</html>"}},
    };
    for (const auto& [what, answer] : failures) {
        ProgramRig p;
        p.world.files.addFile("C:\\Tools\\P_nolvara.exe", windowsProgram("6"));
        p.world.http.answers[kServer] = {"#x#2.0#http://files.example/P_nolvara_7.exe#7#"};
        p.world.http.answers[kNewFile] = answer;
        p.start();
        p.window.Menu_checkforupdate.click();
        const std::string shown = p.window.L_Text.text();
        p.window.B_update.click();

        EXPECT_TRUE(p.world.shell.starts.empty()) << what;
        EXPECT_FALSE(p.world.system.terminateRequested()) << what;
        EXPECT_FALSE(p.world.files.fileExists(kUpdater)) << what << ": no broken file is left";
        EXPECT_EQ(p.window.L_Text.text(), shown) << what;
    }
    // The updater file cannot even be created: the same.
    ProgramRig p;
    p.world.system.windowsDir = "Q:\\WINDOWS";
    p.world.http.answers[kServer] = {"#x#2.0#http://files.example/P_nolvara_7.exe#7#"};
    p.start();
    p.window.Menu_checkforupdate.click();
    p.window.B_update.click();
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_FALSE(p.world.system.terminateRequested());
}

class PeriodicUpdate : public Update {
protected:
    PeriodicUpdate() {
        p.world.system.args.push_back("-hide");
        p.world.registry.setInteger(kKey, "checkforupdate", 1);
        p.world.registry.setText(kKey + std::string("\\IPList"), "ip1", "192.168.0.1");
    }
    // The probe timer's ticks, one a second.
    void ticks(int count) { p.world.runFor(count * 1000); }
};

TEST_F(PeriodicUpdate, EveryEighteenHundredthTickInstallsANewerBuildSilently) {
    serve("#x#2.0#http://files.example/P_nolvara_7.exe#7#");
    p.world.http.answers[kNewFile] = {windowsProgram("7")};
    p.start();
    ticks(1799);
    EXPECT_TRUE(p.world.http.requests.empty()) << "not before the 1800th tick";
    ticks(2);
    EXPECT_EQ(p.world.http.requests, (std::vector<std::string>{kServer, kNewFile}));
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, kUpdater);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-update silent");
    EXPECT_TRUE(p.world.system.terminateRequested());
    EXPECT_TRUE(p.world.dialogs.shown.empty());
}

TEST_F(PeriodicUpdate, AFailedCheckOrDownloadKeepsAutomaticControlRunning) {
    p.world.http.answers[kNewFile] = {"", true};
    p.start();
    ticks(1801);  // no server
    serve("#x#2.0#http://files.example/P_nolvara_7.exe#7#");
    ticks(1800);  // a download that fails
    EXPECT_EQ(p.world.http.requests, (std::vector<std::string>{kServer, kServer, kNewFile}));
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_FALSE(p.world.system.terminateRequested());
    EXPECT_TRUE(p.window.T_ping.enabled());
    p.world.http.answers[kNewFile] = {windowsProgram("7")};
    ticks(1800);
    EXPECT_TRUE(p.world.system.terminateRequested()) << "the next period succeeds";
}

TEST_F(Update, OnDemandUpdaterReplacesTheOldFileAndRestartsIt) {
    // The installed copy restarts hidden, any other copy interactively.
    p.world.registry.setText(kKey, "installpath", "C:\\Program Files\\Nolvara\\");
    const std::pair<std::string, std::string> targets[] = {
        {"C:\\Program Files\\Nolvara\\P_nolvara.exe", "-hide -clearupdaterest"},
        {"C:\\Program Files\\Nolvara\\p_nolvara.exe", "-clearupdaterest"},
        {"C:\\Users\\Ann\\Desktop\\P_nolvara.exe", "-clearupdaterest"},
    };
    for (const auto& [target, arguments] : targets) {
        ProgramRig p({"-update", update::EncodePathArgument(target)});
        p.world.system.args[0] = kUpdater;
        p.world.files.addFile(kUpdater, windowsProgram("7"));
        p.world.files.addFile(target, windowsProgram("6"), true);
        p.world.registry.setText(kKey, "installpath", "C:\\Program Files\\Nolvara\\");
        p.start();

        EXPECT_EQ(p.world.files.file(target)->bytes, windowsProgram("7")) << target;
        ASSERT_EQ(p.world.shell.starts.size(), 1u);
        EXPECT_EQ(p.world.shell.starts[0].file, target);
        EXPECT_EQ(p.world.shell.starts[0].arguments, arguments) << target;
        EXPECT_TRUE(p.world.system.terminateRequested());
        EXPECT_FALSE(p.window.visible());
    }
}

class SilentUpdater : public testing::Test {
protected:
    SilentUpdater() {
        p.world.system.args[0] = kUpdater;
        p.world.files.addFile(kUpdater, windowsProgram("7"));
        p.world.files.addFile(kInstalled, windowsProgram("6"));
        p.world.registry.setInteger(kKey, "autostart", 1);
        p.world.registry.setInteger(kKey, "version", 6);
        p.world.registry.setText(kKey, "routerip", "10.0.0.1");
        // The hidden run of the old version holds its file until it is ended.
        p.world.files.lock(kInstalled);
        p.world.processes.running = {{1, "nolvaraupdate.exe"}, {5, "P_nolvara.exe"}};
        p.world.processes.onTerminate = [this](std::uint32_t) { p.world.files.locked.clear(); };
    }
    ProgramRig p{{"-update", "silent"}};
};

TEST_F(SilentUpdater, ReplacesTheInstalledCopyAndRestartsItHidden) {
    p.start();
    EXPECT_EQ(p.world.processes.terminated, std::vector<std::uint32_t>{5});
    EXPECT_EQ(p.world.files.file(kInstalled)->bytes, windowsProgram("7"));
    EXPECT_EQ(p.world.registry.get(kKey + std::string("\\IPList"), "ip1")->text, "10.0.0.1")
        << "an old single address is migrated";
    EXPECT_EQ(p.world.registry.get(kKey, "version")->number, 6);
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, kInstalled);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-hide -clearupdaterest");
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST_F(SilentUpdater, WithoutStartWithWindowsNothingIsReplaced) {
    p.world.registry.setInteger(kKey, "autostart", 0);
    p.start();
    EXPECT_EQ(p.world.files.file(kInstalled)->bytes, windowsProgram("6"));
    EXPECT_TRUE(p.world.processes.terminated.empty());
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST_F(SilentUpdater, ACopyThatCannotBeDeletedIsRestartedAsItIs) {
    p.world.processes.onTerminate = nullptr;
    p.world.registry.setInteger(kKey, "version", 5);
    p.start();
    EXPECT_EQ(p.world.files.file(kInstalled)->bytes, windowsProgram("6"));
    EXPECT_EQ(p.world.system.sleeps.size(), 49u + 1u)
        << "a bounded number of passes, the pause before the start and none other";
    EXPECT_EQ(p.world.registry.get(kKey, "version")->number, 5) << "not recorded as replaced";
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-hide -clearupdaterest")
        << "automatic control goes on";
}

TEST(UpdateCleanUp, TheRestartedProgramDeletesTheUpdaterFile) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-clearupdaterest"}, {"-hide", "-clearupdaterest"}}) {
        ProgramRig p(args);
        p.world.system.windowsDir = "D:\\WINNT\\";
        p.world.files.addFolder("D:\\");
        p.world.files.addFile("D:\\nolvaraupdate.exe", windowsProgram("7"), true);
        p.start();
        EXPECT_FALSE(p.world.files.fileExists("D:\\nolvaraupdate.exe")) << args.size();
        EXPECT_EQ(p.window.visible(), args.size() == 1);
    }
}

TEST(ManualUpdate, YesReplacesTheOlderInstalledCopyAndLiftsTheRestrictions) {
    ProgramRig p;
    p.world.files.addFile("C:\\Tools\\P_nolvara.exe", windowsProgram("7"));
    p.world.files.addFile(kInstalled, windowsProgram("5"));
    p.world.files.lock(kInstalled);
    p.world.processes.running = {{4, "P_nolvara.exe"}};
    p.world.processes.onTerminate = [&](std::uint32_t) { p.world.files.locked.clear(); };
    p.world.registry.setInteger(kKey, "autostart", 1);
    p.world.registry.setInteger(kKey, "version", 5);
    p.start();
    auto& w = p.window;
    ASSERT_TRUE(w.box_manupdate.visible());
    ASSERT_FALSE(w.Menu_file.enabled());
    w.B_manupdate.click();

    EXPECT_EQ(p.world.files.file(kInstalled)->bytes, windowsProgram("7"));
    EXPECT_EQ(p.world.registry.get(kKey, "version")->number, 6);
    EXPECT_EQ(w.L_Text.text(), "The old version was replaced by the new one.");
    EXPECT_TRUE(w.Menu_file.enabled());
    EXPECT_TRUE(w.Menu_autocontrol.visible());
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-hide -clearupdaterest");
    EXPECT_FALSE(p.world.system.terminateRequested()) << "the window stays open";
}

}  // namespace
