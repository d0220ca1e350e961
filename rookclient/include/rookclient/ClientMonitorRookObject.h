// The proxy of the server object "ClientMonitorRook", which keeps the list of connected client
// programs and may ask them to close: a 32-bit request code after the header of every pushed
// block.
#pragma once

#include <string>

#include "rookclient/GenericRookObject.h"

namespace rookclient {
inline constexpr uint32_t kClientMonitorAttachCommand = 192;
inline constexpr uint32_t kCompleteShutDownCommand = 204;
inline constexpr size_t kClientMonitorAttachSize = 224;
inline constexpr size_t kClientNameOffset = 24;
inline constexpr size_t kClientNameWidth = 200;
inline constexpr size_t kRequestCodeOffset = kHeaderSize;
inline constexpr size_t kClientMonitorBlockSize = kHeaderSize + 4;  // pushed: header and code
}  // namespace rookclient

class CClientMonitorRookObject : public CGenericRookObject {
  public:
    explicit CClientMonitorRookObject(int adviseEnabled);
    ~CClientMonitorRookObject() override;

    // Registers the client by name and subscribes.
    void CMAttach(std::string name);
    // Asks the server to shut the whole system down; the advise state does not change.
    void RequestCompleteShutDown();
    std::string GetServerObjectName() override;
};
