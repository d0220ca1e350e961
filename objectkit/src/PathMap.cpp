#include <objectkit/PathMap.h>

namespace {
// Channel kind of each console section.
constexpr int kKindOfSection[CPathMap::kSectionCount] = {0, 7, 1, 2, 3, 8, 4, 5, 6, 9, 10, 11, 12};
}  // namespace

int CPathMap::SectionOfPath(int32_t path) const {
    const size_t pairs = values.size() / 2;
    for (size_t i = 0; i < pairs; ++i) {
        const int64_t first = values[2 * i];
        const int64_t count = values[2 * i + 1];
        if (path >= first && path < first + count) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CPathMap::ChannelKindOfPath(int32_t path) const {
    const int section = SectionOfPath(path);
    return section >= 0 && section < kSectionCount ? kKindOfSection[section] : 0;
}
