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

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// The signature field for a file announced as build, as the publisher signs it.
std::string signatureOf(const std::string& build, const std::string& bytes) {
    return hex(fakes::FakeSignatureCheck::sign(build + "\n" + bytes));
}

// The server's answer for build 7 at kNewFile, signed for these bytes.
std::string announce(const std::string& bytes, const std::string& mark = "x") {
    return "#" + mark + "#2.0#" + kNewFile + "#7#" + signatureOf("7", bytes) + "#";
}

TEST(UpdateResponse, FieldsAreReadInOrderBetweenMarks) {
    const std::pair<std::string, update::UpdateResponse> bodies[] = {
        {"#urgent#2.0#http://x/a.exe#7#", {"urgent", "2.0", "http://x/a.exe", "7", ""}},
        {"<p>#urgent#2.0#http://x/a.exe#7#\r\n", {"urgent", "2.0", "http://x/a.exe", "7", ""}},
        {"#a b#\xE4#u#7#0a1f#ignored#", {"a b", "\xE4", "u", "7", "0a1f"}},
        {"#u#2#f#7#sig", {"u", "2", "f", "7", ""}},
        {"<html>no marks</html>", {"", "", "", "", ""}},
        {"#urgent#2.0", {"urgent", "", "", "", ""}},
        {"", {"", "", "", "", ""}},
        {"##2.0##7##", {"", "2.0", "", "7", ""}},
    };
    for (const auto& [body, expected] : bodies) {
        const update::UpdateResponse got = update::ReadResponse(body);
        EXPECT_EQ(got.mark, expected.mark) << body;
        EXPECT_EQ(got.versionText, expected.versionText) << body;
        EXPECT_EQ(got.fileUrl, expected.fileUrl) << body;
        EXPECT_EQ(got.build, expected.build) << body;
        EXPECT_EQ(got.signature, expected.signature) << body;
    }
    // Without a closing mark the rest stays; without any, one character goes.
    std::string rest = "x#open";
    EXPECT_EQ(update::NextResponseField(rest), "");
    EXPECT_EQ(rest, "open");
    EXPECT_EQ(update::NextResponseField(rest), "");
    EXPECT_EQ(rest, "pen");
}

TEST(UpdateResponse, BuildsOfDigitsCompareAsNumbersAnyOtherAsText) {
    for (const char* newer : {"7", "10", "60", "007", "99999999999999999999", "6.5", "9x", "\xE9"})
        EXPECT_TRUE(update::IsNewerBuild(newer, 6)) << newer;
    for (const char* notNewer : {"6", "06", "0", "5", "000", " 7", "", "5.9", "-7", "10.0"})
        EXPECT_FALSE(update::IsNewerBuild(notNewer, 6)) << notNewer;
    EXPECT_TRUE(update::IsNewerBuild("100", 99));
    EXPECT_FALSE(update::IsNewerBuild("99", 100));
    EXPECT_FALSE(update::IsNewerBuild("0100", 100));
}

TEST(UpdateResponse, HexDecodesOnlyWholeBytesOfHexDigits) {
    std::string bytes = "kept";
    EXPECT_TRUE(update::DecodeHex("00ff7Fa0", bytes));
    EXPECT_EQ(bytes, std::string("\x00\xff\x7f\xa0", 4));
    for (const char* malformed : {"", "0", "abc", "0g", "zz", " 0a", "0x1f"}) {
        bytes = "kept";
        EXPECT_FALSE(update::DecodeHex(malformed, bytes)) << malformed;
        EXPECT_EQ(bytes, "kept") << malformed;
    }
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
    p.world.runFor(0);
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
    p.world.runFor(0);
    EXPECT_EQ(w.L_Text.text(),
              "Neue Version von Nolvara verf\xFC"
              "gbar!\r\n\r\nUpdate-Version: 2.1\r\n"
              "Das Update wird empfohlen, jedoch nicht ben\xF6tigt");
    EXPECT_EQ(w.state.updateFileUrl, "http://files.example/other.exe");
}

TEST_F(Update, OnDemandCheckWithoutNewerBuildOrServer) {
    p.start();
    auto& w = p.window;
    for (const char* body : {"#urgent#2.0#x#6#", "#urgent#2.0#x#06#", "<html>no update</html>"}) {
        serve(body);
        w.Menu_checkforupdate.click();
        p.world.runFor(0);
        EXPECT_EQ(w.L_Text.text(), "You already have the current version!") << body;
        EXPECT_FALSE(w.B_update.visible());
    }
    p.world.http.answers.clear();
    w.Menu_checkforupdate.click();
    p.world.runFor(0);
    EXPECT_EQ(w.L_Text.text(),
              "Unable to reach update server. Maybe the server is down, your firewall blocked "
              "access or you are not connected to the internet!");
    EXPECT_TRUE(w.L_Text.visible());
    EXPECT_EQ(w.state.updateFileUrl, "") << "no other state changes";
}

