// Private to the controller: the channel fields as they stood when an operation began, and the
// scope that sends the differences to the observers when the outermost operation ends.
#pragma once

#include "mic/core/ChannelDiff.h"
#include "mic/core/MicController.h"

namespace mic {

struct MicController::ChannelImage : ChannelTables {
    using ChannelTables::ChannelTables;
};

// Opened by every operation that may change channels. Only the outermost scope records and
// reports, with its origin: a preset load that re-applies the console's data reports it all
// as the preset's. Without observers a scope does nothing at all.
class MicController::ChangeScope {
  public:
    ChangeScope(MicController& controller, const ChangeOrigin& origin);
    ~ChangeScope();
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

  private:
    MicController& controller_;
    ChangeOrigin origin_;
    std::unique_ptr<ChannelImage> before_;  // null when another scope is open or nobody listens
};

}  // namespace mic
