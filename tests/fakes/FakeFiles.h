// In-memory files and folders, processes and shell starts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Shell.h"

namespace fakes {

// Paths compare without regard to case, as on Windows. A folder path is kept
// with its final backslash.
class FakeFileSystem : public platform::FileSystem {
public:
    struct File {
        std::string bytes;
        bool readOnly = false;
        // Made with the protected access list.
        bool isProtected = false;
        // Held open against writers, renames and deletion (holdFile).
        int holds = 0;
    };
    FakeFileSystem() { folders_.insert("c:\\"); }

    bool fileExists(const std::string& path) override { return files_.count(key(path)) > 0; }
    bool folderExists(const std::string& path) override { return folders_.count(folderKey(path)) > 0; }
    bool isReadOnly(const std::string& path) override;
    bool setReadOnly(const std::string& path, bool readOnly) override;
    bool deleteFile(const std::string& path) override;
    bool copyFile(const std::string& source, const std::string& target) override;
    bool createProtectedCopy(const std::string& source, const std::string& target) override;
    bool createProtectedFile(const std::string& path, const std::string& bytes) override;
    bool createProtectedFolder(const std::string& path) override;
    bool removeFolder(const std::string& path) override;
    // An existing folder reports what setFolderSecurity gave it, else the
    // protected access list with the Administrators as owner.
    std::optional<platform::FolderSecurity> folderSecurity(const std::string& path) override;
    bool replaceFile(const std::string& path, const std::string& bytes) override {
        return writeFile(path, bytes);
    }
    std::unique_ptr<platform::HeldFile> holdFile(const std::string& path,
                                                 std::size_t maxBytes) override;
    // Set: the running file was swapped before the run could hold it.
    bool programSwapped = false;
    std::unique_ptr<platform::HeldFile> holdRunningProgram(const std::string& p,
                                                           std::size_t max) override {
        return programSwapped ? nullptr : holdFile(p, max);
    }
    // What a writer such as a download puts into a file; false while it is
    // read-only or held.
    bool writeFile(const std::string& path, const std::string& bytes);

    // Test set-up and inspection.
    void addFile(const std::string& path, const std::string& bytes, bool readOnly = false);
    void addFolder(const std::string& path) { folders_.insert(folderKey(path)); }
    const File* file(const std::string& path) const;
    void setFolderSecurity(const std::string& path, platform::FolderSecurity security) {
        securities_[folderKey(path)] = std::move(security);
    }
    bool folderIsProtected(const std::string& path) const {
        return protectedFolders_.count(folderKey(path)) > 0;
    }
    // Files that cannot be deleted, as while a process runs them.
    std::set<std::string> locked;
    void lock(const std::string& path) { locked.insert(key(path)); }

private:
    static std::string key(const std::string& path);
    static std::string folderKey(const std::string& path);
    static std::string parentOf(const std::string& path);
    bool create(const std::string& path, const std::string& bytes);
    std::map<std::string, File> files_;
    std::set<std::string> folders_;
    std::set<std::string> protectedFolders_;
    std::map<std::string, platform::FolderSecurity> securities_;
};

class FakeProcesses : public platform::Processes {
public:
    std::vector<platform::ProcessEntry> snapshot() override {
        ++snapshots;
        return running;
    }
    std::uint32_t currentProcessId() override { return self; }
    bool terminate(std::uint32_t id) override;
    std::string toLower(const std::string& text) override;
    bool inOwnSession(std::uint32_t id) override { return otherSession.count(id) == 0; }
    std::uint32_t foregroundProcessId() override { return foreground; }
    // Held while it runs: ended once it left the list.
    std::unique_ptr<platform::RunningProcess> hold(std::uint32_t id) override;

    std::vector<platform::ProcessEntry> running;
    std::uint32_t self = 1;
    std::set<std::uint32_t> protectedIds;  // cannot be ended
    std::set<std::uint32_t> otherSession;  // run in another user's session
    std::set<std::uint32_t> unholdable;    // may not be opened
    std::uint32_t foreground = 0;
    int snapshots = 0;
    std::vector<std::uint32_t> terminated;
    // What ending a process frees, such as the file it ran.
    std::function<void(std::uint32_t)> onTerminate;
};

class FakeShell : public platform::Shell {
public:
    struct Start {
        std::string file;
        std::string arguments;
        bool hidden;
        bool asUser = false;
    };
    bool start(const std::string& file, const std::string& arguments) override {
        starts.push_back({file, arguments, false});
        if (onStart) onStart(starts.back());
        return true;
    }
    // Elevated starts are recorded apart; elevationRefused plays the user who says no.
    bool startElevated(const std::string& file, const std::string& arguments) override {
        elevatedStarts.push_back({file, arguments, false});
        return !elevationRefused;
    }
    std::optional<int> runElevated(const std::string& file, const std::string& arguments,
                                   int) override {
        if (!startElevated(file, arguments)) return std::nullopt;
        return elevatedExitCode;
    }
    // userRightsUnavailable: no desktop shell lends the user's own rights.
    bool startAsUser(const std::string& file, const std::string& arguments) override {
        return !userRightsUnavailable && start(file, arguments) && (starts.back().asUser = true);
    }
    bool runBatch(const std::string& file) override {
        starts.push_back({file, "", true});
        if (onStart) onStart(starts.back());
        return true;
    }
    std::vector<Start> starts;
    std::vector<Start> elevatedStarts;
    bool elevationRefused = false;
    std::optional<int> elevatedExitCode = 0;
    bool userRightsUnavailable = false;
    // What the started program does, as far as a test needs it.
    std::function<void(const Start&)> onStart;
};

}  // namespace fakes
