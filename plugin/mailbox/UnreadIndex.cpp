#include "plugin/mailbox/UnreadIndex.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace corvane {

namespace {

// The text after the last '\', or null when there is none.
const char* lastComponentOf(const char* path) {
    const char* separator = strrchr(path, '\\');
    return separator ? separator + 1 : nullptr;
}

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

// Hash of the last `length` bytes before end, read backwards, so that the hashes of every
// suffix ending at one place come one after another at one step each.
constexpr uint64_t kHashBase = 0x100000001B3ull;

uint64_t mixLength(uint64_t hash, size_t length) {
    return (hash ^ (static_cast<uint64_t>(length) * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
}

uint64_t suffixHash(const char* key, size_t length) {
    uint64_t hash = 0;
    for (size_t i = length; i > 0; --i)
        hash = hash * kHashBase + static_cast<unsigned char>(key[i - 1]) + 1;
    return mixLength(hash, length);
}

// Distinct keys of a run, each with the entries that share it, looked up by suffix hash.
class KeyTable {
public:
    explicit KeyTable(size_t capacity) {
        size_t size = 16;
        while (size < capacity * 2)
            size <<= 1;
        heads_.assign(size, -1);
        mask_ = size - 1;
    }

    // Index of the key (adding it when new).
    size_t add(const char* key, size_t length) {
        uint64_t hash = suffixHash(key, length);
        int32_t found = find(hash, key, length);
        if (found >= 0)
            return static_cast<size_t>(found);
        keys_.push_back({key, length, hash, heads_[hash & mask_], nullptr});
        heads_[hash & mask_] = static_cast<int32_t>(keys_.size() - 1);
        if (length >= hasLength_.size())
            hasLength_.resize(length + 1, false);
        hasLength_[length] = true;
        return keys_.size() - 1;
    }

    // Records end (the "=" that follows the key) for every key not found yet whose text is the
    // suffix of length `length` before end, with the given hash. Returns true on a new find.
    bool offer(const char* end, size_t length, uint64_t hash) {
        for (int32_t i = heads_[hash & mask_]; i >= 0; i = keys_[i].next) {
            Key& key = keys_[i];
            if (key.position || key.hash != hash || key.length != length)
                continue;
            if (memcmp(end - length, key.text, length) == 0) {
                key.position = end;
                ++found_;
                return true;
            }
        }
        return false;
    }

    bool hasLength(size_t length) const { return length < hasLength_.size() && hasLength_[length]; }
    size_t longest() const { return hasLength_.empty() ? 0 : hasLength_.size() - 1; }
    bool allFound() const { return found_ == keys_.size(); }
    const char* positionOf(size_t index) const { return keys_[index].position; }

private:
    struct Key {
        const char* text;
        size_t length;
        uint64_t hash;
        int32_t next;
        const char* position;  // the "=" after the first occurrence, null while not found
    };

    int32_t find(uint64_t hash, const char* key, size_t length) const {
        for (int32_t i = heads_[hash & mask_]; i >= 0; i = keys_[i].next)
            if (keys_[i].hash == hash && keys_[i].length == length && memcmp(keys_[i].text, key, length) == 0)
                return i;
        return -1;
    }

    std::vector<Key> keys_;
    std::vector<int32_t> heads_;
    std::vector<bool> hasLength_;
    size_t mask_ = 0;
    size_t found_ = 0;
};

// Walks every "=" of the list in order and tries every key length that some key has on the
// text just before it, so each key gets the first "=" at which "key=" ends: the same place as
// the first occurrence of "key=" that a plain search from the start finds.
void locateKeys(const char* listText, KeyTable& keys) {
    size_t longest = keys.longest();
    const char* start = listText;
    for (const char* equals = strchr(start, '='); equals && !keys.allFound(); equals = strchr(equals + 1, '=')) {
        size_t room = static_cast<size_t>(equals - start);
        size_t limit = longest < room ? longest : room;
        uint64_t hash = 0;
        if (keys.hasLength(0))
            keys.offer(equals, 0, mixLength(0, 0));
        for (size_t length = 1; length <= limit; ++length) {
            hash = hash * kHashBase + static_cast<unsigned char>(equals[-static_cast<ptrdiff_t>(length)]) + 1;
            if (keys.hasLength(length))
                keys.offer(equals, length, mixLength(hash, length));
        }
    }
}

}  // namespace

bool statusIsUnread(const char* status) {
    size_t length = strnlen(status, 16);
    if (length % 4 != 0 || length < 8)
        return false;
    // The fourth byte is the first byte of the second group: (c0 << 2) | (c1 >> 4).
    unsigned c0 = static_cast<unsigned>(base64Value(static_cast<unsigned char>(status[4])));
    unsigned c1 = static_cast<unsigned>(base64Value(static_cast<unsigned char>(status[5])));
    uint8_t fourth = static_cast<uint8_t>((c0 << 2) | (c1 >> 4));
    return (fourth & 0x40) != 0;
}

bool isUnread(const char* listText, const char* entryName) {
    if (!listText || !entryName)
        return false;
    const char* component = lastComponentOf(entryName);
    if (!component)
        return false;
    std::string key(component);
    key += '=';
    const char* found = strstr(listText, key.c_str());
    return found && statusIsUnread(found + key.size());
}

std::vector<bool> findUnreadEntries(const char* listText, const char* const* entryNames, size_t count) {
    std::vector<bool> unread(count, false);
    if (!listText || !entryNames || count == 0)
        return unread;
    KeyTable keys(count);
    std::vector<ptrdiff_t> keyOf(count, -1);
    for (size_t i = 0; i < count; ++i) {
        const char* component = entryNames[i] ? lastComponentOf(entryNames[i]) : nullptr;
        if (component)
            keyOf[i] = static_cast<ptrdiff_t>(keys.add(component, strlen(component)));
    }
    locateKeys(listText, keys);
    for (size_t i = 0; i < count; ++i) {
        if (keyOf[i] < 0)
            continue;
        const char* equals = keys.positionOf(static_cast<size_t>(keyOf[i]));
        unread[i] = equals && statusIsUnread(equals + 1);
    }
    return unread;
}

}  // namespace corvane
