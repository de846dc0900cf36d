// A map kept as a vector sorted by key. The program keys only a few entries
// (wireless interfaces, texts, controls): a binary search finds them, and
// the program file carries no tree's or hash table's code. Unlike a tree's,
// an entry's address changes when another is added or removed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace platform {

template <typename Key, typename Value>
class FlatMap {
public:
    using value_type = std::pair<Key, Value>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }

    // Any key that compares with Key finds: a text's view needs no copy.
    template <typename K>
    iterator find(const K& key) {
        return found(entries_, key);
    }
    template <typename K>
    const_iterator find(const K& key) const {
        return found(entries_, key);
    }
    std::size_t count(const Key& key) const { return find(key) != end() ? 1 : 0; }
    Value& operator[](const Key& key) { return emplace(key, Value{}).first->second; }
    // Adds the entry unless the key has one: that one, and whether it was added.
    std::pair<iterator, bool> emplace(const Key& key, Value value) {
        iterator at = lowerBound(entries_, key);
        if (at != end() && !std::less<Key>()(key, at->first)) return {at, false};
        return {entries_.insert(at, value_type(key, std::move(value))), true};
    }
    std::size_t erase(const Key& key) {
        const iterator at = find(key);
        if (at == end()) return 0;
        entries_.erase(at);
        return 1;
    }

private:
    template <typename Entries, typename K>
    static auto lowerBound(Entries& entries, const K& key) {
        return std::lower_bound(
            entries.begin(), entries.end(), key,
            [](const value_type& e, const K& k) { return std::less<>()(e.first, k); });
    }
    template <typename Entries, typename K>
    static auto found(Entries& entries, const K& key) {
        const auto at = lowerBound(entries, key);
        return at != entries.end() && !std::less<>()(key, at->first) ? at : entries.end();
    }
    std::vector<value_type> entries_;
};

}  // namespace platform
