// A reply and the time-out of its transaction both waiting for a held-up main thread: the
// reader's hand-over and timer 1 may then run in either order, and neither may take the
// transaction that the other one started for its own.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "MicHarness.h"
#include "mic/core/SerialPort.h"

namespace mic::test {
namespace {

// The main thread's queue. A reader's hand-over waits in it, and the reader with it, until
// the test lets the main thread run it.
class HeldMainThread : public MainThreadInvoker {
  public:
    void CallAndWait(const std::function<void()>& fn) override {
        std::unique_lock lock(mu_);
        const uint64_t ticket = ++queued_;
        calls_.push_back(fn);
        cv_.notify_all();
        cv_.wait(lock, [&] { return ran_ >= ticket; });
    }
    void WaitUntilQueued() {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return !calls_.empty(); });
    }
    void RunOne() {
        std::function<void()> fn;
        {
            std::lock_guard lock(mu_);
            ASSERT_FALSE(calls_.empty());
            fn = std::move(calls_.front());
            calls_.pop_front();
        }
        fn();
        {
            std::lock_guard lock(mu_);
            ++ran_;
        }
        cv_.notify_all();
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> calls_;
    uint64_t queued_ = 0;
    uint64_t ran_ = 0;
};

// The serial reader: assembles the rack's answer on its own thread and hands it over. It can
// be held between completing the reply and handing it over.
class Reader {
  public:
    Reader(MicController& mic, uint8_t answer, bool holdBeforeHandOver)
        : hold_(holdBeforeHandOver), thread_([this, &mic, answer] {
              CReplyAssembler assembler(mic.Reply());
              completed_ = assembler.Process(answer) == ByteAction::Complete;
              {
                  std::unique_lock lock(mu_);
                  assembled_ = true;
                  cv_.notify_all();
                  cv_.wait(lock, [&] { return !hold_; });
              }
              if (completed_)
                  mic.Engine().OnReplyReady(1, nullptr, assembler.Transaction());
          }) {}
    ~Reader() {
        Release();
        thread_.join();
    }
    void WaitUntilAssembled() {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return assembled_; });
    }
    void Release() {
        std::lock_guard lock(mu_);
        hold_ = false;
        cv_.notify_all();
    }
    bool Completed() {
        WaitUntilAssembled();
        return completed_;
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool hold_;
    bool assembled_ = false;
    bool completed_ = false;
    std::thread thread_;
};

enum class Order {
    TimeOutThenHandOver,         // the hand-over was queued before the time-out ran
    HandOverThenTimeOut,         // the queued hand-over runs first
    TimeOutBeforeHandOverQueued  // the reply was complete, its hand-over not yet queued
};

class ReplyRacingItsTimeOut : public ::testing::TestWithParam<Order> {
  protected:
    // Timer 1 fires when the fake clock has passed its time, as the window's loop does.
    void RunDueTimer() {
        if (h.timers.Due(kTimerTransaction)) {
            h.timers.Fired(kTimerTransaction);
            h.mic->OnTimer(kTimerTransaction);
        }
    }
    Harness h;
    HeldMainThread main;
};

TEST_P(ReplyRacingItsTimeOut, CountsTheAnswerOnceAndLeavesTheNextPollToItsOwnAnswer) {
    h.Engine().SetInvoker(&main);
    h.mic->Initialise();
    // Every rack has answered twice, so a poll wrongly counted as failing shows.
    for (int rack = 0; rack < kRacks; ++rack) {
        for (int i = 0; i < 2; ++i) {
            h.Engine().SendPoll(rack);
            h.Line(kAck);
        }
    }
    h.Engine().SendPoll(5);  // at 0 ms; its time-out is due at 50 ms
    const size_t sent = h.SentCount();

    // The rack answers at 18 ms; the main thread is held up until 95 ms.
    h.timers.Advance(18);
    const bool holdHandOver = GetParam() == Order::TimeOutBeforeHandOverQueued;
    Reader reader(*h.mic, kAck, holdHandOver);
    ASSERT_TRUE(reader.Completed());
    if (!holdHandOver)
        main.WaitUntilQueued();
    h.timers.Advance(77);
    ASSERT_TRUE(h.timers.Due(kTimerTransaction));

    switch (GetParam()) {
        case Order::TimeOutThenHandOver:
            RunDueTimer();
            // The reply beat the time-out: the time-out leaves everything to the hand-over.
            EXPECT_EQ(h.SentCount(), sent);
            EXPECT_EQ(h.Engine().LinkCounter(5), 2);
            main.RunOne();
            break;
        case Order::HandOverThenTimeOut:
            main.RunOne();
            RunDueTimer();
            break;
        case Order::TimeOutBeforeHandOverQueued:
            RunDueTimer();
            reader.Release();
            main.WaitUntilQueued();
            main.RunOne();
            break;
    }

    EXPECT_EQ(h.Engine().LinkCounter(5), 3);
    ASSERT_EQ(h.SentCount(), sent + 1) << "one poll follows the answer, and only one";
    ASSERT_EQ(h.Sent()[1], kCmdPoll);
    const int next = RackOfAddress(h.Sent()[0]);
    ASSERT_NE(next, 5);
    EXPECT_EQ(h.Engine().LinkCounter(next), 2);
    EXPECT_EQ(h.mic->Reply().awaiting.load(), kAwaitingReply);

    // The next poll has its full time for an answer: it times out 50 ms after it went, once.
    EXPECT_FALSE(h.timers.Due(kTimerTransaction));
    h.timers.Advance(kTimeoutPollMs);
    RunDueTimer();
    EXPECT_EQ(h.Engine().LinkCounter(next), 1);
    EXPECT_EQ(h.SentCount(), sent + 2);
}

INSTANTIATE_TEST_SUITE_P(EitherOrder, ReplyRacingItsTimeOut,
                         ::testing::Values(Order::TimeOutThenHandOver, Order::HandOverThenTimeOut,
                                           Order::TimeOutBeforeHandOverQueued),
                         [](const ::testing::TestParamInfo<Order>& info) {
                             switch (info.param) {
                                 case Order::TimeOutThenHandOver:
                                     return "TimeOutThenHandOver";
                                 case Order::HandOverThenTimeOut:
                                     return "HandOverThenTimeOut";
                                 default:
                                     return "TimeOutBeforeHandOverQueued";
                             }
                         });

TEST(HandOver, OfATransactionGivenUpWhenAnotherRackIsDisplayedChangesNothing) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(2);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->ClickPhantom(4);
    h.Timeout();  // the poll in flight gives way to the set channel frame
    ASSERT_EQ(h.Sent()[1], kCmdSetChannel);
    const uint32_t setChannel = h.Engine().Transaction();
    const size_t sent = h.SentCount();

    // Its ACK is complete when the operator displays another rack, which gives the
    // transaction up: the late hand-over of that ACK must neither count nor send.
    FeedReplyByte(h.mic->Reply(), kAck);
    h.mic->SelectRack(7);
    const int counter = h.Engine().LinkCounter(2);
    h.Engine().OnReply(1, setChannel);
    EXPECT_EQ(h.SentCount(), sent);
    EXPECT_EQ(h.Engine().LinkCounter(2), counter);
    // The protocol goes on from timer 1 with the poll of the displayed rack.
    h.Timeout();
    EXPECT_EQ(h.Sent(), (Bytes{0x88, kCmdPoll}));
}

}  // namespace
}  // namespace mic::test
