// Files, processes and the shell's start of a file on the test's own prefix.
#include <gtest/gtest.h>
#include <windows.h>
// Both need the types of windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/win32/Win32Files.h"
#include "shell/FolderTrust.h"
#include "win32/TestFiles.h"

namespace {

using platform::win32::FileHandle;
using platform::win32::KernelHandle;

std::string readAll(const std::string& path) {
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    if (!file) return "<missing>";
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

// Polls for what another process does; bounded, so a broken start fails the
// test instead of hanging it.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    for (int waitedMs = 0; waitedMs < timeoutMs; waitedMs += 50) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

std::string lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

using FindHandle = std::unique_ptr<void, decltype(&FindClose)>;

// A program started suspended: it runs no code and ends only when terminated.
struct SuspendedChild {
    explicit SuspendedChild(const std::string& program) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + program + "\"";
        if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                            CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
            return;
        id = info.dwProcessId;
        process.reset(info.hProcess);
        thread.reset(info.hThread);
    }
    DWORD id = 0;
    KernelHandle process;
    KernelHandle thread;
};

// A folder of the test's own below the temporary folder, emptied and removed
// when the test ends.
class TempFolderTest : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "nolvara-files-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    }
    void TearDown() override { removeTree(dir); }

    static void removeTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE first = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (first == INVALID_HANDLE_VALUE) return;
        const FindHandle find(first, &FindClose);
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find.get(), &found));
        RemoveDirectoryA(folder.c_str());
    }
    std::string at(const std::string& name) const { return dir + "\\" + name; }
    void make(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(win32_tests::writeBytes(at(name), bytes));
    }

    std::string dir;
    platform::win32::Win32FileSystem files;
};

class Win32Files : public TempFolderTest {};
class Win32Processes : public TempFolderTest {};
class Win32Shell : public TempFolderTest {};

TEST_F(Win32Files, ReadOnlyAttributeChangesAloneKeepingTheOthers) {
    make("hidden.exe", "x");
    const std::string path = at("hidden.exe");
    // The archive attribute is the system's to set (Wine shows it on every file).
    const auto attributes = [&] {
        return GetFileAttributesA(path.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE;
    };
    const DWORD others = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), others));
    EXPECT_TRUE(files.setReadOnly(path, true));
    EXPECT_EQ(attributes(), others | FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(files.isReadOnly(path));
    EXPECT_FALSE(files.deleteFile(path)) << "the system refuses to delete a read-only file";
    EXPECT_TRUE(files.setReadOnly(path, false));
    EXPECT_EQ(attributes(), others);
    EXPECT_FALSE(files.isReadOnly(path));

    // Read-only was the only attribute: clearing it leaves none.
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(files.setReadOnly(path, false));
    EXPECT_FALSE(files.isReadOnly(path));
    EXPECT_TRUE(files.deleteFile(path));
    EXPECT_FALSE(files.deleteFile(path));
    EXPECT_FALSE(files.setReadOnly(path, true));
}

// The access list the system reports for a file or folder, in SDDL: the
// owner's and the group's parts left out, as they depend on who runs the test.
std::string accessListOf(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return "<unreadable>";
    char* text = nullptr;
    std::string sddl = "<not convertible>";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        sddl = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return sddl;
}

// Administrators and SYSTEM full control, everyone read and execute, and
// nothing inherited ("P"); a folder hands the same on to what is made in it.
constexpr const char* kProtectedFile = "D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;WD)";
constexpr const char* kProtectedFolder =
    "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;WD)";

// Windows keeps the access list a file is made with. Wine keeps none: it
// reports one made up from the Unix file mode, whatever the file was made
// with. A file made with a list of its own tells the two apart.
bool systemKeepsAccessLists(const std::string& probe) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;SY)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    CloseHandle(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_ALWAYS, 0, nullptr));
    LocalFree(descriptor);
    return accessListOf(probe) == "D:P(A;;FA;;;SY)";
}

