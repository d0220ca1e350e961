#include "ProxyCommands.h"

#include <rookclient/CallArguments.h>
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
    std::printf("  %-28s %4u %7zu %-8s (%s) %s\n", op.name, op.command, op.blockSize,
                PatternName(op.pattern), op.arguments, op.payload);
}

struct Call {
    std::string operation;
    std::vector<std::string> args;
};

std::vector<Call> SplitCalls(const std::vector<std::string>& words) {
    std::vector<Call> calls;
    for (const std::string& word : words) {
        if (calls.empty() || word == "--") {
            calls.push_back({});
            if (word == "--") {
                continue;
            }
        }
        if (calls.back().operation.empty()) {
            calls.back().operation = word;
        } else {
            calls.back().args.push_back(word);
        }
    }
    return calls;
}

// The first overload of `call.operation` whose arguments fit, or null (and every overload's
// complaint on stderr) when none does.
const rookclient::OperationEntry* Choose(const rookclient::ProxyEntry& proxy, const Call& call) {
    std::string complaints;
    for (const rookclient::OperationEntry& op : proxy.operations) {
        if (call.operation != op.name) {
            continue;
        }
        rookclient::CallArguments args(call.args);
        if (op.call(nullptr, args)) {
            return &op;
        }
        complaints += "  " + call.operation + "(" + op.arguments + "): " + args.Error() + "\n";
    }
    if (complaints.empty()) {
        std::fprintf(stderr, "rookctl: %s has no operation '%s' (see rookctl proxies)\n",
                     proxy.className, call.operation.c_str());
    } else {
        std::fprintf(stderr, "rookctl: %s::%s: the arguments fit no form of the operation\n%s",
                     proxy.className, call.operation.c_str(), complaints.c_str());
    }
    return nullptr;
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

int CallOperations(const std::string& className, const std::vector<std::string>& words) {
    const rookclient::ProxyEntry* proxy = rookclient::FindProxy(className);
    if (!proxy) {
        std::fprintf(stderr, "rookctl: no proxy %s (see rookctl proxies)\n", className.c_str());
        return 1;
    }
    // Every call's arguments are checked before anything is sent.
    const std::vector<Call> calls = SplitCalls(words);
    std::vector<const rookclient::OperationEntry*> chosen;
    for (const Call& call : calls) {
        chosen.push_back(Choose(*proxy, call));
        if (!chosen.back()) {
            return 1;
        }
    }
    platform::com::CoInitialize();
    auto object = proxy->create(1);
    if (!object->IsConnected()) {
        std::fprintf(stderr, "rookctl: the server class is not reachable\n");
        return 1;
    }
    if (calls.empty() || calls.front().operation != proxy->attach().name) {
        proxy->attach().invoke(*object);
        Print(proxy->attach());
    }
    for (size_t i = 0; i < calls.size(); ++i) {
        rookclient::CallArguments args(calls[i].args);
        chosen[i]->call(object.get(), args);
        Print(*chosen[i]);
    }
    return 0;
}

}  // namespace rookd