TEST_F(Update, UpdateButtonStartsTheVerifiedUpdaterWhileHoldingIt) {
    p.world.system.args[0] = "C:\\Program Files\\Nolvara\\P_nolvara.exe";
    p.world.files.addFile(p.world.system.args[0], windowsProgram("6"));
    p.world.files.addFile(kUpdater, "left over", true);
    serve(announce(windowsProgram("7")));
    p.world.http.answers[kNewFile] = {windowsProgram("7")};
    bool heldAtStart = false;
    p.world.shell.onStart = [&](const fakes::FakeShell::Start&) {
        heldAtStart = p.world.files.file(kUpdater)->holds > 0;
    };
    p.start();
    p.window.Menu_checkforupdate.click();
    p.world.runFor(0);
    p.window.B_update.click();
    p.world.runFor(0);

    const auto* updater = p.world.files.file(kUpdater);
    ASSERT_NE(updater, nullptr);
    EXPECT_EQ(updater->bytes, windowsProgram("7"));
    EXPECT_TRUE(updater->isProtected) << "made anew, not written through the old file";
    EXPECT_EQ(updater->holds, 0) << "let go once started";
    EXPECT_EQ(p.world.signatures.checked, std::vector<std::string>{"7\n" + windowsProgram("7")});
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_TRUE(heldAtStart) << "no one may swap the file between the check and the start";
    EXPECT_EQ(p.world.shell.starts[0].file, kUpdater);
    EXPECT_EQ(p.world.shell.starts[0].arguments,
              "-update C:\\Program\\:\\Files\\Nolvara\\P_nolvara.exe");
    EXPECT_TRUE(p.world.system.terminateRequested());
}

TEST_F(Update, AnUpdateThatFailsOrIsNotVerifiedIsNeverStarted) {
    const std::string good = windowsProgram("7");
    struct Case {
        const char* what;
        std::string signature;
        fakes::FakeHttp::Answer file;
        bool unverified;  // told to the user as such
        bool canVerify = true;
    };
    const Case cases[] = {
        {"error status", signatureOf("7", good), {"<html>404</html>", true}, false},
        {"broken transfer", signatureOf("7", good), {good.substr(0, 0x30), true}, false},
        {"no signature", "", {good}, true},
        {"malformed signature", signatureOf("7", good) + "0", {good}, true},
        {"not hex", "zz" + signatureOf("7", good).substr(2), {good}, true},
        {"signed for another file", signatureOf("7", windowsProgram("8")), {good}, true},
        {"an older file signed as its own build", signatureOf("5", good), {good}, true},
        {"signed, but not a program", signatureOf("7", "<html>x</html>"), {"<html>x</html>"}, true},
        {"no SHA-256 on this system", signatureOf("7", good), {good}, true, false},
    };
    for (const Case& c : cases) {
        ProgramRig p;
        p.world.files.addFile(kSelf, windowsProgram("6"));
        p.world.signatures.available = c.canVerify;
        p.world.http.answers[kServer] = {"#x#2.0#" + std::string(kNewFile) + "#7#" + c.signature + "#"};
        p.world.http.answers[kNewFile] = c.file;
        p.start();
        p.window.Menu_checkforupdate.click();
        p.world.runFor(0);
        const std::string shown = p.window.L_Text.text();
        p.window.B_update.click();
        p.world.runFor(0);

        EXPECT_TRUE(p.world.shell.starts.empty()) << c.what;
        EXPECT_FALSE(p.world.system.terminateRequested()) << c.what;
        EXPECT_FALSE(p.world.files.fileExists(kUpdater)) << c.what << ": the file is deleted";
        if (c.unverified) {
            EXPECT_EQ(p.window.L_Text.text(),
                      "The downloaded update could not be verified and was not installed.")
                << c.what;
            EXPECT_TRUE(p.window.L_Text.visible()) << c.what;
            EXPECT_FALSE(p.window.B_update.visible()) << c.what;
        } else {
            EXPECT_EQ(p.window.L_Text.text(), shown) << c.what;
        }
    }
    // The updater file cannot even be created: the same.
    ProgramRig p;
    p.world.system.windowsDir = "Q:\\WINDOWS";
    p.world.http.answers[kServer] = {announce(good)};
    p.start();
    p.window.Menu_checkforupdate.click();
    p.world.runFor(0);
    p.window.B_update.click();
    p.world.runFor(0);
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_FALSE(p.world.system.terminateRequested());
}

