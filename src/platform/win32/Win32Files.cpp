#include "platform/win32/Win32Files.h"

#include "platform/CommandLine.h"
#include "platform/win32/Win32DllSearch.h"

// All need the types of windows.h, which Win32Files.h brings.
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <string>

namespace platform::win32 {

namespace {

// The attributes SetFileAttributesA accepts; the others (directory,
// compressed, ...) are the system's to manage and stay as they are anyway.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_TEMPORARY;

DWORD attributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

std::string fileNamePart(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder of the file, with its closing backslash; empty for a bare name.
std::string folderOf(const std::string& path) {
    return path.substr(0, path.size() - fileNamePart(path).size());
}

// ShellExecuteA answers a number above 32 for success, an error code below.
// Administrators and SYSTEM: full control; everyone: read and execute
// (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE). "P" stops inheritance from the
// folder above, where on XP every user may create and change files. A
// folder passes the same list on to what is made in it.
constexpr const char* kProtectedFileSddl = "D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;WD)";
constexpr const char* kProtectedFolderSddl =
    "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;WD)";

bool writeAll(HANDLE file, const char* bytes, std::size_t count) {
    while (count > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes, want, &written, nullptr) || written == 0) return false;
        bytes += written;
        count -= written;
    }
    return true;
}

// Reads up to maxBytes; false when reading failed before the end.
bool readUpTo(HANDLE file, std::size_t maxBytes, std::string& bytes) {
    bytes.resize(maxBytes);
    std::size_t filled = 0;
    bool ok = true;
    while (filled < maxBytes) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(maxBytes - filled, 1u << 20));
        if (!ReadFile(file, bytes.data() + filled, want, &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0) break;
        filled += read;
    }
    bytes.resize(filled);
    return ok;
}

class Win32HeldFile : public platform::HeldFile {
public:
    Win32HeldFile(KernelHandle file, std::string bytes, bool complete)
        : file_(std::move(file)), bytes_(std::move(bytes)), complete_(complete) {}
    const std::string& bytes() const override { return bytes_; }
    bool complete() const override { return complete_; }

private:
    KernelHandle file_;
    std::string bytes_;
    bool complete_;
};

}  // namespace

ProtectedSecurity::ProtectedSecurity(Kind kind) {
    attributes_.nLength = sizeof attributes_;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(
            kind == Kind::Folder ? kProtectedFolderSddl : kProtectedFileSddl, SDDL_REVISION_1,
            &descriptor, nullptr))
        attributes_.lpSecurityDescriptor = descriptor;
}

ProtectedSecurity::~ProtectedSecurity() {
    if (attributes_.lpSecurityDescriptor != nullptr) LocalFree(attributes_.lpSecurityDescriptor);
}

