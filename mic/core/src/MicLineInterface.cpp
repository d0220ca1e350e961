#include "mic/core/MicLineInterface.h"

#include <cstring>

namespace mic {

CMicLineInterface::CMicLineInterface(ConsoleNoticeTarget* owner)
    : CMicLineRookObject(1), notices_(owner) {}

CMicLineInterface::~CMicLineInterface() = default;

int CMicLineInterface::OnLinkIn(_CommsStructure* block) {
    const uint8_t* bytes =
        CheckedBlock(block, rookclient::kMicLineBlockSize, rookclient::kMicLineBlockSize);
    if (!bytes) {
        return 1;
    }
    CFastSingleLock lock(&imageLock_);
    std::memcpy(micLineImage_, bytes + rookclient::kHeaderSize, kMicLineImageSize);
    received_ = true;
    // A burst of images leaves at most one notice waiting; it reads the newest image.
    notices_.PostOnce([](ConsoleNoticeTarget& owner) { owner.OnButtonFromVantor(0, 0); });
    return 1;
}

void CMicLineInterface::WithImage(const std::function<void(const uint8_t* image)>& apply) {
    CFastSingleLock lock(&imageLock_);
    if (received_)
        apply(micLineImage_);
}

}  // namespace mic
