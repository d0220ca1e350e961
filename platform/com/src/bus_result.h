// How the outcome of a bus call becomes a result code.
#pragma once

#include <systemd/sd-bus.h>

#include "platform/com/types.h"

namespace platform::com::detail {

// `r` is the negative errno of a failed sd-bus call, `error` the error it reported (may be
// unset). A server that is gone (no owner, disconnected, no reply, its object vanished) gives
// RPC_S_SERVER_UNAVAILABLE, an expired time-out RPC_E_TIMEOUT.
HRESULT ResultOfBusFailure(int r, const sd_bus_error* error);

}  // namespace platform::com::detail
