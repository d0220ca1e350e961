// The client's stand-in for one server instance: IUnknown and IDataObject over the bus.
#pragma once

#include <memory>
#include <string>

#include "platform/com/interfaces.h"
#include "server_watch.h"

namespace platform::com::detail {

// A new proxy (reference count 1) for the instance at `path` of the server `uniqueName`.
IDataObject* MakeDataObjectProxy(std::string uniqueName, std::string path,
                                 std::shared_ptr<ServerWatch> watch);

}  // namespace platform::com::detail
