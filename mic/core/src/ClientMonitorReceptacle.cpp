#include "mic/core/ClientMonitorReceptacle.h"

namespace mic {

namespace {
constexpr uint32_t kCloseRequest = 1;
constexpr uint32_t kCloseRequestToo = 2;  // the server's other close request, handled alike
}  // namespace

CClientMonitorReceptacle::CClientMonitorReceptacle(ConsoleNoticeTarget* owner)
    : CClientMonitorRookObject(1), notices_(owner) {}

CClientMonitorReceptacle::~CClientMonitorReceptacle() = default;

int CClientMonitorReceptacle::OnLinkIn(_CommsStructure* block) {
    const uint8_t* bytes = CheckedBlock(block, rookclient::kClientMonitorBlockSize,
                                        rookclient::kClientMonitorBlockSize);
    if (!bytes) {
        return 1;
    }
    const uint32_t code = rookclient::LoadLE32(bytes, rookclient::kRequestCodeOffset);
    if (code == kCloseRequest || code == kCloseRequestToo) {
        notices_.Post([](ConsoleNoticeTarget& owner) { owner.OnCloseRequest(); });
    }
    return 1;
}

}  // namespace mic
