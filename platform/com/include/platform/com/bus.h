// The calling thread's bus connection, for code that speaks to the bus directly beside the
// object calls (a server's control interface, a tool). Only the calling thread may use it.
#pragma once

struct sd_bus;

namespace platform::com {

// Calling thread: its connection (opened on first use on the configured bus, see README.md);
// null when the bus cannot be reached.
sd_bus* CurrentThreadBus();

}  // namespace platform::com
