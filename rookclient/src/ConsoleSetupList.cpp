#include "rookclient/Proxies.h"

void CConsoleSetupListRookObject::DeleteDeskSetups(const std::vector<std::string>& names,
                                                   platform::messages::WindowHandle window) {
    for (const std::string& name : names) {
        DeleteDeskSetup(name, window);
    }
}
