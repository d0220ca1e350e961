// The object calls as bus messages: names, and the encoding and decoding of every argument
// list. Decoders check the signature first and never trust a length: a block is a view into
// the message, valid while the message lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "bus_ptr.h"
#include "platform/com/types.h"

namespace platform::com::wire {

inline constexpr char kFactoryPath[] = "/org/kestane/com/factory";
inline constexpr char kFactoryInterface[] = "org.kestane.com.ClassFactory";
inline constexpr char kInstancePathPrefix[] = "/org/kestane/com/instance/";
inline constexpr char kDataObjectInterface[] = "org.kestane.com.DataObject";
inline constexpr char kSinkPathPrefix[] = "/org/kestane/com/sink/";
inline constexpr char kSinkInterface[] = "org.kestane.com.AdviseSink";

// The largest block the calls carry, well inside the message limits of every bus
// configuration (a system bus allows 32 MiB messages, D-Bus arrays at most 64 MiB).
inline constexpr size_t kMaxBlockSize = size_t{16} << 20;

// FORMATETC without its target device: "quiu" (format, aspect, index, medium type).
struct Format {
    uint16_t clipFormat = 0;
    uint32_t aspect = 0;
    int32_t index = -1;
    uint32_t tymed = 0;
};
Format ToWire(const FORMATETC& format);
FORMATETC FromWire(const Format& format);

struct BlockView {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

int AppendFormat(sd_bus_message* m, const Format& format);
// An "ay" straight from the caller's bytes (one copy into the message).
int AppendBlock(sd_bus_message* m, const void* data, size_t size);

// Calls the server decodes. Each returns a negative errno for a body of another shape.
struct SetDataArgs {  // "quiuay"
    Format format;
    BlockView block;
};
int DecodeSetData(sd_bus_message* m, SetDataArgs& out);
int DecodeGetData(sd_bus_message* m, Format& out);  // "quiu"
struct DAdviseArgs {                                // "quiuuo"
    Format format;
    uint32_t advf = 0;
    const char* sinkPath = nullptr;
};
int DecodeDAdvise(sd_bus_message* m, DAdviseArgs& out);
int DecodeDUnadvise(sd_bus_message* m, uint32_t& connection);  // "u"
int DecodeCreateInstance(sd_bus_message* m, CLSID& clsid);     // "s"

// Replies and pushes the client decodes.
int DecodeResult(sd_bus_message* m, HRESULT& result);  // "i"
struct GetDataReply {                                  // "iuay"
    HRESULT result = S_OK;
    uint32_t tymed = 0;
    BlockView block;
};
int DecodeGetDataReply(sd_bus_message* m, GetDataReply& out);
struct DAdviseReply {  // "iu"
    HRESULT result = S_OK;
    uint32_t connection = 0;
};
int DecodeDAdviseReply(sd_bus_message* m, DAdviseReply& out);
struct CreateInstanceReply {  // "io"
    HRESULT result = S_OK;
    const char* path = nullptr;
};
int DecodeCreateInstanceReply(sd_bus_message* m, CreateInstanceReply& out);
int DecodeOnDataChange(sd_bus_message* m, SetDataArgs& out);  // "quiuay"

}  // namespace platform::com::wire
