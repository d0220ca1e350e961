#include "rookclient/CommandBlock.h"
#include "rookclient/Proxies.h"

namespace {
constexpr uint32_t kAnalogDesignCommand = 269;
constexpr uint32_t kAnalogDesignStoreCommand = 277;
constexpr size_t kAnalogDesignBlockSize = 24;
}  // namespace

void CAnalogDesignRookObject::SendAnalogDesignCmd(int cmd, int value, bool store) {
    rookclient::Command(*this, store ? kAnalogDesignStoreCommand : kAnalogDesignCommand,
                        kAnalogDesignBlockSize, 0, [&](rookclient::CommandBlock& block) {
                            block.PutU32(16, static_cast<uint32_t>(cmd));
                            block.PutU32(20, static_cast<uint32_t>(value));
                        });
}
