// Builds a bus message whose body the fuzzer chooses (any mix of argument types and values,
// arrays of any length), as a method call, a method return or a signal, and hands it to one
// of the decoders that meet such bodies from other processes. Every byte a decoder gives out
// is read, so that a view past the message's end would be caught.
#include <sys/socket.h>
#include <systemd/sd-bus.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "message_wire.h"
#include "wire.h"

using namespace platform::com;

namespace {

// Both ends live as long as the process.
sd_bus* client = nullptr;
sd_bus* server = nullptr;

// Two ends of a socket pair, one a bus server: messages can be made without a bus daemon.
void Connect() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        abort();
    }
    sd_id128_t id;
    sd_id128_randomize(&id);
    sd_bus_new(&server);
    sd_bus_set_fd(server, fds[0], fds[0]);
    sd_bus_set_server(server, 1, id);
    sd_bus_set_anonymous(server, 1);
    sd_bus_start(server);
    sd_bus_new(&client);
    sd_bus_set_fd(client, fds[1], fds[1]);
    sd_bus_set_anonymous(client, 1);
    sd_bus_start(client);
    for (int i = 0; i < 1000 && (sd_bus_is_ready(client) <= 0 || sd_bus_is_ready(server) <= 0);
         ++i) {
        sd_bus_process(server, nullptr);
        sd_bus_process(client, nullptr);
        sd_bus_wait(client, 1000);
    }
}

struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size ? (--size, *data++) : 0; }
    template <typename T>
    T Value() {
        T v{};
        uint8_t bytes[sizeof(T)] = {};
        for (auto& b : bytes) {
            b = Byte();
        }
        std::memcpy(&v, bytes, sizeof v);
        return v;
    }
    std::string Text() {
        std::string s;
        for (size_t n = Byte() % 48; n > 0 && size; --n) {
            s += static_cast<char>(Byte());
        }
        return s;
    }
};

// Appends arguments chosen by the input until it runs out (or sd-bus refuses one).
void AppendArguments(sd_bus_message* m, Input& in) {
    for (int count = 0; in.size && count < 12; ++count) {
        int r = 0;
        switch (in.Byte() % 12) {
            case 0:
                r = sd_bus_message_append(m, "y", in.Value<uint8_t>());
                break;
            case 1:
                r = sd_bus_message_append(m, "q", in.Value<uint16_t>());
                break;
            case 2:
                r = sd_bus_message_append(m, "i", in.Value<int32_t>());
                break;
            case 3:
                r = sd_bus_message_append(m, "u", in.Value<uint32_t>());
                break;
            case 4:
                r = sd_bus_message_append(m, "t", in.Value<uint64_t>());
                break;
            case 5:
                r = sd_bus_message_append(m, "x", in.Value<int64_t>());
                break;
            case 6:
                r = sd_bus_message_append(m, "b", in.Byte() & 1);
                break;
            case 7:
                r = sd_bus_message_append(m, "s", in.Text().c_str());
                break;
            case 8: {
                std::string path = "/" + in.Text();
                r = sd_bus_message_append(m, "o", path.c_str());
                break;
            }
            case 9: {
                const size_t n = in.Value<uint16_t>() % 70000;
                std::string bytes(n, '\0');
                for (size_t i = 0; i < n && in.size; ++i) {
                    bytes[i] = static_cast<char>(in.Byte());
                }
                r = sd_bus_message_append_array(m, 'y', bytes.data(), n);
                break;
            }
            case 10:
                r = sd_bus_message_append(m, "d", in.Value<double>());
                break;
            default:
                r = sd_bus_message_append(m, "as", 2, in.Text().c_str(), "x");
                break;
        }
        if (r < 0) {
            return;
        }
    }
}

volatile uint32_t sink;

void Touch(const wire::BlockView& block) {
    uint32_t sum = 0;
    for (size_t i = 0; i < block.size; ++i) {
        sum += block.data[i];
    }
    sink = sum;
}

void Touch(const char* text) {
    sink = text ? static_cast<uint32_t>(std::strlen(text)) : 0;
}

void Decode(int which, sd_bus_message* m) {
    switch (which) {
        case 0: {
            wire::SetDataArgs a;
            if (wire::DecodeSetData(m, a) >= 0)
                Touch(a.block);
            break;
        }
        case 1: {
            wire::Format f;
            wire::DecodeGetData(m, f);
            break;
        }
        case 2: {
            wire::DAdviseArgs a;
            if (wire::DecodeDAdvise(m, a) >= 0)
                Touch(a.sinkPath);
            break;
        }
        case 3: {
            uint32_t c;
            wire::DecodeDUnadvise(m, c);
            break;
        }
        case 4: {
            CLSID c;
            wire::DecodeCreateInstance(m, c);
            break;
        }
        case 5: {
            wire::SetDataArgs a;
            if (wire::DecodeOnDataChange(m, a) >= 0)
                Touch(a.block);
            break;
        }
        case 6: {
            HRESULT hr;
            wire::DecodeResult(m, hr);
            break;
        }
        case 7: {
            wire::GetDataReply a;
            if (wire::DecodeGetDataReply(m, a) >= 0)
                Touch(a.block);
            break;
        }
        case 8: {
            wire::DAdviseReply a;
            wire::DecodeDAdviseReply(m, a);
            break;
        }
        case 9: {
            wire::CreateInstanceReply a;
            if (wire::DecodeCreateInstanceReply(m, a) >= 0)
                Touch(a.path);
            break;
        }
        case 10: {
            wire::CarriedMessage c;
            if (wire::DecodeBroadcast(m, c) >= 0)
                Touch(c.name);
            break;
        }
        default: {
            wire::CarriedMessage c;
            if (wire::DecodePost(m, c) >= 0)
                Touch(c.name);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Connect();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const int which = in.Byte() % 12;
    static uint64_t cookie = 1;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(client, &call, nullptr, "/org/kestane/com/instance/1",
                                       "org.kestane.com.DataObject", "SetData") < 0) {
        return 0;
    }
    sd_bus_message* m = call;
    if (which >= 6 && which <= 9) {  // a reply: made from the sealed call
        sd_bus_message_seal(call, cookie++, 0);
        if (sd_bus_message_new_method_return(call, &m) < 0) {
            sd_bus_message_unref(call);
            return 0;
        }
    } else if (which >= 10) {
        sd_bus_message_new_signal(client, &m, "/org/kestane/Messages", "org.kestane.Messages",
                                  "Post");
    }
    AppendArguments(m, in);
    if (sd_bus_message_seal(m, cookie++, 0) >= 0 && sd_bus_message_rewind(m, 1) >= 0) {
        Decode(which, m);
    }
    if (m != call) {
        sd_bus_message_unref(m);
    }
    sd_bus_message_unref(call);
    return 0;
}
