// Port groups: a master port and up to five member ports on the master's card.
#include <algorithm>

#include "rookclient/model/IOConfigImage.h"

namespace rookclient::model {

bool IOConfigImage::AddPortToGroup(const StructIOSearch& port) {
    const PortKey key = PortKey::Of(port);
    if (masters_.contains(key) || members_.contains(key)) {
        return false;
    }
    masters_.emplace(key, StructGroupedPorts{});
    return true;
}

bool IOConfigImage::AddPortToGroup(const StructIOSearch& master, const StructIOSearch& member) {
    const PortKey masterKey = PortKey::Of(master);
    const PortKey memberKey = PortKey::Of(member);
    if (!masters_.contains(masterKey) && !AddPortToGroup(master)) {
        return false;
    }
    if (memberKey.Card() != masterKey.Card()) {
        return false;
    }
    // A port belongs to one group at most: a port already grouped (the master itself
    // included) is refused rather than moved.
    if (masters_.contains(memberKey) || members_.contains(memberKey)) {
        return false;
    }
    StructGroupedPorts& group = masters_[masterKey];
    if (group.count < 0 || group.count >= static_cast<int32_t>(StructGroupedPorts::kMaxMembers)) {
        return false;
    }
    group.members[static_cast<size_t>(group.count++)] = memberKey;
    members_.emplace(memberKey, masterKey);
    return true;
}

void IOConfigImage::ReleaseGroup(const PortKey& master) {
    const auto it = masters_.find(master);
    if (it == masters_.end()) {
        return;
    }
    const int32_t count =
        std::clamp(it->second.count, 0, static_cast<int32_t>(StructGroupedPorts::kMaxMembers));
    for (int32_t i = 0; i < count; ++i) {
        members_.erase(it->second.members[static_cast<size_t>(i)]);
    }
    masters_.erase(it);
}

bool IOConfigImage::RemovePortFromGroup(const StructIOSearch& port) {
    const PortKey key = PortKey::Of(port);
    if (masters_.contains(key)) {
        ReleaseGroup(key);
        return true;
    }
    const auto member = members_.find(key);
    if (member == members_.end()) {
        return false;
    }
    const PortKey master = member->second;
    members_.erase(member);
    StructGroupedPorts& group = masters_[master];
    auto* const end =
        group.members.data() +
        std::clamp(group.count, 0, static_cast<int32_t>(StructGroupedPorts::kMaxMembers));
    auto* const at = std::find(group.members.data(), end, key);
    if (at != end) {
        std::copy(at + 1, end, at);  // the later members move up
        --group.count;
        *(end - 1) = PortKey{};
    }
    if (group.count <= 0) {
        masters_.erase(master);
    }
    return true;
}

bool IOConfigImage::ClearGroup(const StructIOSearch& master) {
    const PortKey key = PortKey::Of(master);
    if (!masters_.contains(key)) {
        return false;
    }
    ReleaseGroup(key);
    return true;
}

bool IOConfigImage::IsGroupMaster(const StructIOSearch& port) const {
    return masters_.contains(PortKey::Of(port));
}

bool IOConfigImage::IsPortGrouped(const StructIOSearch& port) const {
    const PortKey key = PortKey::Of(port);
    return masters_.contains(key) || members_.contains(key);
}

bool IOConfigImage::GetPortGroup(const StructIOSearch& port, StructGroupedPorts& out) const {
    const auto it = masters_.find(PortKey::Of(port));
    if (it == masters_.end()) {
        return false;
    }
    out = it->second;
    return true;
}

}  // namespace rookclient::model
