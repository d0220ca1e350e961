#include "ProxyCommands.h"

#include <rookclient/GenericRookObject.h>
#include <rookclient/ProxyCatalog.h>

#include <cstdio>

#include "platform/com/activation.h"

namespace rookd {
namespace {

const char* PatternName(rookclient::Pattern pattern) {
    switch (pattern) {
        case rookclient::Pattern::Attach:
            return "attach";
        case rookclient::Pattern::Request:
            return "request";
        case rookclient::Pattern::Command:
            break;
    }
    return "command";
}

void Print(const rookclient::OperationEntry& op) {
    std::printf("  %-28s %4u %7zu %-8s %s\n", op.name, op.command, op.blockSize,
                PatternName(op.pattern), op.payload);
}

}  // namespace

int ListProxies() {
    for (const rookclient::ProxyEntry& proxy : rookclient::ProxyCatalog()) {
        std::printf("%s \"%s\"\n", proxy.className, proxy.serverName ? proxy.serverName : "");
        for (const rookclient::OperationEntry& op : proxy.operations) {
            Print(op);
        }
    }
    return 0;
}

int CallOperation(const std::string& className, const std::string& operation) {
    const rookclient::ProxyEntry* proxy = rookclient::FindProxy(className);
    if (!proxy) {
        std::fprintf(stderr, "rookctl: no proxy %s (see rookctl proxies)\n", className.c_str());
        return 1;
    }
    const rookclient::OperationEntry* chosen = nullptr;
    for (const rookclient::OperationEntry& op : proxy->operations) {
        if (!operation.empty() && operation == op.name && !chosen) {
            chosen = &op;
        }
    }
    if (!operation.empty() && !chosen) {
        std::fprintf(stderr, "rookctl: %s has no operation %s\n", className.c_str(),
                     operation.c_str());
        return 1;
    }
    platform::com::CoInitialize();
    auto object = proxy->create(1);
    if (!object->IsConnected()) {
        std::fprintf(stderr, "rookctl: the server class is not reachable\n");
        return 1;
    }
    proxy->attach().invoke(*object);
    Print(proxy->attach());
    if (chosen && chosen != &proxy->attach()) {
        chosen->invoke(*object);
        Print(*chosen);
    }
    return 0;
}

}  // namespace rookd
