#include "fakes/FakeRegistry.h"

#include <algorithm>
#include <cctype>

namespace fakes {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(lower(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(lower(part));
    return parts;
}

std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : "\\") + p;
    return out;
}

class FakeAccessor : public platform::RegistryAccessor {
public:
    explicit FakeAccessor(FakeRegistry& registry) : registry_(registry) {}
    ~FakeAccessor() override { closeKey(); }

    bool openKey(const std::string& key, bool create) override {
        std::vector<std::string> path = resolve(key);
        closeKey();
        const std::string joined = join(path);
        for (const std::string& denied : registry_.deniedKeys)
            if (lower(denied) == joined) return false;
        FakeRegistry::Key* k = create ? registry_.create(joined) : registry_.find(joined);
        if (k == nullptr) return false;
        current_ = path;
        open_ = true;
        ++registry_.opened;
        return true;
    }
    void closeKey() override {
        if (!open_) return;
        open_ = false;
        current_.clear();
        ++registry_.released;
    }
    bool keyExists(const std::string& key) override {
        return registry_.find(join(resolve(key))) != nullptr;
    }
    bool deleteKey(const std::string& key) override {
        const std::string path = join(resolve(key));
        if (registry_.find(path) == nullptr) return false;
        registry_.removeKey(path);
        return true;
    }
    bool valueExists(const std::string& name) override {
        FakeRegistry::Key* k = openOne();
        return k != nullptr && k->values.count(lower(name)) > 0;
    }
    std::string readText(const std::string& name) override {
        const RegValue& v = value(name);
        if (v.type != RegType::Sz && v.type != RegType::ExpandSz)
            throw platform::RegistryError("Invalid data type for '" + name + "'");
        return v.text.substr(0, v.text.find('\0'));
    }
    std::int32_t readInteger(const std::string& name) override {
        const RegValue& v = value(name);
        if (v.type != RegType::Dword)
            throw platform::RegistryError("Invalid data type for '" + name + "'");
        return v.number;
    }
    void writeText(const std::string& name, const std::string& text) override {
        write(name, {RegType::Sz, text, 0});
    }
    void writeInteger(const std::string& name, std::int32_t number) override {
        write(name, {RegType::Dword, "", number});
    }
    bool deleteValue(const std::string& name) override {
        FakeRegistry::Key* k = openOne();
        if (k == nullptr || k->values.erase(lower(name)) == 0) return false;
        registry_.touch(join(current_));
        return true;
    }
    std::vector<std::string> valueNames() override {
        std::vector<std::string> names;
        if (FakeRegistry::Key* k = openOne())
            for (const auto& [name, value] : k->values) names.push_back(name);
        return names;
    }

private:
    std::vector<std::string> resolve(const std::string& key) const {
        std::vector<std::string> path;
        if (!key.starts_with("\\")) path = current_;
        for (auto& p : split(key)) path.push_back(p);
        return path;
    }
    FakeRegistry::Key* openOne() { return open_ ? registry_.find(join(current_)) : nullptr; }
    const RegValue& value(const std::string& name) {
        FakeRegistry::Key* k = openOne();
        if (k == nullptr) throw platform::RegistryError("no key open");
        auto it = k->values.find(lower(name));
        if (it == k->values.end()) throw platform::RegistryError("no value '" + name + "'");
        return it->second;
    }
    void write(const std::string& name, RegValue v) {
        FakeRegistry::Key* k = openOne();
        if (k == nullptr) throw platform::RegistryError("no key open");
        if (registry_.writesBeforeFailure && registry_.writes >= *registry_.writesBeforeFailure)
            throw platform::RegistryError("Failed to set data for '" + name + "'");
        ++registry_.writes;
        k->values[lower(name)] = std::move(v);
        registry_.touch(join(current_));
    }

    FakeRegistry& registry_;
    std::vector<std::string> current_;
    bool open_ = false;
};

class FakeWatch : public platform::RegistryWatch {
public:
    FakeWatch(FakeRegistry& registry, std::string key) : registry_(registry), key_(std::move(key)) {
        ++registry_.watches;
    }
    ~FakeWatch() override { ++registry_.watchesGone; }
    bool changed() override {
        // A key that is not there cannot be watched: it reads once, and
        // again once it is there.
        const int now = registry_.find(key_) == nullptr ? -1 : registry_.changesBelow(key_);
        const bool changed = !seen_ || now != last_;
        seen_ = true;
        last_ = now;
        return changed;
    }

private:
    FakeRegistry& registry_;
    std::string key_;
    bool seen_ = false;
    int last_ = 0;
};

}  // namespace

std::unique_ptr<platform::RegistryAccessor> FakeRegistry::open() {
    return std::make_unique<FakeAccessor>(*this);
}

std::optional<std::uint8_t> FakeRegistry::readFirstByte(Hive hive, const std::string& key,
                                                        const std::string& name) {
    const std::optional<RegValue> value = get(hive == Hive::User ? "HKCU\\" + key : key, name);
    if (!value || value->type != RegType::Binary || value->text.empty()) return std::nullopt;
    return static_cast<std::uint8_t>(value->text[0]);
}

std::unique_ptr<platform::RegistryWatch> FakeRegistry::watch(const std::string& key) {
    return std::make_unique<FakeWatch>(*this, key);
}

int FakeRegistry::changesBelow(const std::string& key) const {
    auto it = changes_.find(join(split(key)));
    return it == changes_.end() ? 0 : it->second;
}

void FakeRegistry::touch(const std::string& key) {
    std::vector<std::string> parts = split(key);
    while (true) {
        ++changes_[join(parts)];
        if (parts.empty()) break;
        parts.pop_back();
    }
}

FakeRegistry::Key* FakeRegistry::find(const std::string& path) const {
    const Key* k = &root_;
    for (const std::string& part : split(path)) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end()) return nullptr;
        k = it->second.get();
    }
    return const_cast<Key*>(k);
}

FakeRegistry::Key* FakeRegistry::create(const std::string& path) {
    Key* k = &root_;
    std::vector<std::string> made;
    for (const std::string& part : split(path)) {
        made.push_back(part);
        auto& slot = k->subkeys[part];
        if (!slot) {
            slot = std::make_unique<Key>();
            touch(join(made));
        }
        k = slot.get();
    }
    return k;
}

void FakeRegistry::set(const std::string& key, const std::string& name, RegValue value) {
    Key* k = create(key);
    k->values[lower(name)] = std::move(value);
    touch(key);
}

std::optional<RegValue> FakeRegistry::get(const std::string& key, const std::string& name) const {
    const Key* k = find(key);
    if (k == nullptr) return std::nullopt;
    auto it = k->values.find(lower(name));
    if (it == k->values.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> FakeRegistry::valueNames(const std::string& key) const {
    std::vector<std::string> names;
    if (const Key* k = find(key))
        for (const auto& [name, value] : k->values) names.push_back(name);
    return names;
}

void FakeRegistry::removeKey(const std::string& key) {
    std::vector<std::string> parts = split(key);
    if (parts.empty()) return;
    const std::string leaf = parts.back();
    parts.pop_back();
    if (Key* parent = find(join(parts))) parent->subkeys.erase(leaf);
    touch(key);
}

}  // namespace fakes
