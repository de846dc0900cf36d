// Files and folders, running processes and the shell's start of a file, on
// Windows itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Shell.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Dialogs.h"

namespace platform::win32 {

using FileHandle = KernelHandle;
using ProcessHandle = KernelHandle;
using Snapshot = KernelHandle;

class Win32FileSystem : public platform::FileSystem {
public:
    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    bool isReadOnly(const std::string& path) override;
    bool setReadOnly(const std::string& path, bool readOnly) override;
    bool deleteFile(const std::string& path) override;
    bool copyFile(const std::string& source, const std::string& target) override;
    bool createProtectedCopy(const std::string& source, const std::string& target) override;
    bool createProtectedFile(const std::string& path, const std::string& bytes) override;
    bool createProtectedFolder(const std::string& path) override;
    bool removeFolder(const std::string& path) override;
    std::optional<platform::FolderSecurity> folderSecurity(const std::string& path) override;
    // Written beside it under a name of its own, then moved over it.
    bool replaceFile(const std::string& path, const std::string& bytes) override;
    std::unique_ptr<platform::HeldFile> holdFile(const std::string& path,
                                                 std::size_t maxBytes) override;
    std::unique_ptr<platform::HeldFile> holdRunningProgram(const std::string& path,
                                                           std::size_t maxBytes) override;
};

// The protected access list of FileSystem as security attributes for
// CreateFileA and CreateDirectoryA; get() is null when the system could not
// build it, and nothing may then be created.
// An owner and access list as the folder check judges them; the running
// user is named by the text of his SID.
platform::FolderSecurity ReadFolderSecurity(PSID owner, const ACL* dacl,
                                            const std::string& currentUser);
std::string CurrentUserSidText();

class ProtectedSecurity {
public:
    enum class Kind { File, Folder };
    explicit ProtectedSecurity(Kind kind);
    ~ProtectedSecurity();
    ProtectedSecurity(const ProtectedSecurity&) = delete;
    ProtectedSecurity& operator=(const ProtectedSecurity&) = delete;
    SECURITY_ATTRIBUTES* get() { return attributes_.lpSecurityDescriptor ? &attributes_ : nullptr; }

private:
    SECURITY_ATTRIBUTES attributes_{};
};

// Creates path anew (never opening what is there) with the protected access
// list, for writing only and shared with no one until it is closed, but for
// deletion where share says so.
KernelHandle CreateProtectedFile(const std::string& path, DWORD share = 0);

class Win32Processes : public platform::Processes {
public:
    std::vector<platform::ProcessEntry> snapshot() override;
    std::uint32_t currentProcessId() override;
    // Needs the right to terminate the other process: an elevated program
    // has it for every process of the machine's users.
    bool terminate(std::uint32_t id) override;
    // Lower case by the rules of the system's ANSI code page, which is how
    // the system itself compares file names.
    std::string toLower(const std::string& text) override;
    bool inOwnSession(std::uint32_t id) override;
    std::uint32_t foregroundProcessId() override;
    std::unique_ptr<platform::RunningProcess> hold(std::uint32_t id) override;

private:
    // The process is asked of a window only when the foreground window changed.
    HWND foregroundWindow_ = nullptr;
    std::uint32_t foregroundId_ = 0;
};

class Win32Shell : public platform::Shell {
public:
    // The main window once it exists; the shell's own error boxes belong to it.
    void setOwner(HWND owner) { owner_ = owner; }
    HWND owner() const { return owner_; }

    bool start(const std::string& file, const std::string& arguments) override;
    bool startElevated(const std::string& file, const std::string& arguments) override;
    std::optional<int> runElevated(const std::string& file, const std::string& arguments,
                                   int waitMs) override;
    bool startAsUser(const std::string& file, const std::string& arguments) override;
    bool runBatch(const std::string& file) override;

private:
    // A window that is gone could not own anything.
    HWND liveOwner() const { return owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr; }
    // process, where given, gets the started process's handle.
    bool launchElevated(const std::string& file, const std::string& arguments, HANDLE* process);
    // The shell may hand a start to an extension that runs on COM. The
    // hidden run joins no apartment before it starts something: COM's share
    // of memory is not worth carrying all day for the rare update.
    void joinApartment() {
        if (!com_) com_ = std::make_unique<ComApartment>();
    }

    HWND owner_ = nullptr;
    std::unique_ptr<ComApartment> com_;
};

}  // namespace platform::win32