#define EXPECT_ACCESS_LIST(path, expected)                                      \
    do {                                                                        \
        if (systemKeepsAccessLists(at("probe")))                                \
            EXPECT_EQ(accessListOf(path), expected) << path;                    \
        else                                                                    \
            std::printf("  (this system keeps no access lists: %s unchecked)\n", \
                        std::string(path).c_str());                             \
    } while (false)

TEST(Win32ProtectedSecurity, AdministratorsAndSystemMayDoAllEveryoneOnlyReadAndRun) {
    const auto sidOf = [](WELL_KNOWN_SID_TYPE type) {
        std::string sid(SECURITY_MAX_SID_SIZE, '\0');
        DWORD size = static_cast<DWORD>(sid.size());
        CreateWellKnownSid(type, nullptr, sid.data(), &size);
        sid.resize(size);
        return sid;
    };
    const std::string administrators = sidOf(WinBuiltinAdministratorsSid);
    const std::string system = sidOf(WinLocalSystemSid);
    const std::string everyone = sidOf(WinWorldSid);
    for (const auto kind : {platform::win32::ProtectedSecurity::Kind::File,
                            platform::win32::ProtectedSecurity::Kind::Folder}) {
        platform::win32::ProtectedSecurity security(kind);
        ASSERT_NE(security.get(), nullptr);
        PSECURITY_DESCRIPTOR descriptor = security.get()->lpSecurityDescriptor;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the folder above";
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
        ASSERT_TRUE(present && dacl != nullptr);
        std::map<std::string, DWORD> granted;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
            EXPECT_EQ(ace->Header.AceFlags & inherit,
                      kind == platform::win32::ProtectedSecurity::Kind::Folder ? inherit : 0);
            const auto* sid = reinterpret_cast<const char*>(&ace->SidStart);
            granted[std::string(sid, GetLengthSid(const_cast<char*>(sid)))] |= ace->Mask;
        }
        EXPECT_EQ(granted.size(), 3u);
        EXPECT_EQ(granted[administrators], static_cast<DWORD>(FILE_ALL_ACCESS));
        EXPECT_EQ(granted[system], static_cast<DWORD>(FILE_ALL_ACCESS));
        EXPECT_EQ(granted[everyone], static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE));
    }
}

