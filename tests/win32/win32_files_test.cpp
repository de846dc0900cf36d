// Files, processes and the shell's start of a file on the test's own prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "platform/win32/Win32Files.h"

namespace {

using platform::win32::FileHandle;
using platform::win32::KernelHandle;

std::string readAll(const std::string& path) {
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    if (!file) return "<missing>";
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
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
        ASSERT_TRUE(files.writeFile(at(name), bytes));
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

TEST_F(Win32Files, CopyWithoutOverwriteLeavesAnExistingTargetUntouched) {
    make("new.exe", "new program");
    make("old.exe", "old");
    EXPECT_FALSE(files.copyFile(at("new.exe"), at("old.exe"), false));
    EXPECT_EQ(readAll(at("old.exe")), "old");
    EXPECT_TRUE(files.copyFile(at("new.exe"), at("old.exe"), true));
    EXPECT_EQ(readAll(at("old.exe")), "new program");
    EXPECT_TRUE(files.copyFile(at("new.exe"), at("fresh.exe"), false));
    EXPECT_EQ(readAll(at("fresh.exe")), "new program");
    EXPECT_FALSE(files.copyFile(at("missing.exe"), at("other.exe"), true));
}

TEST_F(Win32Files, FoldersAreMadeOneLevelAtATimeAndRemovedOnlyEmpty) {
    EXPECT_FALSE(files.createFolder(at("Nolvara\\inner"))) << "the folder above is missing";
    EXPECT_FALSE(files.folderExists(at("Nolvara")));
    EXPECT_TRUE(files.createFolder(at("Nolvara")));
    EXPECT_FALSE(files.createFolder(at("Nolvara"))) << "already there";
    EXPECT_TRUE(files.folderExists(at("Nolvara")));
    EXPECT_FALSE(files.fileExists(at("Nolvara")));

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

TEST_F(Win32Files, WriteFileReplacesTheWholeContent) {
    make("remove.bat", "a much longer first content\r\n");
    make("remove.bat", std::string("del \"C:\\n\xE9w\"\r\n\0end", 19));
    EXPECT_EQ(readAll(at("remove.bat")), std::string("del \"C:\\n\xE9w\"\r\n\0end", 19));
    make("remove.bat", "");
    EXPECT_EQ(readAll(at("remove.bat")), "");
    EXPECT_FALSE(files.writeFile(at("missing\\remove.bat"), "x"));
}

TEST_F(Win32Files, ReadFileGivesTheStartOfTheFileUpToTheLimit) {
    const std::string bytes = std::string("MZ\0\x90", 4) + std::string(3 << 20, '\x5A') + "end";
    make("update.exe", bytes);
    EXPECT_EQ(files.readFile(at("update.exe"), 4), bytes.substr(0, 4));
    EXPECT_EQ(files.readFile(at("update.exe"), bytes.size() + 10), bytes)
        << "more than one read's worth, up to the end";
    make("empty.exe", "");
    EXPECT_EQ(files.readFile(at("empty.exe"), 4096), "");
    EXPECT_EQ(files.readFile(at("missing.exe"), 4096), "");
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

    // A copy of this program under a name of its own, held suspended: it
    // runs no code and ends only when terminated.
    const std::string child = at("Nolvara_Child.exe");
    ASSERT_TRUE(CopyFileA(self, child.c_str(), TRUE));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + child + "\"";
    ASSERT_TRUE(CreateProcessA(child.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);

    const auto listed = processes.snapshot();
    const auto entry = std::find_if(listed.begin(), listed.end(),
                                    [&](const auto& e) { return e.id == info.dwProcessId; });
    // No early return from here: the child must not outlive the test.
    EXPECT_TRUE(entry != listed.end() && entry->exeFile == "Nolvara_Child.exe");

    EXPECT_TRUE(processes.terminate(info.dwProcessId));
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
    EXPECT_TRUE(shell.openHidden(at("remove.bat")));
    EXPECT_TRUE(waitFor([&] { return readAll(at("opened.txt")) == "opened\r\n"; }))
        << readAll(at("opened.txt"));

    EXPECT_FALSE(shell.start(at("missing.exe"), ""));
    EXPECT_FALSE(shell.openHidden(at("missing.bat")));
}

}  // namespace
