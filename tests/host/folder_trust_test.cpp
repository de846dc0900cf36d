// Whether an install folder that was there before may take the program's copy.
#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "shell/FolderTrust.h"

namespace {

using platform::AccessEntry;
using platform::FolderSecurity;
using platform::Trustee;

constexpr std::uint32_t kFull = 0x1f01ff;
constexpr std::uint32_t kReadExecute = 0x1200a9;

FolderSecurity folder(Trustee owner, std::vector<AccessEntry> more = {}) {
    FolderSecurity security{owner, true,
                            {{true, Trustee::Administrators, kFull, false},
                             {true, Trustee::System, kFull, false},
                             {true, Trustee::Other, kReadExecute, false}}};
    security.entries.insert(security.entries.end(), more.begin(), more.end());
    return security;
}

TEST(FolderTrust, OwnerAndEveryChangingRightOfAnyoneElseDecide) {
    for (const Trustee owner : {Trustee::Administrators, Trustee::System, Trustee::CurrentUser})
        EXPECT_TRUE(shell::FolderIsTrusted(folder(owner))) << static_cast<int>(owner);
    EXPECT_FALSE(shell::FolderIsTrusted(folder(Trustee::Other)));
    EXPECT_FALSE(shell::FolderIsTrusted(std::nullopt)) << "unreadable";
    FolderSecurity noList = folder(Trustee::Administrators);
    noList.hasAccessList = false;
    EXPECT_FALSE(shell::FolderIsTrusted(noList)) << "no list grants everyone everything";

    // Write / add file, append / add subfolder, delete child, delete, change
    // the list, take ownership, generic all, generic write.
    for (const std::uint32_t right : {0x2u, 0x4u, 0x40u, 0x10000u, 0x40000u, 0x80000u,
                                      0x10000000u, 0x40000000u}) {
        EXPECT_FALSE(shell::FolderIsTrusted(
            folder(Trustee::Administrators, {{true, Trustee::Other, right, false}})))
            << std::hex << right;
        EXPECT_TRUE(shell::FolderIsTrusted(
            folder(Trustee::Administrators, {{true, Trustee::CurrentUser, right, false}})))
            << "the running user's own " << std::hex << right;
        EXPECT_TRUE(shell::FolderIsTrusted(
            folder(Trustee::Administrators, {{false, Trustee::Other, right, false}})))
            << "denied " << std::hex << right;
        EXPECT_TRUE(shell::FolderIsTrusted(
            folder(Trustee::Administrators, {{true, Trustee::Other, right, true}})))
            << "only passed on to what is made inside " << std::hex << right;
    }
    // Reading, running, the attributes: nothing that changes what runs.
    EXPECT_TRUE(shell::FolderIsTrusted(
        folder(Trustee::Administrators, {{true, Trustee::Other, 0x1201bf & ~0x6u, false}})));

    // Above the install folder others may make folders of their own, but not
    // delete or move what is there; the drive root cannot itself be moved.
    using shell::FolderRole;
    const struct {
        std::uint32_t right;
        bool above, root;
    } roles[] = {{0x2, true, true},      {0x4, true, true},       {0x40, false, false},
                 {0x10000, false, true}, {0x40000, false, false}, {0x80000, false, false},
                 {0x10000000, false, false}};
    for (const auto& [right, above, root] : roles) {
        const FolderSecurity others =
            folder(Trustee::Administrators, {{true, Trustee::Other, right, false}});
        EXPECT_EQ(shell::FolderIsTrusted(others, FolderRole::Above), above) << std::hex << right;
        EXPECT_EQ(shell::FolderIsTrusted(others, FolderRole::DriveRoot), root) << std::hex << right;
    }
    EXPECT_FALSE(shell::FolderIsTrusted(folder(Trustee::Other), FolderRole::DriveRoot));
}

TEST(FolderTrust, ApplyAndTheUnattendedInstallUseNoFolderOthersMayChange) {
    const std::string shared = "C:\\Shared\\Nolvara\\";
    const FolderSecurity usersMayWrite =
        folder(Trustee::Administrators, {{true, Trustee::Other, 0x1301bf, false}});
    {
        ProgramRig p;
        p.world.files.addFile(kSelf, "program");
        p.world.registry.setInteger(kService, "Start", 2);
        p.world.files.addFolder("C:\\Shared\\");
        p.world.files.addFolder(shared);
        p.world.files.setFolderSecurity(shared, usersMayWrite);
        p.start();
        auto& w = p.window;
        w.Chk_autostart.click();
        w.speed_installpath.setText(shared);
        w.radio_lang_german.click();
        w.E_routerip.type("192.168.0.1");
        w.B_addip.click();
        w.B_saveip.click();
        w.b_apply.click();
        // Nothing of the panel is taken, its language neither.
        EXPECT_EQ(w.L_Text.text(),
                  "The folder C:\\Shared\\Nolvara\\ can be changed by other users of this "
                  "computer. Nolvara does not install itself there, as what they put into it would "
                  "run with administrator rights. Choose another folder, or one that Nolvara makes "
                  "itself. The settings were not changed.");
        EXPECT_FALSE(p.world.registry.get(kRun, "Nolvara").has_value());
        EXPECT_FALSE(p.world.registry.get(kKey, "installpath").has_value());
        EXPECT_FALSE(p.world.registry.get(kKey, "language").has_value());
        EXPECT_FALSE(p.world.files.fileExists(shared + "P_nolvara.exe"));
        EXPECT_EQ(p.world.files.folderSecurity(shared)->entries.size(), 4u) << "left as it was";

        // A folder made in this step is the program's own; one that was
        // there is judged by its list, and so is every folder above it.
        EXPECT_TRUE(w.CreateInstallFolder("C:\\Mine\\New\\"));
        p.world.files.setFolderSecurity("C:\\Mine\\New\\", usersMayWrite);
        EXPECT_FALSE(w.CreateInstallFolder("C:\\Mine\\New\\"));
        EXPECT_FALSE(w.CreateInstallFolder("C:\\Mine\\New\\Deeper\\"));
        EXPECT_FALSE(p.world.files.folderExists("C:\\Mine\\New\\Deeper\\"));
        w.speed_installpath.setText("C:\\Mine\\Own\\");
        w.b_apply.click();
        EXPECT_EQ(w.L_Text.text(), "Neue Einstellungen wurden \xFC"
                                   "bernommen!");
        EXPECT_TRUE(p.world.files.fileExists("C:\\Mine\\Own\\P_nolvara.exe"));

        // Automatic control started from the menu starts no copy there either.
        p.world.shell.starts.clear();
        w.state.installPath = shared;
        w.Menu_autocontrol.click();
        EXPECT_TRUE(p.world.shell.starts.empty());
        EXPECT_TRUE(w.L_Text.text().starts_with("Der Ordner C:\\Shared\\Nolvara\\ kann")) << w.L_Text.text();
    }
    {
        ProgramRig p({"-noguiinst", "-ip", "10.0.0.1", "-path", shared});
        p.world.files.addFile(kSelf, "program");
        p.world.files.addFolder("C:\\Shared\\");
        p.world.files.addFolder(shared);
        p.world.files.setFolderSecurity(shared, folder(Trustee::Other));
        p.start();
        EXPECT_TRUE(p.world.registry.valueNames(kKey).empty());
        EXPECT_TRUE(p.world.registry.valueNames(kIpList).empty());
        EXPECT_FALSE(p.world.registry.get(kRun, "Nolvara").has_value());
        EXPECT_TRUE(p.world.shell.starts.empty());
        EXPECT_TRUE(p.world.system.terminateRequested());
    }
}

TEST(FolderTrust, NoCopyInAFolderOthersMayChangeIsReplacedOrStartedWithAdministratorRights) {
    for (const bool silent : {true, false}) {
        ProgramRig p({"-update", silent ? "silent" : "C:\\Nolvara\\P_nolvara.exe"});
        p.world.system.args[0] = "C:\\nolvaraupdate.exe";
        p.world.files.addFile(p.world.system.args[0], "new");
        p.world.files.addFile(kInstalled, "old");
        p.world.files.setFolderSecurity("C:\\Nolvara\\", folder(Trustee::Other));
        p.world.registry.setInteger(kKey, "autostart", 1);
        p.world.registry.setInteger(kKey, "version", 6);
        p.world.registry.setText(kKey, "routerip", "10.0.0.1");
        p.start();
        EXPECT_EQ(p.world.files.file(kInstalled)->bytes, "old") << silent;
        EXPECT_TRUE(p.world.shell.starts.empty()) << silent;
    }
    // The uninstall then runs this program's own copy as the remover.
    ProgramRig p;
    p.world.files.addFile(kSelf, "program");
    p.world.files.addFile(kInstalled, "old");
    p.world.files.setFolderSecurity("C:\\Nolvara\\", folder(Trustee::Other));
    p.world.registry.setInteger(kKey, "autostart", 1);
    p.world.registry.setInteger(kKey, "version", 6);
    p.start();
    p.window.Menu_uninstall.click();
    ASSERT_FALSE(p.world.shell.starts.empty());
    EXPECT_EQ(p.world.shell.starts[0].file, "C:\\nolvararemove.exe");
    EXPECT_EQ(p.world.shell.starts[0].arguments, "-kill");
    EXPECT_EQ(p.world.files.file("C:\\nolvararemove.exe")->bytes, "program");
}

// Every copy is made from the program file as it was held at the start; a
// run that could not hold it as the running image copies, deletes and starts
// nothing, and the window says why (the updaters: Updaters.NoCopy...).
TEST(OwnProgram, EveryCopyComesFromTheFileHeldSinceTheStart) {
    struct Run {
        std::vector<std::string> args;
        std::string self, target;
    };
    const Run runs[] = {
        {{}, kSelf, kInstalled},  // Control > Enable automatic control
        {{"-kill"}, kInstalled, "C:\\nolvararemove.exe"},  // the uninstall's first stage
    };
    for (const bool swapped : {false, true}) {
        for (const Run& run : runs) {
            const std::string label = run.self + (swapped ? " swapped" : "");
            ProgramRig p(run.args);
            p.world.system.args[0] = run.self;
            p.world.files.addFile(run.self, "program");
            if (run.self != kSelf) p.world.files.addFile(run.target, "old");
            p.world.files.programSwapped = swapped;
            p.world.registry.setInteger(kKey, "autostart", run.self != kSelf);
            p.world.registry.setInteger(kKey, "version", 6);
            p.world.registry.setText(kIpList, "ip1", "192.168.0.1");
            p.world.registry.setInteger(kService, "Start", 2);
            p.start();
            if (run.self == kSelf) {
                // Changed under its name after the start, as Windows could not
                // let it be: the hold is what counts.
                p.world.files.addFile(kSelf, "impostor");
                p.window.Menu_autocontrol.click();
                EXPECT_EQ(p.window.L_Text.text().starts_with("Nolvara does not copy itself"),
                          swapped)
                    << label;
            }
            const auto* copy = p.world.files.file(run.target);
            const std::string before = run.self == kSelf ? "none" : "old";
            EXPECT_EQ(copy ? copy->bytes : "none", swapped ? before : "program") << label;
            EXPECT_EQ(p.world.shell.starts.size(), swapped ? 0u : 1u) << label;
        }
    }
}

}  // namespace