KernelHandle CreateProtectedFile(const std::string& path, DWORD share) {
    ProtectedSecurity security(ProtectedSecurity::Kind::File);
    if (security.get() == nullptr) return KernelHandle();
    // CREATE_NEW fails on anything of that name, a hard or symbolic link
    // included, instead of writing through it.
    return KernelHandle(CreateFileA(path.c_str(), GENERIC_WRITE, share, security.get(), CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32FileSystem::fileExists(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::folderExists(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32FileSystem::isReadOnly(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool Win32FileSystem::setReadOnly(const std::string& path, bool readOnly) {
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    DWORD wanted = attributes & kSettableAttributes;
    wanted = readOnly ? (wanted | FILE_ATTRIBUTE_READONLY) : (wanted & ~FILE_ATTRIBUTE_READONLY);
    // No attribute at all has to be said as "normal".
    if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesA(path.c_str(), wanted) != 0;
}

bool Win32FileSystem::deleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32FileSystem::copyFile(const std::string& source, const std::string& target) {
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

bool Win32FileSystem::createProtectedCopy(const std::string& source, const std::string& target) {
    // The running program file is mapped by the system, which reads it too.
    const FileHandle from(CreateFileA(source.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!from) return false;
    bool copied = false;
    {
        const FileHandle to = CreateProtectedFile(target);
        if (!to) return false;
        std::array<char, 64 * 1024> buffer;
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(from.get(), buffer.data(), buffer.size(), &read, nullptr)) break;
            if (read == 0) {
                copied = true;
                break;
            }
            if (!writeAll(to.get(), buffer.data(), read)) break;
        }
    }
    // Half a program would be worse than none: the caller sees no copy.
    if (!copied) DeleteFileA(target.c_str());
    return copied;
}

bool Win32FileSystem::createProtectedFile(const std::string& path, const std::string& bytes) {
    bool written = false;
    {
        const FileHandle file = CreateProtectedFile(path);
        if (!file) return false;
        written = writeAll(file.get(), bytes.data(), bytes.size());
    }
    if (!written) DeleteFileA(path.c_str());
    return written;
}

namespace {

// Whether a folder on the way to the file is a reparse point (a junction or
// a link to elsewhere): from the first below the drive or share on.
bool throughReparsePoint(const std::string& path) {
    size_t start = path.find('\\');
    if (path.compare(0, 2, "\\\\") == 0)
        for (int skip = 0; skip < 3 && start != std::string::npos; ++skip)
            start = path.find('\\', start + 1);
    for (size_t end = path.find('\\', start == std::string::npos ? start : start + 1);
         start != std::string::npos && end != std::string::npos; end = path.find('\\', end + 1)) {
        const DWORD attributes = GetFileAttributesA(path.substr(0, end).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
    }
    return false;
}

}  // namespace

bool Win32FileSystem::replaceFile(const std::string& path, const std::string& bytes) {
    const std::string part = path + ".part" + std::to_string(GetCurrentProcessId());
    // Open until the rename: while a file in a folder is open, Windows lets
    // no folder above it be renamed or deleted, so none can be swapped for a
    // junction between the look at the path and the rename that follows it.
    const FileHandle file(CreateFileA(part.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    if (writeAll(file.get(), bytes.data(), bytes.size()) && FlushFileBuffers(file.get()) &&
        !throughReparsePoint(path) &&
        MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(part.c_str());
    return false;
}

bool Win32FileSystem::createProtectedFolder(const std::string& path) {
    ProtectedSecurity security(ProtectedSecurity::Kind::Folder);
    return security.get() != nullptr && CreateDirectoryA(path.c_str(), security.get()) != 0;
}

namespace {

std::string sidText(PSID sid) {
    char* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

platform::Trustee trusteeOf(PSID sid, const std::string& currentUser) {
    const std::string text = sidText(sid);
    // TrustedInstaller owns the system's own folders on Vista and later and
    // is above the administrators; it counts as the system.
    if (text == "S-1-5-18" ||
        text == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464")
        return platform::Trustee::System;
    if (text == "S-1-5-32-544") return platform::Trustee::Administrators;
    if (!text.empty() && text == currentUser) return platform::Trustee::CurrentUser;
    return platform::Trustee::Other;
}

}  // namespace

platform::FolderSecurity ReadFolderSecurity(PSID owner, const ACL* dacl,
                                            const std::string& currentUser) {
    platform::FolderSecurity security;
    security.owner = trusteeOf(owner, currentUser);
    security.hasAccessList = dacl != nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        // An entry that cannot be read may grant anything.
        if (!GetAce(const_cast<ACL*>(dacl), i, &ace)) {
            security.entries.push_back({true, platform::Trustee::Other, ~0u, false});
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        platform::AccessEntry entry;
        entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        switch (header->AceType) {
            case ACCESS_DENIED_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_ACE_TYPE:
            case ACCESS_DENIED_OBJECT_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: entry.allow = false; break;
            default: entry.allow = true; break;
        }
        // The plain and the callback entries keep the trustee at the same
        // place; any other kind counts as granting its rights to anyone.
        const auto* plain = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        entry.rights = plain->Mask;
        const bool plainLayout = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                                 header->AceType == ACCESS_DENIED_ACE_TYPE ||
                                 header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
                                 header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE;
        entry.who = plainLayout ? trusteeOf(const_cast<DWORD*>(&plain->SidStart), currentUser)
                                : platform::Trustee::Other;
        security.entries.push_back(entry);
    }
    return security;
}

std::string CurrentUserSidText() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return std::string();
    const KernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::string();
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return std::string();
    return sidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::optional<platform::FolderSecurity> Win32FileSystem::folderSecurity(const std::string& path) {
    if (!folderExists(path)) return std::nullopt;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    const std::unique_ptr<void, decltype(&LocalFree)> freeDescriptor(descriptor, &LocalFree);
    return ReadFolderSecurity(owner, dacl, CurrentUserSidText());
}

bool Win32FileSystem::removeFolder(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

namespace {

// Shared for reading only: the system may still load the program from the
// file, but no one can change, rename or delete it while it is held.
FileHandle openHeld(const std::string& path) {
    return FileHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::unique_ptr<platform::HeldFile> readHeld(FileHandle file, std::size_t maxBytes) {
    // One byte beyond the limit tells a file that is too long. The room
    // read into is the file's own size and that byte: held, it cannot grow,
    // and a program held for the whole run keeps no more than its size.
    // (GetFileSize: its Ex form is missing from the oldest Windows served.)
    std::size_t room = maxBytes + 1;
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
    if ((low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) && size < room)
        room = static_cast<std::size_t>(size) + 1;
    std::string bytes;
    const bool readToEnd = readUpTo(file.get(), room, bytes);
    const bool complete = readToEnd && bytes.size() <= maxBytes;
    if (bytes.size() > maxBytes) bytes.resize(maxBytes);
    return std::make_unique<Win32HeldFile>(std::move(file), std::move(bytes), complete);
}

// Whether the file is the one the system mapped as this process's image.
// The system's loader asks the same of a DLL it may hold already, through
// ntdll's NtAreMappedFilesTheSame: exported since Windows 2000, though not
// documented. Its answer comes from the two mappings' file objects, so no
// rename can fool it. Names can be fooled: the name GetMappedFileName gives
// for the image may be the one it was loaded under, which is then the name of
// the file put in its place (Wine answers so), and GetFinalPathNameByHandle
// is missing on XP. Nor would the image's bytes do: its writable sections,
// the import table among them, no longer hold what the file held. Where the
// call is missing the answer is no.
bool isRunningImage(HANDLE file) {
    using AreMappedFilesTheSame = LONG(WINAPI*)(PVOID image, PVOID view);
    const auto same = reinterpret_cast<AreMappedFilesTheSame>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtAreMappedFilesTheSame")));
    if (same == nullptr) return false;
    const KernelHandle mapping(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
    // One page of the file is enough for the question.
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 1);
    if (view == nullptr) return false;
    const bool one = same(GetModuleHandleA(nullptr), view) == 0;
    UnmapViewOfFile(view);
    return one;
}

}  // namespace

std::unique_ptr<platform::HeldFile> Win32FileSystem::holdFile(const std::string& path,
                                                              std::size_t maxBytes) {
    FileHandle file = openHeld(path);
    if (!file) return nullptr;
    return readHeld(std::move(file), maxBytes);
}

std::unique_ptr<platform::HeldFile> Win32FileSystem::holdRunningProgram(const std::string& path,
                                                                        std::size_t maxBytes) {
    // Held before it is judged: once held, it can no longer be swapped.
    FileHandle file = openHeld(path);
    if (!file || !isRunningImage(file.get())) return nullptr;
    return readHeld(std::move(file), maxBytes);
}

std::vector<platform::ProcessEntry> Win32Processes::snapshot() {
    std::vector<platform::ProcessEntry> processes;
    const Snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        // Only the file name counts; some systems have put a full path here.
        processes.push_back(
            {static_cast<std::uint32_t>(entry.th32ProcessID), fileNamePart(entry.szExeFile)});
    }
    return processes;
}

std::uint32_t Win32Processes::currentProcessId() {
    return static_cast<std::uint32_t>(GetCurrentProcessId());
}

bool Win32Processes::terminate(std::uint32_t id) {
    const ProcessHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id)));
    return process && TerminateProcess(process.get(), 0) != 0;
}

std::string Win32Processes::toLower(const std::string& text) {
    std::string lower = text;
    if (!lower.empty()) CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
    return lower;
}

bool Win32Processes::inOwnSession(std::uint32_t id) {
    DWORD own = 0;
    DWORD theirs = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &own) &&
           ProcessIdToSessionId(static_cast<DWORD>(id), &theirs) && own == theirs;
}

std::uint32_t Win32Processes::foregroundProcessId() {
    HWND window = GetForegroundWindow();
    if (window != foregroundWindow_) {
        foregroundWindow_ = window;
        DWORD id = 0;
        if (window != nullptr) GetWindowThreadProcessId(window, &id);
        foregroundId_ = static_cast<std::uint32_t>(id);
    }
    return foregroundId_;
}

namespace {

class HeldProcess : public platform::RunningProcess {
public:
    explicit HeldProcess(ProcessHandle process) : process_(std::move(process)) {}
    bool ended() override { return WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT; }

private:
    ProcessHandle process_;
};

}  // namespace

std::unique_ptr<platform::RunningProcess> Win32Processes::hold(std::uint32_t id) {
    ProcessHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
    if (!process || WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) return nullptr;
    return std::make_unique<HeldProcess>(std::move(process));
}

namespace {

bool createProcess(const std::string& file, std::string commandLine, const std::string& folder,
                   DWORD flags) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

// How this run's token stands to the user's own. Split: an administrator
// token that Windows split from the user's, so that a program it starts gets
// rights the same program started at log-on would not have. Same: XP, which
// knows no split (it refuses the class), a run without elevation, or one
// where the user's own token is the full one (User Account Control off).
enum class Rights { Same, Split, Unknown };

Rights rightsOfThisRun() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return Rights::Unknown;
    const KernelHandle token(raw);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD length = 0;
    if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &length))
        return GetLastError() == ERROR_INVALID_PARAMETER ? Rights::Same : Rights::Unknown;
    return type == TokenElevationTypeFull ? Rights::Split : Rights::Same;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                            length);
    return converted;
}

// Starts the program with the primary token of the session's desktop shell,
// which is the user's as Windows gave it at log-on. The elevated token's
// linked one would be the same rights, but a process without the trusted
// computing base's privilege gets it only at identification level, which
// starts nothing. CreateProcessWithTokenW (Vista on) needs the impersonation
// privilege, which an elevated administrator holds.
bool startWithShellToken(const std::string& file, const std::string& arguments) {
    using StartWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                         LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    const auto startWithToken = reinterpret_cast<StartWithToken>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "CreateProcessWithTokenW")));
    const HWND shell = GetShellWindow();
    DWORD shellId = 0;
    if (startWithToken == nullptr || shell == nullptr ||
        GetWindowThreadProcessId(shell, &shellId) == 0 || shellId == 0)
        return false;
    // PROCESS_QUERY_LIMITED_INFORMATION, which Vista brought.
    const ProcessHandle process(OpenProcess(0x1000, FALSE, shellId));
    HANDLE raw = nullptr;
    // Whatever owns the shell window lends its rights: a program of the
    // user's that took the window's place after ending Explorer has no more
    // than the user; one with more (an elevated shell) is the administrator's
    // own choice, and no one else can give the window to such a program.
    if (!process || !OpenProcessToken(process.get(), TOKEN_DUPLICATE, &raw)) return false;
    const KernelHandle shellToken(raw);
    HANDLE primary = nullptr;
    const DWORD access = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                         TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID;
    if (!DuplicateTokenEx(shellToken.get(), access, nullptr, SecurityImpersonation, TokenPrimary,
                          &primary))
        return false;
    const KernelHandle token(primary);
    const std::wstring program = wide(file);
    std::wstring commandLine = wide(platform::CommandLineOf(file, arguments));
    const std::wstring folder = wide(folderOf(file));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!startWithToken(token.get(), 0, program.c_str(), commandLine.data(), 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

}  // namespace

bool Win32Shell::start(const std::string& file, const std::string& arguments) {
    return createProcess(file, platform::CommandLineOf(file, arguments), folderOf(file), 0);
}

bool Win32Shell::startElevated(const std::string& file, const std::string& arguments) {
    return launchElevated(file, arguments, nullptr);
}

std::optional<int> Win32Shell::runElevated(const std::string& file, const std::string& arguments,
                                           int waitMs) {
    HANDLE process = nullptr;
    if (!launchElevated(file, arguments, &process) || process == nullptr) return std::nullopt;
    const KernelHandle held(process);
    DWORD code = 0;
    if (WaitForSingleObject(process, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code))
        return std::nullopt;
    return static_cast<int>(code);
}

bool Win32Shell::launchElevated(const std::string& file, const std::string& arguments,
                                HANDLE* process) {
    joinApartment();
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    // The prompt may take the user a while; the call returns once it is answered.
    info.fMask =
        SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (process != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.hwnd = liveOwner();
    info.lpVerb = "runas";
    info.lpFile = file.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = SW_SHOWNORMAL;
    const bool started = ShellExecuteExA(&info) != FALSE;
    if (process != nullptr) *process = started ? info.hProcess : nullptr;
    return started;
}

bool Win32Shell::startAsUser(const std::string& file, const std::string& arguments) {
    switch (rightsOfThisRun()) {
        case Rights::Same:
            return start(file, arguments);
        case Rights::Split:
            return startWithShellToken(file, arguments);
        case Rights::Unknown:
            break;
    }
    return false;
}

bool Win32Shell::runBatch(const std::string& file) {
    const std::string processor = SystemFolderPath("cmd.exe");
    if (processor.empty() || GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    // /d: no AutoRun of the user's; the one pair of quotes around the path
    // is kept as it is by /c.
    return createProcess(processor, platform::CommandLineOf(processor, "/d /c \"" + file + "\""),
                         folderOf(processor), CREATE_NO_WINDOW);
}

}  // namespace platform::win32
