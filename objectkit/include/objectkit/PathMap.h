// Path ranges of the console's sections, and path translation pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pairs (first path, number of paths); pair i is section i of the console's path layout.
class CPathMap {
  public:
    static constexpr int kSectionCount = 13;

    std::vector<int32_t> values;  // read in pairs

    CPathMap() = default;
    explicit CPathMap(std::vector<int32_t> pairs) : values(std::move(pairs)) {}

    int GetSize() const { return static_cast<int>(values.size()); }
    void Add(int32_t value) { values.push_back(value); }
    void AddSection(int32_t firstPath, int32_t pathCount) {
        values.push_back(firstPath);
        values.push_back(pathCount);
    }
    void RemoveAll() { values.clear(); }

    // The first section whose range [first, first + count) holds the path, -1 when none does.
    int SectionOfPath(int32_t path) const;
    // The channel kind (0-12) that selects default values: sections 0-12 map through the fixed
    // table 0, 7, 1, 2, 3, 8, 4, 5, 6, 9, 10, 11, 12; a path in no section (or in a section
    // beyond 12) has kind 0.
    int ChannelKindOfPath(int32_t path) const;
};

struct CTranslationPair {
    int32_t from = 0;
    int32_t to = 0;
};

class CTranslationPairArray {
  public:
    std::vector<CTranslationPair> pairs;

    int GetSize() const { return static_cast<int>(pairs.size()); }
    void Add(int32_t from, int32_t to) { pairs.push_back({from, to}); }
    void RemoveAll() { pairs.clear(); }
    const CTranslationPair& operator[](int i) const { return pairs[static_cast<size_t>(i)]; }
};
