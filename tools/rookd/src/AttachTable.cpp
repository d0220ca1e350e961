#include "AttachTable.h"

#include <rookclient/ProxyCatalog.h>

#include <vector>

namespace rookd {
namespace {

// Attach command -> server object name, taken from the client library's proxy catalog so that
// the server binds exactly the objects the proxies attach to. Proxies that share an attach code
// (the two engineering reports) share the object; the offline I/O proxies attach with their
// own codes to the on-line objects; the gang-data proxy's object, named by its client, is one
// object here.
const std::vector<AttachEntry>& Attaches() {
    static const std::vector<AttachEntry> table = [] {
        std::vector<AttachEntry> entries;
        for (const rookclient::ProxyEntry& proxy : rookclient::ProxyCatalog()) {
            const uint32_t command = proxy.attach().command;
            bool known = false;
            for (const AttachEntry& entry : entries) {
                known = known || entry.command == command;
            }
            if (!known && proxy.serverName) {
                entries.push_back({command, proxy.serverName});
            }
        }
        return entries;
    }();
    return table;
}

}  // namespace

std::span<const AttachEntry> AttachTable() {
    return Attaches();
}

std::string_view ObjectOfAttach(uint32_t command) {
    for (const AttachEntry& entry : Attaches()) {
        if (entry.command == command) {
            return entry.object;
        }
    }
    return {};
}

}  // namespace rookd
