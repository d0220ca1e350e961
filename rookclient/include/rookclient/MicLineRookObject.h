// The proxy of the server object "MicLineRook", which pushes the console's mic/line
// pre-amplifier settings: 480 bytes after the header of every pushed block.
#pragma once

#include <string>

#include "rookclient/GenericRookObject.h"

namespace rookclient {
inline constexpr uint32_t kMicLineAttachCommand = 276;
inline constexpr size_t kMicLineImageBytes = 480;
inline constexpr size_t kMicLineBlockSize = kHeaderSize + kMicLineImageBytes;
}  // namespace rookclient

class CMicLineRookObject : public CGenericRookObject {
  public:
    explicit CMicLineRookObject(int adviseEnabled);
    ~CMicLineRookObject() override;

    // Subscribes; the first image arrives with the server's first push.
    void MLAttach();
    std::string GetServerObjectName() override;
};
