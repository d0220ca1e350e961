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

class CallArguments;

enum class Pattern {
    Attach,   // StopAdvise, SendData, StartAdvise(readNow)
    Command,  // SendData alone
    Request,  // StopAdvise, SendData, StartAdvise(1)
};

// A payload field of an operation whose layout the table gives field by field.
enum class FieldKind {
    Int,    // 32-bit word, signed
    UInt,   // 32-bit word, unsigned (also a window handle placed in the payload)
    Bool,   // 32-bit word, 0 or 1
    Short,  // 16 bits, signed
    Byte,   // 8 bits
    Name,   // text of at most `width` bytes, ended by the zero fill
    Bytes,  // up to `width` raw bytes
    Const,  // a fixed word (`constant`) that tells operations of one code apart
};

struct PayloadField {
    const char* name;
    FieldKind kind;
    size_t offset;
    size_t width;      // Name and Bytes
    int64_t constant;  // Const
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
    // The arguments the operation takes, in order, as "kind name" items ("int rate, text
    // name, window window"; "=VALUE" marks a default).
    const char* arguments;
    // Calls the operation on `proxy` with the arguments read from `args` (see
    // CallArguments.h); with a null proxy, only checks them. False, with nothing sent, when
    // the arguments do not fit the operation (args.Error() says why).
    bool (*call)(CGenericRookObject* proxy, CallArguments& args);
    // The payload field by field where the table lays it out (empty for the blocks that the
    // model builds: their layout is told by `payload`).
    std::span<const PayloadField> fields;
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
