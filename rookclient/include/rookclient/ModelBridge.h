// Sends a block built by the model's builders (rookclient::model::CommsBlock) through the same
// send patterns as every other command: the block's bytes are copied into a fresh command block
// of the same size.
#pragma once

#include <platform/com/types.h>
#include <platform/messages.h>

#include <string_view>

#include "rookclient/model/CommsBlock.h"

class CGenericRookObject;

namespace rookclient {

// A command: SendData alone.
platform::com::HRESULT Send(CGenericRookObject& proxy, const model::CommsBlock& block);
// A command whose answer is the new current data (StopAdvise, SendData, StartAdvise(1)).
platform::com::HRESULT SendRequest(CGenericRookObject& proxy, const model::CommsBlock& block);
// An attach: StopAdvise, SendData, StartAdvise(readNow).
void SendAttach(CGenericRookObject& proxy, const model::CommsBlock& block, int readNow);
// The same for builders that answer "nothing to send".
template <class Optional>
void SendIfAny(CGenericRookObject& proxy, const Optional& block) {
    if (block) {
        Send(proxy, *block);
    }
}

// Posts the registered message `name` (wParam 0, lParam 0) to the client's window; nothing
// without a window.
void PostNotice(platform::messages::WindowHandle window, std::string_view name);

}  // namespace rookclient
