#include "rookclient/ModelBridge.h"

#include "rookclient/CommandBlock.h"

namespace rookclient {

using namespace platform::com;

namespace {

// The model block's header is set again by the command block from the same values; its
// payload is copied as it stands.
HRESULT Forward(CGenericRookObject& proxy, const model::CommsBlock& block, bool resubscribe,
                int readNow) {
    const auto bytes = block.Bytes();
    return detail::Send(
        proxy, block.Command(), bytes.size(), block.ReplyWindow(),
        [&bytes](CommandBlock& out) {
            out.PutBytes(kHeaderSize, bytes.data() + kHeaderSize, bytes.size() - kHeaderSize);
        },
        resubscribe, readNow);
}

}  // namespace

HRESULT Send(CGenericRookObject& proxy, const model::CommsBlock& block) {
    return Forward(proxy, block, false, 0);
}

HRESULT SendRequest(CGenericRookObject& proxy, const model::CommsBlock& block) {
    return Forward(proxy, block, true, 1);
}

void SendAttach(CGenericRookObject& proxy, const model::CommsBlock& block, int readNow) {
    Forward(proxy, block, true, readNow);
}

void PostNotice(platform::messages::WindowHandle window, std::string_view name) {
    if (window != 0) {
        platform::messages::postMessage(window, platform::messages::registerMessage(name), 0, 0);
    }
}

}  // namespace rookclient
