#include "rookclient/ProxyCatalog.h"

#include <algorithm>

namespace rookclient {

const ProxyEntry* FindProxy(std::string_view className) {
    const auto all = ProxyCatalog();
    const auto it = std::find_if(all.begin(), all.end(), [className](const ProxyEntry& entry) {
        return className == entry.className;
    });
    return it == all.end() ? nullptr : &*it;
}

const ProxyEntry* FindProxyByAttach(uint32_t command) {
    const auto all = ProxyCatalog();
    const auto it = std::find_if(all.begin(), all.end(), [command](const ProxyEntry& entry) {
        return entry.attach().command == command;
    });
    return it == all.end() ? nullptr : &*it;
}

}  // namespace rookclient