TEST_F(Update, AFileThatReappearsBeforeTheDownloadIsNotWrittenThrough) {
    serve(announce(windowsProgram("7")));
    p.world.http.answers[kNewFile] = {windowsProgram("7")};
    p.start();
    p.window.Menu_checkforupdate.click();
    p.world.runFor(0);
    // Someone else's file that the program cannot delete: held open elsewhere.
    p.world.files.addFile(kUpdater, "someone else's");
    p.world.files.lock(kUpdater);
    p.window.B_update.click();
    p.world.runFor(0);
    EXPECT_EQ(p.world.files.file(kUpdater)->bytes, "someone else's");
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_FALSE(p.world.system.terminateRequested());
}

TEST_F(Update, ACheckRunsBesideTheWindowAndASecondClickStartsNothing) {
    p.world.http.answers[kServer] = {"#x#2.0#u#7#", false, 0, true};  // the server stalls
    p.start();
    auto& w = p.window;
    w.Menu_checkforupdate.click();
    p.world.runFor(60000);
    EXPECT_EQ(w.L_Text.text(), "Looking for a newer version of Nolvara ...");
    w.Menu_checkforupdate.click();
    p.world.runFor(0);
    EXPECT_EQ(p.world.http.requests, std::vector<std::string>{kServer}) << "one at a time";
    // Bounded, as the client is told: an answer of 64 KiB in 15 s at the most.
    ASSERT_EQ(p.world.http.bounds.size(), 1u);
    EXPECT_EQ(p.world.http.bounds[0].maxBytes, 64u << 10);
    EXPECT_EQ(p.world.http.bounds[0].totalMs, 15000);

    // An answer too long for the bound fails like no answer.
    p.world.http.answers[kServer] = {"#x#2.0#u#7#" + std::string(64 << 10, ' ')};
    ProgramRig q;
    q.world.http.answers = p.world.http.answers;
    q.start();
    q.window.Menu_checkforupdate.click();
    q.world.runFor(0);
    EXPECT_EQ(q.window.L_Text.text().substr(0, 30), "Unable to reach update server.");
    q.window.Menu_checkforupdate.click();
    EXPECT_EQ(q.world.http.requests.size(), 2u) << "once it has ended, a check may start again";
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
    serve(announce(windowsProgram("7")));
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

// On Windows with the prompt for administrator rights the hidden run has none:
// it never prompts, so it leaves the update to the window.
TEST_F(PeriodicUpdate, WithoutAdministratorRightsTheHiddenRunNeverChecks) {
    p.world.system.limitedRights = true;
    serve(announce(windowsProgram("7")));
    p.start();
    ticks(3601);
    EXPECT_TRUE(p.world.http.requests.empty());
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_TRUE(p.world.shell.elevatedStarts.empty());
    EXPECT_TRUE(p.window.T_ping.enabled());
}

// With the option off the count waits one tick short of a check, so that
// switching the option on checks at the very next tick.
TEST_F(PeriodicUpdate, OffNoCheckEverRunsOnTheNextTickChecks) {
    p.world.registry.setInteger(kKey, "checkforupdate", 0);
    p.start();
    ticks(5000);
    EXPECT_TRUE(p.world.http.requests.empty());
    p.world.registry.setInteger(kKey, "checkforupdate", 1);
    ticks(1);
    EXPECT_EQ(p.world.http.requests, std::vector<std::string>{kServer});
}

TEST_F(PeriodicUpdate, ADownloadRunsBesideTheProbeLoopAndEndsWithTheSession) {
    p.world.registry.setInteger(kService, "Start", 2);
    p.world.registry.setInteger(kKey, "shutdowndelay", 1);
    p.world.icmp.answer("192.168.0.1", {platform::EchoStatus::EchoReply, 5});
    serve(announce(windowsProgram("7")));
    p.world.http.answers[kNewFile] = {windowsProgram("7"), false, 0, true};  // stalls
    p.start();
    ticks(1801);
    ASSERT_EQ(p.world.http.requests, (std::vector<std::string>{kServer, kNewFile}));
    EXPECT_EQ(p.world.http.bounds[1].maxBytes, 16u << 20);
    EXPECT_EQ(p.world.http.bounds[1].totalMs, 5 * 60 * 1000);
    ASSERT_TRUE(p.world.files.fileExists(kUpdater)) << "the download has begun";
    // The probe loop goes on meanwhile: a lost link turns the service on.
    const size_t probes = p.world.icmp.requests.size();
    p.world.icmp.linkDown = true;
    ticks(3);
    EXPECT_GT(p.world.icmp.requests.size(), probes);
    EXPECT_EQ(p.world.registry.get(kService, "Start")->number, 2);
    p.world.icmp.linkDown = false;
    ticks(3);
    ASSERT_EQ(p.world.registry.get(kService, "Start")->number, 4);

    EXPECT_TRUE(p.window.queryEndSession());
    EXPECT_EQ(p.world.http.abandoned, 1);
    EXPECT_FALSE(p.world.files.fileExists(kUpdater)) << "the partial file goes";
    ticks(10);
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_EQ(p.world.registry.get(kService, "Start")->number, 2);
}

TEST_F(PeriodicUpdate, AFailedCheckOrDownloadKeepsAutomaticControlRunning) {
    p.world.http.answers[kNewFile] = {"", true};
    p.start();
    ticks(1801);  // no server
    serve(announce(windowsProgram("7")));
    ticks(1800);  // a download that fails
    EXPECT_EQ(p.world.http.requests, (std::vector<std::string>{kServer, kServer, kNewFile}));
    p.world.http.answers[kNewFile] = {windowsProgram("7") + "tampered"};
    ticks(1800);  // a file that is not the one signed
    EXPECT_EQ(p.world.http.requests.size(), 5u);
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_FALSE(p.world.system.terminateRequested());
    EXPECT_TRUE(p.window.T_ping.enabled());
    EXPECT_FALSE(p.world.files.fileExists(kUpdater));
    EXPECT_TRUE(p.world.dialogs.shown.empty());
    EXPECT_NE(p.window.L_Text.text(),
              "The downloaded update could not be verified and was not installed.");
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
        // The updater runs with administrator rights and starts what it made.
        EXPECT_TRUE(p.world.files.file(target)->isProtected) << target;
        ASSERT_EQ(p.world.shell.starts.size(), 1u);
        EXPECT_EQ(p.world.shell.starts[0].file, target);
        EXPECT_EQ(p.world.shell.starts[0].arguments, arguments) << target;
        EXPECT_TRUE(p.world.system.terminateRequested());
        EXPECT_FALSE(p.window.visible());
    }
}