TEST_F(Win32Files, CopyOverwritesAProtectedCopyIsMadeOnlyAnew) {
    make("new.exe", "new program");
    make("old.exe", "old");
    EXPECT_TRUE(files.copyFile(at("new.exe"), at("old.exe")));
    EXPECT_EQ(readAll(at("old.exe")), "new program");
    EXPECT_FALSE(files.copyFile(at("missing.exe"), at("other.exe")));

    make("old.exe", "old");
    EXPECT_FALSE(files.createProtectedCopy(at("new.exe"), at("old.exe")));
    EXPECT_EQ(readAll(at("old.exe")), "old");
    // A hard link to someone else's file is not written through either.
    make("system.dll", "system file");
    ASSERT_TRUE(CreateHardLinkA(at("link.exe").c_str(), at("system.dll").c_str(), nullptr));
    EXPECT_FALSE(files.createProtectedCopy(at("new.exe"), at("link.exe")));
    EXPECT_FALSE(files.createProtectedFile(at("link.exe"), "x"));
    EXPECT_EQ(readAll(at("system.dll")), "system file");

    // A copy of a read-only file (from a CD, say) is no read-only file: it
    // must be deleted again without ado.
    const std::string big = std::string(200000, 'b') + "end";
    make("big.exe", big);
    ASSERT_TRUE(SetFileAttributesA(at("big.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(files.createProtectedCopy(at("big.exe"), at("fresh.exe")));
    EXPECT_FALSE(files.isReadOnly(at("fresh.exe")));
    EXPECT_EQ(readAll(at("fresh.exe")), big);
    EXPECT_ACCESS_LIST(at("fresh.exe"), kProtectedFile);
    EXPECT_FALSE(files.createProtectedCopy(at("missing.exe"), at("other.exe")));
    EXPECT_FALSE(files.fileExists(at("other.exe")));
}

TEST_F(Win32Files, ProtectedFoldersAreMadeOneLevelAtATimeAndRemovedOnlyEmpty) {
    EXPECT_FALSE(files.createProtectedFolder(at("Nolvara\\inner"))) << "the folder above is missing";
    EXPECT_FALSE(files.folderExists(at("Nolvara")));
    EXPECT_TRUE(files.createProtectedFolder(at("Nolvara")));
    EXPECT_FALSE(files.createProtectedFolder(at("Nolvara"))) << "already there";
    EXPECT_TRUE(files.folderExists(at("Nolvara")));
    EXPECT_FALSE(files.fileExists(at("Nolvara")));
    EXPECT_ACCESS_LIST(at("Nolvara"), kProtectedFolder);

    make("Nolvara\\P_nolvara.exe", "x");
    EXPECT_TRUE(files.fileExists(at("Nolvara\\P_nolvara.exe")));
    EXPECT_FALSE(files.folderExists(at("Nolvara\\P_nolvara.exe")));
    EXPECT_FALSE(files.removeFolder(at("Nolvara")));
    EXPECT_TRUE(files.folderExists(at("Nolvara")));
    ASSERT_TRUE(files.deleteFile(at("Nolvara\\P_nolvara.exe")));
    EXPECT_FALSE(files.fileExists(at("Nolvara\\P_nolvara.exe")));
    EXPECT_TRUE(files.removeFolder(at("Nolvara")));
    EXPECT_FALSE(files.folderExists(at("Nolvara")));
}

TEST_F(Win32Files, AFoldersOwnerAndAccessListAreReadAsTheFolderCheckJudgesThem) {
    EXPECT_FALSE(files.folderSecurity(at("missing")).has_value());
    ASSERT_TRUE(files.createProtectedFolder(at("Ours")));
    const auto ours = files.folderSecurity(at("Ours"));
    ASSERT_TRUE(ours.has_value());
    EXPECT_TRUE(ours->hasAccessList);
    EXPECT_NE(ours->owner, platform::Trustee::Other);
    EXPECT_TRUE(shell::FolderIsTrusted(ours));
    RemoveDirectoryA(at("Ours").c_str());

    // Wine keeps no access lists, so the reading of one is checked on
    // descriptors made from text: owner, kinds of entry, flags, trustees.
    const std::string user = platform::win32::CurrentUserSidText();
    ASSERT_FALSE(user.empty());
    using platform::Trustee;
    const struct {
        std::string sddl;
        Trustee owner;
        std::vector<platform::AccessEntry> entries;
    } cases[] = {
        {"O:BAD:P(A;;FA;;;SY)(A;;0x1200a9;;;WD)",
         Trustee::Administrators,
         {{true, Trustee::System, 0x1f01ff, false}, {true, Trustee::Other, 0x1200a9, false}}},
        {"O:" + user + "D:(D;;0x2;;;WD)(A;OICIIO;FA;;;CO)(A;;0x1301bf;;;" + user + ")",
         Trustee::CurrentUser,
         {{false, Trustee::Other, 0x2, false},
          {true, Trustee::Other, 0x1f01ff, true},
          {true, Trustee::CurrentUser, 0x1301bf, false}}},
        {"O:SYD:(A;;0x40;;;BU)", Trustee::System, {{true, Trustee::Other, 0x40, false}}},
        {"O:WDD:", Trustee::Other, {}},
    };
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            c.sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            << c.sddl;
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL defaulted = FALSE, present = FALSE;
        GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
        const platform::FolderSecurity read = platform::win32::ReadFolderSecurity(owner, dacl, user);
        LocalFree(descriptor);
        EXPECT_EQ(read.owner, c.owner) << c.sddl;
        EXPECT_TRUE(read.hasAccessList) << c.sddl;
        ASSERT_EQ(read.entries.size(), c.entries.size()) << c.sddl;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(read.entries[i].allow, c.entries[i].allow) << c.sddl << " #" << i;
            EXPECT_EQ(read.entries[i].who, c.entries[i].who) << c.sddl << " #" << i;
            EXPECT_EQ(read.entries[i].rights, c.entries[i].rights) << c.sddl << " #" << i;
            EXPECT_EQ(read.entries[i].inheritOnly, c.entries[i].inheritOnly) << c.sddl << " #" << i;
        }
    }
    EXPECT_FALSE(platform::win32::ReadFolderSecurity(nullptr, nullptr, user).hasAccessList);
}

TEST_F(Win32Files, AProtectedFileIsWrittenWholeAndOnlyWhereNothingIs) {
    const std::string batch("del \"C:\\n\xE9w\"\r\n\0end", 19);
    EXPECT_TRUE(files.createProtectedFile(at("remove.bat"), batch));
    EXPECT_EQ(readAll(at("remove.bat")), batch);
    EXPECT_ACCESS_LIST(at("remove.bat"), kProtectedFile);
    EXPECT_FALSE(files.createProtectedFile(at("remove.bat"), "other"));
    EXPECT_EQ(readAll(at("remove.bat")), batch);
    EXPECT_TRUE(files.createProtectedFile(at("empty.bat"), ""));
    EXPECT_EQ(readAll(at("empty.bat")), "");
    EXPECT_FALSE(files.createProtectedFile(at("missing\\remove.bat"), "x"));
}

TEST_F(Win32Files, AHeldFileCanBeReadAndRunButNotChangedRenamedOrDeleted) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string program = at("nolvaraupdate.exe");
    ASSERT_TRUE(CopyFileA(self, program.c_str(), TRUE));
    const std::string bytes = readAll(program);
    {
        const auto held = files.holdFile(program, 64 << 20);
        ASSERT_NE(held, nullptr);
        EXPECT_TRUE(held->complete());
        EXPECT_EQ(held->bytes(), bytes);
        EXPECT_FALSE(KernelHandle(CreateFileA(program.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr)));
        EXPECT_FALSE(DeleteFileA(program.c_str()));
        EXPECT_FALSE(MoveFileA(program.c_str(), at("moved.exe").c_str()));
        EXPECT_EQ(readAll(program), bytes) << "others may read it";

        // The system starts the held program: a copy of this test program,
        // ended at once.
        const SuspendedChild child(program);
        ASSERT_TRUE(child.process);
        TerminateProcess(child.process.get(), 0);
        WaitForSingleObject(child.process.get(), 10000);
    }
    EXPECT_TRUE(DeleteFileA(program.c_str())) << "let go";

    make("long.exe", "0123456789");
    const auto tooLong = files.holdFile(at("long.exe"), 9);
    ASSERT_NE(tooLong, nullptr);
    EXPECT_FALSE(tooLong->complete());
    EXPECT_EQ(tooLong->bytes(), "012345678");
    const auto exact = files.holdFile(at("long.exe"), 10);
    ASSERT_NE(exact, nullptr) << "two holders may read side by side";
    EXPECT_TRUE(exact->complete());
    EXPECT_EQ(files.holdFile(at("missing.exe"), 10), nullptr);
    const KernelHandle writer(CreateFileA(at("open.exe").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(files.holdFile(at("open.exe"), 10), nullptr) << "someone still writes to it";
}

constexpr const char* kMovedVariable = "NOLVARA_MOVED_SELF";

// Runs in a copy of this test program that the test below starts: it renames
// its own file aside and puts another under the name, as code of the user's
// could before the run held it.
TEST(Win32RunningProgram, IsHeldOnlyUnderTheNameItRunsFromNow) {
    const char* moved = std::getenv(kMovedVariable);
    if (moved == nullptr) GTEST_SKIP() << "started by the test below only";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string bytes = readAll(self);
    ASSERT_TRUE(MoveFileA(self, moved));
    ASSERT_TRUE(win32_tests::writeBytes(self, bytes)) << "even the same bytes are not the image";
    platform::win32::Win32FileSystem files;
    EXPECT_EQ(files.holdRunningProgram(self, 64 << 20), nullptr);
    const auto held = files.holdRunningProgram(moved, 64 << 20);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->bytes(), bytes);
    EXPECT_FALSE(MoveFileA(moved, (std::string(moved) + ".2").c_str())) << "held where it is";
}

TEST_F(Win32Files, TheRunningProgramIsHeldOnlyAsTheFileItWasStartedFrom) {
    if (std::getenv(kMovedVariable) != nullptr) GTEST_SKIP() << "this is the renamed copy";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    EXPECT_NE(files.holdRunningProgram(self, 64 << 20), nullptr);
    const std::string program = at("P_nolvara.exe");
    ASSERT_TRUE(CopyFileA(self, program.c_str(), TRUE));
    EXPECT_EQ(files.holdRunningProgram(program, 64 << 20), nullptr) << "a copy is not the image";

    EXPECT_EQ(
        win32_tests::runTestsIn(program, "Win32RunningProgram.*", kMovedVariable, at("moved.exe")),
        0)
        << "the renamed copy's checks (its output above)";
    EXPECT_NE(readAll(at("moved.exe")), "<missing>") << "the copy ran its checks";
}

TEST_F(Win32Processes, SnapshotListsProcessesByFileNameAndTerminateEndsOne) {
    platform::win32::Win32Processes processes;
    ASSERT_EQ(processes.currentProcessId(), GetCurrentProcessId());
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const auto entries = processes.snapshot();
    const auto me = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
        return e.id == processes.currentProcessId();
    });
    ASSERT_NE(me, entries.end());
    EXPECT_EQ(lower(me->exeFile), lower(std::strrchr(self, '\\') + 1));

    // A copy of this program under a name of its own, held suspended.
    const std::string program = at("Nolvara_Child.exe");
    ASSERT_TRUE(CopyFileA(self, program.c_str(), TRUE));
    const SuspendedChild child(program);
    ASSERT_TRUE(child.process);
    const KernelHandle& process = child.process;

    const auto listed = processes.snapshot();
    const auto entry = std::find_if(listed.begin(), listed.end(),
                                    [&](const auto& e) { return e.id == child.id; });
    // No early return from here: the child must not outlive the test.
    EXPECT_TRUE(entry != listed.end() && entry->exeFile == "Nolvara_Child.exe");

    EXPECT_TRUE(processes.terminate(child.id));
    ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(processes.terminate(0xFFFFFFF0)) << "no such process";
}

