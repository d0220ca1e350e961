// Every proxy of the library as data: its class, its server object, and each operation that
// sends a block with the command code, block size and send pattern it uses. Built from the same
// table as the proxy classes, so programs that must know every object (the stand-in server,
// its control tool, tests) read it here instead of keeping lists of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

class CGenericRookObject;

namespace rookclient {

enum class Pattern {
    Attach,   // StopAdvise, SendData, StartAdvise(readNow)
    Command,  // SendData alone
    Request,  // StopAdvise, SendData, StartAdvise(1)
};

struct OperationEntry {
    const char* name;
    uint32_t command;
    size_t blockSize;
    Pattern pattern;
    int readNow;  // for Pattern::Attach
    // Calls the operation on a proxy of the entry's class with neutral arguments (zero, empty
    // lists, the name "entry").
    void (*invoke)(CGenericRookObject& proxy);
    // Where the payload's fields stand, for people reading traffic.
    const char* payload;
};

struct ProxyEntry {
    const char* className;
    const char* serverName;  // null where the client program supplies it
    // The attach first, then every other operation that sends.
    std::span<const OperationEntry> operations;
    std::unique_ptr<CGenericRookObject> (*create)(int adviseEnabled);

    const OperationEntry& attach() const { return operations.front(); }
};

std::span<const ProxyEntry> ProxyCatalog();
// The entry of a class, or null.
const ProxyEntry* FindProxy(std::string_view className);
// The entries whose attach uses `command`.
const ProxyEntry* FindProxyByAttach(uint32_t command);

}  // namespace rookclient