TEST(OnDemandUpdater, WaitsABoundedTimeForTheOldFileToBeFree) {
    // The old process lets go of its file only after its window has faded
    // out; one that never comes free may be anyone's: nothing is started.
    for (const int freeAfterSleeps : {0, 5, 1000}) {
        const std::string target = "C:\\Tools\\P_nolvara.exe";
        ProgramRig p({"-update", target});
        p.world.system.args[0] = kUpdater;
        p.world.files.addFile(kUpdater, windowsProgram("7"));
        p.world.files.addFile(target, windowsProgram("6"));
        p.world.files.lock(target);
        p.world.system.onSleep = [&](int) {
            if (static_cast<int>(p.world.system.sleeps.size()) >= freeAfterSleeps)
                p.world.files.locked.clear();
        };
        p.start();
        const bool freed = freeAfterSleeps < 1000;
        EXPECT_EQ(p.world.files.file(target)->bytes, windowsProgram(freed ? "7" : "6"))
            << freeAfterSleeps;
        int sleptMs = 0;
        for (const int ms : p.world.system.sleeps) sleptMs += ms;
        if (freed)
            EXPECT_LE(sleptMs, std::max(freeAfterSleeps, 1) * 100) << "no longer than needed";
        else
            EXPECT_TRUE(sleptMs >= 9000 && sleptMs <= 11000) << sleptMs;
        ASSERT_EQ(p.world.shell.starts.size(), freed ? 1u : 0u);
        if (!freed) continue;
        EXPECT_EQ(p.world.shell.starts[0].file, target);
        EXPECT_EQ(p.world.shell.starts[0].arguments, "-clearupdaterest");
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
    // The ended run lets go of its file only a moment later.
    p.world.processes.onTerminate = [this](std::uint32_t) {
        const auto endedMs = p.world.clock.nowMs();
        p.world.system.onSleep = [this, endedMs](int) {
            if (p.world.clock.nowMs() - endedMs >= 2000) p.world.files.locked.clear();
        };
    };
    p.start();
    EXPECT_EQ(p.world.processes.terminated, std::vector<std::uint32_t>{5});
    EXPECT_EQ(p.world.files.file(kInstalled)->bytes, windowsProgram("7"));
    EXPECT_EQ(p.world.registry.get(kKey + std::string("\\IPList"), "ip1")->text, "10.0.0.1")
        << "an old single address is migrated";
    EXPECT_EQ(p.world.registry.get(kKey, "version")->number, 6);
    ASSERT_EQ(p.world.shell.starts.size(), 1u);
    EXPECT_EQ(p.world.shell.starts[0].file, kInstalled);
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-hide -clearupdaterest");
    EXPECT_TRUE(p.world.shell.starts[0].asUser);
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
    EXPECT_LT(p.world.clock.nowMs(), 30'000) << "the wait for the copy ends";
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

TEST(UpdateResponse, ABuildWithAControlCharacterIsNeverVerifiedAndShownTextIsOneClearLine) {
    for (const char* refused : {"7\n", "7\nMZ", "\r7", "7\t", "\x7f", "\x01"})
        EXPECT_FALSE(update::IsSignableBuild(refused)) << refused;
    for (const char* signable : {"7", "", "6.5 beta", "\xE9"})
        EXPECT_TRUE(update::IsSignableBuild(signable)) << signable;
    EXPECT_EQ(update::ShownVersionText("2.0\r\n\x1b[31mfake\x7f"), "2.0[31mfake");
    EXPECT_EQ(update::ShownVersionText(std::string(500, 'v')), std::string(40, 'v'));
}

TEST_F(Update, ABuildHoldingALineFeedIsRefusedBeforeTheSignatureIsChecked) {
    // A published file with a line feed in it, signed as build 7: announced
    // as build "7", a line feed and its first part, the signature would hold
    // for its last part alone.
    const std::string published = windowsProgram("7") + "\n" + windowsProgram("evil");
    serve("#x#2.0#" + std::string(kNewFile) + "#7\n" + windowsProgram("7") + "#" +
          signatureOf("7", published) + "#");
    p.world.http.answers[kNewFile] = {windowsProgram("evil")};
    p.start();
    p.window.Menu_checkforupdate.click();
    p.world.runFor(0);
    p.window.B_update.click();
    p.world.runFor(0);
    EXPECT_TRUE(p.world.signatures.checked.empty());
    EXPECT_TRUE(p.world.shell.starts.empty());
    EXPECT_FALSE(p.world.files.fileExists(kUpdater));
}

TEST_F(Update, AFolderUnderTheUpdaterFilesNameIsNamedInsteadOfFailingSilently) {
    p.world.files.addFolder(kUpdater);
    serve(announce(windowsProgram("7")));
    p.start();
    p.window.Menu_checkforupdate.click();
    p.world.runFor(0);
    p.window.B_update.click();
    EXPECT_EQ(p.window.L_Text.text(),
              "C:\\nolvaraupdate.exe cannot be made: a folder of that name is in the way. Remove or "
              "rename that folder, then try again.");
    EXPECT_EQ(p.world.http.requests.size(), 1u) << "no download";
}

TEST(Updaters, NoCopyThatCouldNotBeMadeIsEverStarted) {
    // The running updater's own file is not there to hold, so no copy can
    // follow: the old file is not deleted, and only the silent updater
    // starts it again, as the hidden run ended for it.
    const std::pair<std::vector<std::string>, std::string> runs[] = {
        {{"-update", "silent"}, kInstalled},
        {{"-update", "C:\\Nolvara\\P_nolvara.exe"}, kInstalled},
        {{"-update", "C:\\Users\\Ann\\P_nolvara.exe"}, "C:\\Users\\Ann\\P_nolvara.exe"},
    };
    for (const auto& [args, target] : runs) {
        ProgramRig p(args);
        p.world.system.args[0] = kUpdater;
        p.world.files.addFile(target, windowsProgram("6"));
        p.world.registry.setInteger(kKey, "autostart", 1);
        p.world.registry.setInteger(kKey, "version", 6);
        p.world.registry.setText(kKey, "routerip", "10.0.0.1");
        p.start();
        EXPECT_EQ(p.world.files.file(target)->bytes, windowsProgram("6")) << args[1];
        const std::vector<std::string> started(args[1] == "silent", kInstalled);
        std::vector<std::string> starts;
        for (const auto& start : p.world.shell.starts) starts.push_back(start.file);
        EXPECT_EQ(starts, started) << args[1];
        EXPECT_TRUE(p.world.system.terminateRequested()) << args[1];
    }
}

}  // namespace
