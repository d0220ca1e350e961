#include "rookclient/ModelBridge.h"
#include "rookclient/Proxies.h"

void CIORoutingRookObject::IOReAttach() {
    if (platform::com::HGLOBAL block = ReadData(-1)) {
        DeliverAndFree(block);
    }
}

// Online the route goes to the server; offline it changes the local table only, and the client
// hears of it as it would of a push.
void CIORoutingRookObject::SetIORoute(uint8_t rack, uint8_t card, uint8_t port, uint8_t flag,
                                      int group, int path, int entry) {
    auto& image = Image();
    if (const auto block = image.SetIORoute({rack, card, port, flag}, group, path, entry)) {
        rookclient::Send(*this, *block);
    } else {
        rookclient::PostNotice(image.ClientWindow(), rookclient::model::kRoutingInformationReady);
    }
}
