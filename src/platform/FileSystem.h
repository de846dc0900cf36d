// Files and folders. Operations report failure through their result; none
// raises an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A file held open so that no other process can write, rename or delete it
// until this object goes; others may still read and run it.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    // The file's bytes as they were read through the held handle.
    virtual const std::string& bytes() const = 0;
    // False when the file was longer than the limit it was held with, or could
    // not be read to its end; bytes() is then incomplete.
    virtual bool complete() const = 0;
};

// Whom an owner or an entry of an access list names, as far as trusting a
// folder goes: the system's own accounts, the user running the program, or
// anyone else.
enum class Trustee { Administrators, System, CurrentUser, Other };

struct AccessEntry {
    bool allow = true;  // false: the entry denies the rights
    Trustee who = Trustee::Other;
    // The specific rights of files and folders (generic rights mapped onto
    // them), as the system numbers them.
    std::uint32_t rights = 0;
    // Passed on to what is made inside, without applying to the folder itself.
    bool inheritOnly = false;
};

struct FolderSecurity {
    Trustee owner = Trustee::Other;
    // A folder without an access list grants everyone everything.
    bool hasAccessList = false;
    std::vector<AccessEntry> entries;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool fileExists(const std::string& path) = 0;
    virtual bool folderExists(const std::string& path) = 0;
    virtual bool isReadOnly(const std::string& path) = 0;
    // Clears or sets the read-only attribute, keeping the others.
    virtual bool setReadOnly(const std::string& path, bool readOnly) = 0;
    virtual bool deleteFile(const std::string& path) = 0;
    // Copies over an existing target; the target gets the access list a new
    // file in its folder gets.
    virtual bool copyFile(const std::string& source, const std::string& target) = 0;
    // Files and folders that run with administrator rights are made with the
    // protected access list: full control for Administrators and SYSTEM, read
    // and execute for everyone else, nothing inherited from the folder above.
    // Each of these creates its target anew and fails, leaving it untouched,
    // when something of that name exists: they never write through a file
    // (or a link to one) that someone else put there.
    virtual bool createProtectedCopy(const std::string& source, const std::string& target) = 0;
    virtual bool createProtectedFile(const std::string& path, const std::string& bytes) = 0;
    // One level: the folder above must exist.
    virtual bool createProtectedFolder(const std::string& path) = 0;
    // The owner and access list of an existing folder; none when they
    // cannot be read.
    virtual std::optional<FolderSecurity> folderSecurity(const std::string& path) = 0;
    // Only an empty folder can be removed.
    virtual bool removeFolder(const std::string& path) = 0;
    // Opens the file for reading, denying other processes to write, rename or
    // delete it, and reads up to maxBytes of it; null when it cannot be held
    // (missing, or already open for writing elsewhere).
    virtual std::unique_ptr<HeldFile> holdFile(const std::string& path, std::size_t maxBytes) = 0;
    // Holds the file at path as holdFile does, but only when it is the very
    // file this process was started from: a file put under that name after the
    // start (the running one renamed aside) gives null, as does one that
    // cannot be held.
    virtual std::unique_ptr<HeldFile> holdRunningProgram(const std::string& path,
                                                         std::size_t maxBytes) = 0;
    // Puts the bytes at path whole, in place of any file there, with the
    // user's usual rights; false leaves nothing of them there.
    virtual bool replaceFile(const std::string& path, const std::string& bytes) = 0;
};

}  // namespace platform
