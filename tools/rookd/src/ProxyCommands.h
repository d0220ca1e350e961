// rookctl's commands that act as a client program would: list every proxy of the client
// library with its operations, and call one operation of one proxy against the server.
#pragma once

#include <string>

namespace rookd {

// Prints every proxy, its server object and each operation with command code, block size,
// send pattern and payload layout. Returns the exit code.
int ListProxies();
// Makes the proxy of `className`, attaches it and, unless `operation` is empty, calls that
// operation with neutral arguments (zero, empty lists, the name "entry"); prints what was
// sent. Returns the exit code.
int CallOperation(const std::string& className, const std::string& operation);

}  // namespace rookd
