#include "mic/osc/OscMessage.h"

#include <lo/lo.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace mic::osc {

OscValue OscValue::Int(int32_t v) {
    OscValue o;
    o.type = 'i';
    o.integer = v;
    return o;
}

OscValue OscValue::Float(float v) {
    OscValue o;
    o.type = 'f';
    o.real = v;
    return o;
}

OscValue OscValue::String(std::string v) {
    OscValue o;
    o.type = 's';
    o.text = std::move(v);
    return o;
}

bool OscValue::IsNumber() const {
    return type == 'i' || type == 'h' || type == 'f' || type == 'd' || type == 'T' || type == 'F';
}

double OscValue::Number() const {
    return (type == 'f' || type == 'd') ? real : static_cast<double>(integer);
}

namespace {

struct MessageDeleter {
    void operator()(void* m) const { lo_message_free(m); }
};
using MessagePtr = std::unique_ptr<void, MessageDeleter>;

template <typename T>
T Read(const void* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

uint32_t ReadBigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool DecodeMessage(const uint8_t* data, size_t size, std::vector<OscMessage>& out,
                   std::string& error) {
    // liblo validates the address, the type tags and every argument against `size`; it takes
    // a mutable pointer but only reads. The copy keeps a const buffer const.
    std::vector<uint8_t> copy(data, data + size);
    int result = 0;
    MessagePtr m(lo_message_deserialise(copy.data(), copy.size(), &result));
    if (!m) {
        error = "malformed OSC message";
        return false;
    }
    OscMessage message;
    // The address is the first string of the packet, NUL-terminated within it (checked by
    // liblo above).
    message.path.assign(reinterpret_cast<const char*>(copy.data()),
                        strnlen(reinterpret_cast<const char*>(copy.data()), copy.size()));
    const char* types = lo_message_get_types(m.get());
    lo_arg** argv = lo_message_get_argv(m.get());
    const int argc = lo_message_get_argc(m.get());
    for (int i = 0; i < argc; ++i) {
        OscValue v;
        v.type = types[i];
        // liblo's argument pointers point into the packet, aligned to 4 bytes only, while its
        // lo_arg union asks for 8: read the bytes, never through the union.
        const void* arg = argv[i];
        switch (types[i]) {
            case 'i':
                v.integer = Read<int32_t>(arg);
                break;
            case 'h':
                v.integer = Read<int64_t>(arg);
                break;
            case 'f':
                v.real = Read<float>(arg);
                break;
            case 'd':
                v.real = Read<double>(arg);
                break;
            case 's':
            case 'S':
                v.text = static_cast<const char*>(arg);
                break;
            case 'T':
                v.integer = 1;
                break;
            case 'F':
                v.integer = 0;
                break;
            default:
                break;  // kept as its tag only: never a valid argument of the address space
        }
        message.args.push_back(std::move(v));
    }
    if (out.size() >= kMaxMessagesPerPacket) {
        error = "too many messages in one packet";
        return false;
    }
    out.push_back(std::move(message));
    return true;
}

// "#bundle\0", an 8-byte time tag, then elements: a 4-byte big-endian size and that many bytes
// holding a message or a bundle.
bool DecodeElement(const uint8_t* data, size_t size, int depth, std::vector<OscMessage>& out,
                   std::string& error) {
    static constexpr char kBundle[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
    if (size < 8 || std::memcmp(data, kBundle, 8) != 0)
        return DecodeMessage(data, size, out, error);
    if (depth >= kMaxBundleDepth) {
        error = "bundles nested too deeply";
        return false;
    }
    if (size < 16) {
        error = "malformed OSC bundle";
        return false;
    }
    size_t at = 16;
    while (at < size) {
        if (size - at < 4) {
            error = "malformed OSC bundle";
            return false;
        }
        const uint32_t length = ReadBigEndian32(data + at);
        at += 4;
        if (length == 0 || length % 4 != 0 || length > size - at) {
            error = "malformed OSC bundle";
            return false;
        }
        if (!DecodeElement(data + at, length, depth + 1, out, error))
            return false;
        at += length;
    }
    return true;
}

}  // namespace

bool DecodePacket(const uint8_t* data, size_t size, std::vector<OscMessage>& out,
                  std::string& error) {
    out.clear();
    error.clear();
    bool ok = false;
    if (data == nullptr || size == 0 || size % 4 != 0) {
        error = "malformed OSC packet";
    } else if (size > kMaxPacketSize) {
        error = "packet too large";
    } else {
        ok = DecodeElement(data, size, 0, out, error);
    }
    if (!ok)
        out.clear();
    return ok;
}

std::vector<uint8_t> EncodeMessage(const OscMessage& message) {
    MessagePtr m(lo_message_new());
    if (!m)
        return {};
    for (const OscValue& v : message.args) {
        if (v.IsText()) {
            lo_message_add_string(m.get(), v.text.c_str());
        } else if (v.type == 'f' || v.type == 'd') {
            lo_message_add_float(m.get(), static_cast<float>(v.real));
        } else {
            lo_message_add_int32(m.get(), static_cast<int32_t>(v.integer));
        }
    }
    size_t size = lo_message_length(m.get(), message.path.c_str());
    if (size == 0)
        return {};
    std::vector<uint8_t> bytes(size);
    if (!lo_message_serialise(m.get(), message.path.c_str(), bytes.data(), &size))
        return {};
    bytes.resize(size);
    return bytes;
}

}  // namespace mic::osc
