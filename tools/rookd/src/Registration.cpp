#include "Registration.h"

#include <platform/registry.h>

#include "RookServer.h"

namespace rookd {

bool RegisterServer(const std::string& busName, std::string* problem) {
    using namespace platform::registry;
    Key key;
    Status status =
        Key::root(Hive::LocalMachine)
            .create("Software\\Classes\\CLSID\\" + platform::com::ToString(kServerClass), key);
    if (status == Status::Ok) {
        status = setString(key, "BusName", busName);
    }
    if (status != Status::Ok && problem) {
        *problem = describe(status);
    }
    return status == Status::Ok;
}

}  // namespace rookd
