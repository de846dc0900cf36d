// Files and folders. Operations report failure through their result; none
// raises an error.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool fileExists(const std::string& path) = 0;
    virtual bool folderExists(const std::string& path) = 0;
    virtual bool isReadOnly(const std::string& path) = 0;
    // Clears or sets the read-only attribute, keeping the others.
    virtual bool setReadOnly(const std::string& path, bool readOnly) = 0;
    virtual bool deleteFile(const std::string& path) = 0;
    // Fails, leaving the target untouched, when overwrite is off and it exists.
    virtual bool copyFile(const std::string& source, const std::string& target, bool overwrite) = 0;
    // One level: the folder above must exist.
    virtual bool createFolder(const std::string& path) = 0;
    // Only an empty folder can be removed.
    virtual bool removeFolder(const std::string& path) = 0;
    // Replaces the file's content with these bytes.
    virtual bool writeFile(const std::string& path, const std::string& bytes) = 0;
    // Up to maxBytes from the start of the file; empty when it cannot be read.
    virtual std::string readFile(const std::string& path, std::size_t maxBytes) = 0;
};

}  // namespace platform
