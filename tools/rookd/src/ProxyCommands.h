// rookctl's commands that act as a client program would: list every proxy of the client
// library with its operations, and call operations of one proxy against the server.
#pragma once

#include <string>
#include <vector>

namespace rookd {

// Prints every proxy, its server object and each operation with command code, block size,
// send pattern, arguments and payload layout. Returns the exit code.
int ListProxies();
// Makes the proxy of `className` and attaches it as a client does, then calls the operations
// that `words` name, in order: "OPERATION ARG... [-- OPERATION ARG...]...". Each operation's
// arguments are read as its argument list says (see rookclient/CallArguments.h); where an
// operation has overloads, the first whose arguments fit is called. When the first operation
// is the proxy's attach, it replaces the attach with neutral arguments. Every operation's
// arguments are checked first: when one does not fit, nothing at all is sent and stderr says
// why. Prints what was sent; returns the exit code.
int CallOperations(const std::string& className, const std::vector<std::string>& words);

}  // namespace rookd
