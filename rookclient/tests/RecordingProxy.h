// A proxy that keeps every block delivered to it.
#pragma once

#include <string>
#include <vector>

#include "FakeRookServer.h"
#include "rookclient/GenericRookObject.h"

namespace rooktest {

class RecordingProxy : public CGenericRookObject {
  public:
    explicit RecordingProxy(int adviseEnabled = 1) : CGenericRookObject(adviseEnabled) {}
    std::string GetServerObjectName() override { return "TestRook"; }
    int OnLinkIn(_CommsStructure* block) override {
        const size_t size = DeliveredBlockSize();
        const auto* bytes = reinterpret_cast<const uint8_t*>(block);
        delivered.emplace_back(bytes, bytes + size);
        checked.push_back(CheckedBlock(block, 16, 1024) != nullptr);
        return 1;
    }
    std::vector<Bytes> delivered;
    std::vector<bool> checked;  // whether the header told the truth about the size
};

}  // namespace rooktest