TEST_F(Win32Processes, LowerCaseFollowsTheSystemCodePage) {
    platform::win32::Win32Processes processes;
    EXPECT_EQ(processes.toLower("P_NOLVARA.EXE"), "p_nolvara.exe");
    EXPECT_EQ(processes.toLower(""), "");
    if (GetACP() == 1252) {
        EXPECT_EQ(processes.toLower("\xC4\xD6\xDC.EXE"), "\xE4\xF6\xFC.exe");
    }
}

TEST_F(Win32Shell, StartsAProgramWithArgumentsAndOpensABatchFile) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    platform::win32::Win32Shell shell;

    EXPECT_TRUE(shell.start(cmd, "/c echo started>\"" + at("started.txt") + "\""));
    EXPECT_TRUE(waitFor([&] { return readAll(at("started.txt")) == "started\r\n"; }))
        << readAll(at("started.txt"));

    make("remove.bat", "@echo opened>\"" + at("opened.txt") + "\"\r\n");
    EXPECT_TRUE(shell.runBatch(at("remove.bat")));
    EXPECT_TRUE(waitFor([&] { return readAll(at("opened.txt")) == "opened\r\n"; }))
        << readAll(at("opened.txt"));

    EXPECT_FALSE(shell.start(at("missing.exe"), ""));
    EXPECT_FALSE(shell.runBatch(at("missing.bat")));
}

}  // namespace
