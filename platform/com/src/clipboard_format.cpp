// Registered clipboard formats: the number is computed from the name, so every process (and a
// server written in another language, see README.md) arrives at the same number without
// asking anyone: 0xC000 + (FNV-1a 32-bit hash of the ASCII-lower-cased name) mod 0x4000.
// Two names of one process that land on one number would be told apart by taking the next
// free number for the later one; that order is the one thing not shared between processes,
// so it is reported on stderr.
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "detail.h"

namespace platform::com::detail {
namespace {

std::string Lower(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return key;
}

}  // namespace

CLIPFORMAT HashedClipboardFormat(std::string_view name) {
    uint32_t hash = 2166136261u;
    for (char c : Lower(name)) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return static_cast<CLIPFORMAT>(0xC000 + hash % 0x4000);
}

CLIPFORMAT SharedClipboardFormat(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, CLIPFORMAT> byName;
    static std::map<CLIPFORMAT, std::string> byNumber;
    const std::string key = Lower(name);
    std::lock_guard lock(mutex);
    if (auto it = byName.find(key); it != byName.end()) {
        return it->second;
    }
    CLIPFORMAT number = HashedClipboardFormat(key);
    if (byNumber.size() >= 0x4000) {
        return 0;  // every number is taken
    }
    while (byNumber.count(number)) {
        std::fprintf(stderr, "clipboard format \"%s\" shares its number with \"%s\"\n", key.c_str(),
                     byNumber[number].c_str());
        number = static_cast<CLIPFORMAT>(number == 0xFFFF ? 0xC000 : number + 1);
    }
    byName.emplace(key, number);
    byNumber.emplace(number, key);
    return number;
}

}  // namespace platform::com::detail
