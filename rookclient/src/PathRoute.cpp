#include <algorithm>

#include "rookclient/CommandBlock.h"
#include "rookclient/Proxies.h"

namespace {
constexpr uint32_t kMultiplePathRoutesCommand = 223;
constexpr size_t kMaxRoutes = 100;
constexpr size_t kCountOffset = 16;
constexpr size_t kRoutesOffset = 20;
constexpr size_t kRouteBytes = 8;
constexpr size_t kBlockSize = kRoutesOffset + kMaxRoutes * kRouteBytes;
}  // namespace

// The block has room for 100 routes; later ones are not sent, and the count says how many were.
void CPathRouteRookObject::SetMultiplePathRoutes(
    const std::vector<std::pair<int32_t, int32_t>>& routes) {
    const size_t count = std::min(routes.size(), kMaxRoutes);
    rookclient::Command(*this, kMultiplePathRoutesCommand, kBlockSize, 0,
                        [&](rookclient::CommandBlock& block) {
                            block.PutU32(kCountOffset, static_cast<uint32_t>(count));
                            for (size_t i = 0; i < count; ++i) {
                                const size_t at = kRoutesOffset + i * kRouteBytes;
                                block.PutU32(at, static_cast<uint32_t>(routes[i].first));
                                block.PutU32(at + 4, static_cast<uint32_t>(routes[i].second));
                            }
                        });
}
