#include "platform/win32/Win32Files.h"

// Both need the types of windows.h, which Win32Files.h brings.
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>

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

// ShellExecuteA answers a number above 32 for success, an error code below.
bool started(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

}  // namespace

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

bool Win32FileSystem::copyFile(const std::string& source, const std::string& target,
                               bool overwrite) {
    return CopyFileA(source.c_str(), target.c_str(), overwrite ? FALSE : TRUE) != 0;
}

bool Win32FileSystem::createFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32FileSystem::removeFolder(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

bool Win32FileSystem::writeFile(const std::string& path, const std::string& bytes) {
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    if (bytes.empty()) return true;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) != 0 &&
           written == bytes.size();
}

std::string Win32FileSystem::readFile(const std::string& path, std::size_t maxBytes) {
    // Shared with writers: a download may still hold the file open.
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) return bytes;
    bytes.resize(maxBytes);
    std::size_t filled = 0;
    while (filled < maxBytes) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(maxBytes - filled, 1u << 20));
        if (!ReadFile(file.get(), bytes.data() + filled, want, &read, nullptr) || read == 0) break;
        filled += read;
    }
    bytes.resize(filled);
    return bytes;
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

bool Win32Shell::start(const std::string& file, const std::string& arguments) {
    return started(ShellExecuteA(liveOwner(), nullptr, file.c_str(), arguments.c_str(), nullptr,
                                 SW_SHOWNORMAL));
}

bool Win32Shell::openHidden(const std::string& file) {
    return started(ShellExecuteA(liveOwner(), "open", file.c_str(), nullptr, nullptr, SW_HIDE));
}

}  // namespace platform::win32
