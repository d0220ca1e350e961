// Window messages between processes over the bus (see README.md, "Window messages"): a
// broadcast reaches the top-level windows of every process that installed the transport,
// findWindow finds a top-level window of another process by its class, and a message posted
// to such a window reaches it by its registered name.
#pragma once

namespace platform::com {

// Installs the transport as the process's platform::messages remote transport. Incoming
// messages are received on a thread of the transport's own and queued for their windows'
// threads as local posts are. False when the bus cannot be reached. Idempotent.
bool InstallBusMessageTransport();
// Removes it (the process no longer receives or sends messages across processes).
void RemoveBusMessageTransport();

}  // namespace platform::com
