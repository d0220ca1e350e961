#include "wire.h"

#include <cerrno>

namespace platform::com::wire {
namespace {

int Expect(sd_bus_message* m, const char* signature) {
    return sd_bus_message_has_signature(m, signature) > 0 ? 0 : -EBADMSG;
}

int ReadFormat(sd_bus_message* m, Format& f) {
    return sd_bus_message_read(m, "quiu", &f.clipFormat, &f.aspect, &f.index, &f.tymed);
}

int ReadBlock(sd_bus_message* m, BlockView& block) {
    const void* data = nullptr;
    size_t size = 0;
    const int r = sd_bus_message_read_array(m, 'y', &data, &size);
    if (r < 0) {
        return r;
    }
    block.data = static_cast<const uint8_t*>(data);
    block.size = data ? size : 0;
    return 0;
}

int ReadFormatAndBlock(sd_bus_message* m, SetDataArgs& out) {
    int r = Expect(m, "quiuay");
    if (r >= 0) {
        r = ReadFormat(m, out.format);
    }
    return r < 0 ? r : ReadBlock(m, out.block);
}

}  // namespace

Format ToWire(const FORMATETC& f) {
    return {f.cfFormat, f.dwAspect, f.lindex, f.tymed};
}

FORMATETC FromWire(const Format& f) {
    FORMATETC out;
    out.cfFormat = f.clipFormat;
    out.dwAspect = f.aspect;
    out.lindex = f.index;
    out.tymed = f.tymed;
    return out;
}

int AppendFormat(sd_bus_message* m, const Format& f) {
    return sd_bus_message_append(m, "quiu", f.clipFormat, f.aspect, f.index, f.tymed);
}

int AppendBlock(sd_bus_message* m, const void* data, size_t size) {
    // sd-bus refuses a null pointer even for an empty array.
    static const uint8_t empty = 0;
    return sd_bus_message_append_array(m, 'y', size ? data : &empty, size);
}

int DecodeSetData(sd_bus_message* m, SetDataArgs& out) {
    return ReadFormatAndBlock(m, out);
}

int DecodeOnDataChange(sd_bus_message* m, SetDataArgs& out) {
    return ReadFormatAndBlock(m, out);
}

int DecodeGetData(sd_bus_message* m, Format& out) {
    const int r = Expect(m, "quiu");
    return r < 0 ? r : ReadFormat(m, out);
}

int DecodeDAdvise(sd_bus_message* m, DAdviseArgs& out) {
    int r = Expect(m, "quiuuo");
    if (r >= 0) {
        r = ReadFormat(m, out.format);
    }
    return r < 0 ? r : sd_bus_message_read(m, "uo", &out.advf, &out.sinkPath);
}

int DecodeDUnadvise(sd_bus_message* m, uint32_t& connection) {
    const int r = Expect(m, "u");
    return r < 0 ? r : sd_bus_message_read(m, "u", &connection);
}

int DecodeCreateInstance(sd_bus_message* m, CLSID& clsid) {
    const char* text = nullptr;
    int r = Expect(m, "s");
    if (r >= 0) {
        r = sd_bus_message_read(m, "s", &text);
    }
    if (r < 0) {
        return r;
    }
    return ParseGuid(text, clsid) ? 0 : -EINVAL;
}

int DecodeResult(sd_bus_message* m, HRESULT& result) {
    const int r = Expect(m, "i");
    return r < 0 ? r : sd_bus_message_read(m, "i", &result);
}

int DecodeGetDataReply(sd_bus_message* m, GetDataReply& out) {
    int r = Expect(m, "iuay");
    if (r >= 0) {
        r = sd_bus_message_read(m, "iu", &out.result, &out.tymed);
    }
    return r < 0 ? r : ReadBlock(m, out.block);
}

int DecodeDAdviseReply(sd_bus_message* m, DAdviseReply& out) {
    const int r = Expect(m, "iu");
    return r < 0 ? r : sd_bus_message_read(m, "iu", &out.result, &out.connection);
}

int DecodeCreateInstanceReply(sd_bus_message* m, CreateInstanceReply& out) {
    int r = Expect(m, "io");
    if (r >= 0) {
        r = sd_bus_message_read(m, "io", &out.result, &out.path);
    }
    return r;
}

}  // namespace platform::com::wire
