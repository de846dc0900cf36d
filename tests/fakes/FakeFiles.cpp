#include "fakes/FakeFiles.h"

#include <algorithm>
#include <cctype>

namespace fakes {

std::string FakeFileSystem::key(const std::string& path) {
    std::string k = path;
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

std::string FakeFileSystem::folderKey(const std::string& path) {
    std::string k = key(path);
    if (k.empty() || k.back() != '\\') k += '\\';
    return k;
}

std::string FakeFileSystem::parentOf(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '\\') p.pop_back();
    const size_t slash = p.rfind('\\');
    return slash == std::string::npos ? std::string() : key(p.substr(0, slash + 1));
}

bool FakeFileSystem::isReadOnly(const std::string& path) {
    auto it = files_.find(key(path));
    return it != files_.end() && it->second.readOnly;
}

bool FakeFileSystem::setReadOnly(const std::string& path, bool readOnly) {
    auto it = files_.find(key(path));
    if (it == files_.end()) return false;
    it->second.readOnly = readOnly;
    return true;
}

bool FakeFileSystem::deleteFile(const std::string& path) {
    auto it = files_.find(key(path));
    if (it == files_.end() || it->second.readOnly || it->second.holds > 0 ||
        locked.count(key(path)) > 0)
        return false;
    files_.erase(it);
    return true;
}

bool FakeFileSystem::copyFile(const std::string& source, const std::string& target) {
    auto from = files_.find(key(source));
    if (from == files_.end()) return false;
    auto to = files_.find(key(target));
    if (to != files_.end() && locked.count(key(target)) > 0) return false;
    return writeFile(target, from->second.bytes);
}

bool FakeFileSystem::create(const std::string& path, const std::string& bytes) {
    if (files_.count(key(path)) > 0 || folders_.count(parentOf(path)) == 0) return false;
    files_[key(path)] = File{bytes, false, true};
    return true;
}

bool FakeFileSystem::createProtectedCopy(const std::string& source, const std::string& target) {
    auto from = files_.find(key(source));
    return from != files_.end() && create(target, from->second.bytes);
}

bool FakeFileSystem::createProtectedFile(const std::string& path, const std::string& bytes) {
    return create(path, bytes);
}

bool FakeFileSystem::createProtectedFolder(const std::string& path) {
    const std::string k = folderKey(path);
    if (folders_.count(k) > 0 || folders_.count(parentOf(k)) == 0) return false;
    folders_.insert(k);
    protectedFolders_.insert(k);
    return true;
}

std::optional<platform::FolderSecurity> FakeFileSystem::folderSecurity(const std::string& path) {
    const std::string k = folderKey(path);
    if (folders_.count(k) == 0) return std::nullopt;
    if (auto it = securities_.find(k); it != securities_.end()) return it->second;
    using platform::Trustee;
    return platform::FolderSecurity{Trustee::Administrators,
                                    true,
                                    {{true, Trustee::Administrators, 0x1f01ff, false},
                                     {true, Trustee::System, 0x1f01ff, false},
                                     {true, Trustee::Other, 0x1200a9, false}}};
}

namespace {
class FakeHeldFile : public platform::HeldFile {
public:
    FakeHeldFile(FakeFileSystem::File& file, std::size_t maxBytes)
        : file_(file), bytes_(file.bytes.substr(0, maxBytes)), complete_(file.bytes.size() <= maxBytes) {
        ++file_.holds;
    }
    ~FakeHeldFile() override { --file_.holds; }
    const std::string& bytes() const override { return bytes_; }
    bool complete() const override { return complete_; }

private:
    FakeFileSystem::File& file_;
    std::string bytes_;
    bool complete_;
};
}  // namespace

std::unique_ptr<platform::HeldFile> FakeFileSystem::holdFile(const std::string& path,
                                                             std::size_t maxBytes) {
    auto it = files_.find(key(path));
    if (it == files_.end()) return nullptr;
    return std::make_unique<FakeHeldFile>(it->second, maxBytes);
}

bool FakeFileSystem::removeFolder(const std::string& path) {
    const std::string k = folderKey(path);
    if (folders_.count(k) == 0) return false;
    for (const auto& [name, file] : files_)
        if (name.starts_with(k)) return false;
    for (const std::string& folder : folders_)
        if (folder != k && folder.starts_with(k)) return false;
    folders_.erase(k);
    return true;
}

bool FakeFileSystem::writeFile(const std::string& path, const std::string& bytes) {
    if (folders_.count(parentOf(path)) == 0) return false;
    auto it = files_.find(key(path));
    if (it == files_.end()) {
        files_[key(path)] = File{bytes};
        return true;
    }
    if (it->second.readOnly || it->second.holds > 0) return false;
    it->second.bytes = bytes;
    return true;
}

void FakeFileSystem::addFile(const std::string& path, const std::string& bytes, bool readOnly) {
    std::string parent = parentOf(path);
    // Every folder above the file exists too.
    for (size_t pos = parent.find('\\'); pos != std::string::npos; pos = parent.find('\\', pos + 1))
        folders_.insert(parent.substr(0, pos + 1));
    files_[key(path)] = File{bytes, readOnly};
}

const FakeFileSystem::File* FakeFileSystem::file(const std::string& path) const {
    auto it = files_.find(key(path));
    return it == files_.end() ? nullptr : &it->second;
}

std::unique_ptr<platform::RunningProcess> FakeProcesses::hold(std::uint32_t id) {
    struct Held : platform::RunningProcess {
        Held(FakeProcesses& processes, std::uint32_t id) : processes_(processes), id_(id) {}
        bool ended() override {
            return std::none_of(processes_.running.begin(), processes_.running.end(),
                                [&](const platform::ProcessEntry& p) { return p.id == id_; });
        }
        FakeProcesses& processes_;
        std::uint32_t id_;
    };
    if (unholdable.count(id) > 0) return nullptr;
    return std::make_unique<Held>(*this, id);
}

bool FakeProcesses::terminate(std::uint32_t id) {
    if (protectedIds.count(id) > 0) return false;
    auto it = std::find_if(running.begin(), running.end(), [&](const auto& p) { return p.id == id; });
    if (it == running.end()) return false;
    running.erase(it);
    terminated.push_back(id);
    if (onTerminate) onTerminate(id);
    return true;
}

std::string FakeProcesses::toLower(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace fakes
