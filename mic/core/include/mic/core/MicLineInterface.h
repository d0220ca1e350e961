// The receiver of the console's mic/line image: keeps the newest 480-byte image under its lock
// and tells the main window that one is waiting.
#pragma once

#include <rookclient/MicLineRookObject.h>

#include <cstdint>

#include "mic/core/ConsoleNotices.h"
#include "mic/core/FastLock.h"
#include "mic/core/MicSettings.h"

namespace mic {

class CMicLineInterface : public CMicLineRookObject, public ConsoleImageSource {
  public:
    // Main thread. Connects with advising on; `owner` (may be null, or set later) receives
    // the notices.
    explicit CMicLineInterface(ConsoleNoticeTarget* owner);
    ~CMicLineInterface() override;

    // Main thread.
    void SetOwner(ConsoleNoticeTarget* owner) { notices_.SetTarget(owner); }

    // Main thread, inside the delivery of a push. Takes a block of exactly 16 + 480 bytes
    // (stated and real size); any other block changes nothing.
    int OnLinkIn(_CommsStructure* block) override;

    // Main thread. Calls `apply` only once the console has sent an image: before that there is
    // nothing to follow (an all-zero image would mean phantom on for every line).
    void WithImage(const std::function<void(const uint8_t* image)>& apply) override;

  private:
    uint8_t micLineImage_[kMicLineImageSize] = {};
    bool received_ = false;  // an image has arrived
    CFastCriticalSection imageLock_;
    NoticePoster notices_;
};

}  // namespace mic
