#include "bus_result.h"

#include <cerrno>
#include <cstring>

namespace platform::com::detail {
namespace {

struct NamedResult {
    const char* name;
    HRESULT result;
};

// Error names a call can come back with, and what each means to the caller.
constexpr NamedResult kErrorNames[] = {
    {SD_BUS_ERROR_SERVICE_UNKNOWN, RPC_S_SERVER_UNAVAILABLE},
    {SD_BUS_ERROR_NAME_HAS_NO_OWNER, RPC_S_SERVER_UNAVAILABLE},
    {SD_BUS_ERROR_NO_REPLY, RPC_S_SERVER_UNAVAILABLE},
    {SD_BUS_ERROR_DISCONNECTED, RPC_S_SERVER_UNAVAILABLE},
    {SD_BUS_ERROR_NO_SERVER, RPC_S_SERVER_UNAVAILABLE},
    {SD_BUS_ERROR_UNKNOWN_OBJECT, RPC_S_SERVER_UNAVAILABLE},
    {SD_BUS_ERROR_TIMEOUT, RPC_E_TIMEOUT},
    {"org.freedesktop.DBus.Error.TimedOut", RPC_E_TIMEOUT},
    {SD_BUS_ERROR_INVALID_ARGS, E_INVALIDARG},
    {SD_BUS_ERROR_NO_MEMORY, E_OUTOFMEMORY},
    {SD_BUS_ERROR_ACCESS_DENIED, E_ACCESSDENIED},
    {SD_BUS_ERROR_UNKNOWN_METHOD, E_NOTIMPL},
    {SD_BUS_ERROR_UNKNOWN_INTERFACE, E_NOTIMPL},
    {SD_BUS_ERROR_NOT_SUPPORTED, E_NOTIMPL},
};

}  // namespace

HRESULT ResultOfBusFailure(int r, const sd_bus_error* error) {
    if (r == -ETIMEDOUT) {
        return RPC_E_TIMEOUT;
    }
    if (error && error->name) {
        for (const NamedResult& entry : kErrorNames) {
            if (std::strcmp(error->name, entry.name) == 0) {
                return entry.result;
            }
        }
    }
    switch (-r) {
        case ENOTCONN:
        case ECONNRESET:
        case ECONNREFUSED:
        case EPIPE:
        case ESHUTDOWN:
        case ENOENT:
        case EHOSTDOWN:
            return RPC_S_SERVER_UNAVAILABLE;
        case ENOMEM:
        case ENOBUFS:
            return E_OUTOFMEMORY;
        case EACCES:
        case EPERM:
            return E_ACCESSDENIED;
        default:
            return E_FAIL;
    }
}

}  // namespace platform::com::detail
