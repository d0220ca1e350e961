// The controller's read-back of racks: after a load, a restore or a reconnection the rack's
// data block is requested once the line is idle and compared with the controller's state;
// a difference is reported to the observers and mended by re-sending or by adopting.
#include "ChangeScope.h"
#include "mic/core/DataBlockCompare.h"

namespace mic {

namespace {

// A read that brings no block back (no answer, bad checksums) is asked again this often
// before the rack's state is given up as unknown.
constexpr int kReadAttempts = 3;

}  // namespace

RackSync MicController::RackSyncState(int rack) const {
    return rack >= 0 && rack < kRacks ? checks_[rack].sync : RackSync::Unknown;
}

int MicController::RackDifferencesFound(int rack) const {
    return rack >= 0 && rack < kRacks ? checks_[rack].differences : 0;
}

void MicController::SetRackSync(int rack, RackSync state) {
    if (checks_[rack].sync == state)
        return;
    checks_[rack].sync = state;
    view_.SetRackSyncMark(rack, state);
}

// A new round for the rack: its state is read back once the frames already queued have gone.
void MicController::CheckWhenIdle(int rack) {
    if (!settings_.verifyRacks || !state_.rackOnLine[rack])
        return;
    RackCheck& check = checks_[rack];
    check.due = true;
    check.asked = false;
    check.resent = false;
    check.failedReads = 0;
    SetRackSync(rack, RackSync::Verifying);
}

// The data request just queued for the rack (behind whatever is already waiting) is the
// check's read.
void MicController::CheckWithNextBlock(int rack) {
    if (!settings_.verifyRacks)
        return;
    RackCheck& check = checks_[rack];
    check.due = false;
    check.asked = true;
    check.resent = false;
    check.failedReads = 0;
    SetRackSync(rack, RackSync::Verifying);
}

void MicController::StartPeriodicChecks() {
    if (settings_.verifyRacks && settings_.verifyEverySeconds > 0)
        timers_.SetTimer(kTimerRackCheck, settings_.verifyEverySeconds * 1000);
}

// The periodic read-back: every on-line rack not already being checked is read at idle. It
// also finds front-panel changes of racks that are not displayed, which are not fetched
// otherwise.
void MicController::CheckAllRacks() {
    for (int rack = 0; rack < kRacks; ++rack) {
        if (!checks_[rack].due && !checks_[rack].asked)
            CheckWhenIdle(rack);
    }
}

// Called when a poll is answered. Polls go out only when the ring is empty, so with the ring
// still empty the line is idle: the due reads are queued now. A read asked before whose block
// never came (the ring has drained since) is asked again, a few times.
void MicController::AskDueChecks() {
    if (!engine_.RingEmpty())
        return;
    for (int rack = 0; rack < kRacks; ++rack) {
        RackCheck& check = checks_[rack];
        if (check.asked) {
            check.asked = false;
            if (++check.failedReads < kReadAttempts) {
                check.due = true;
            } else {
                check.due = false;
                SetRackSync(rack, RackSync::Unknown);
            }
        }
        if (check.due && state_.rackOnLine[rack] && engine_.QueueDataRequest(rack)) {
            check.due = false;
            check.asked = true;
        }
    }
}

// A good block arrived for the rack. When it answers the check's read, compares it with the
// controller's state before anything of it is taken. Returns true when the block's channel
// values must not be taken (the controller's values are being sent again instead).
//
// Differences are reported as front-panel changes: with "adopt" as the changes the block then
// makes to the controller's state; with "re-send" as refused front-panel changes whose reason
// says the controller's value was sent to the rack again. A round re-sends once; if the rack
// still differs after that, it keeps the "differs" mark and nothing more is sent.
bool MicController::CheckBlock(int rack, const uint8_t* block) {
    RackCheck& check = checks_[rack];
    if (!check.asked)
        return false;
    check.asked = false;
    check.failedReads = 0;
    const std::vector<BlockDifference> found =
        CompareDataBlock(state_, rack, block, integration_, engine_.Ring());
    check.differences = static_cast<int>(found.size());
    if (found.empty()) {
        SetRackSync(rack, RackSync::InSync);
        return false;
    }
    if (settings_.rackMend == RackMend::Adopt) {
        SetRackSync(rack, RackSync::InSync);
        return false;
    }
    SetRackSync(rack, RackSync::Differs);
    for (const BlockDifference& d : found)
        Refuse(rack, d.channel, d.field, d.rack, refusal::kRackDiffered);
    if (!check.resent) {
        check.resent = true;
        SetBusy();
        engine_.QueueFullChannelState(rack);
        check.due = true;
    }
    return true;
}

}  // namespace mic
