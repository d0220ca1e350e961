#include "message_wire.h"

#include <cerrno>

namespace platform::com::wire {

int DecodeBroadcast(sd_bus_message* m, CarriedMessage& out) {
    if (sd_bus_message_has_signature(m, "tsutx") <= 0) {
        return -EBADMSG;
    }
    return sd_bus_message_read(m, "tsutx", &out.origin, &out.name, &out.message, &out.wParam,
                               &out.lParam);
}

int DecodePost(sd_bus_message* m, CarriedMessage& out) {
    if (sd_bus_message_has_signature(m, "ttsutx") <= 0) {
        return -EBADMSG;
    }
    return sd_bus_message_read(m, "ttsutx", &out.origin, &out.window, &out.name, &out.message,
                               &out.wParam, &out.lParam);
}

}  // namespace platform::com::wire
