#include <poll.h>

#include <gtest/gtest.h>
#include <csignal>

#include "platform/TerminationSignals.h"

namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

volatile std::sig_atomic_t gEarlierHandlerRan = 0;
void EarlierHandler(int) {
    gEarlierHandlerRan = 1;
}

TEST(TerminationSignals, EachSignalWakesTheLoopAndIsTakenInOrderOfArrival) {
    platform::TerminationSignals signals;
    ASSERT_TRUE(signals.Valid());
    EXPECT_FALSE(Readable(signals.Fd()));
    EXPECT_EQ(signals.Take(), 0);

    // Without the handlers each of these would end the test program.
    std::raise(SIGTERM);
    std::raise(SIGHUP);
    std::raise(SIGINT);
    EXPECT_TRUE(Readable(signals.Fd()));
    EXPECT_EQ(signals.Take(), SIGTERM);
    EXPECT_EQ(signals.Take(), SIGHUP);
    EXPECT_EQ(signals.Take(), SIGINT);
    EXPECT_EQ(signals.Take(), 0);
    EXPECT_FALSE(Readable(signals.Fd()));
}

TEST(TerminationSignals, ASecondWatcherChangesNothingAndTheFirstKeepsWorking) {
    platform::TerminationSignals first;
    ASSERT_TRUE(first.Valid());
    {
        platform::TerminationSignals second;
        EXPECT_FALSE(second.Valid());
        EXPECT_EQ(second.Take(), 0);
    }
    std::raise(SIGTERM);
    EXPECT_EQ(first.Take(), SIGTERM);
}

TEST(TerminationSignals, TheEarlierHandlersReturnWhenTheWatcherEnds) {
    struct sigaction earlier {};
    earlier.sa_handler = EarlierHandler;
    sigemptyset(&earlier.sa_mask);
    struct sigaction saved {};
    ASSERT_EQ(::sigaction(SIGHUP, &earlier, &saved), 0);
    {
        platform::TerminationSignals signals;
        ASSERT_TRUE(signals.Valid());
        std::raise(SIGHUP);
        EXPECT_EQ(signals.Take(), SIGHUP);
        EXPECT_EQ(gEarlierHandlerRan, 0);
    }
    std::raise(SIGHUP);
    EXPECT_EQ(gEarlierHandlerRan, 1);
    {
        // A new watcher may be made once the old one is gone.
        platform::TerminationSignals again;
        EXPECT_TRUE(again.Valid());
    }
    ::sigaction(SIGHUP, &saved, nullptr);
}

TEST(TerminationSignals, ASignalStormNeverBlocksTheHandler) {
    platform::TerminationSignals signals;
    ASSERT_TRUE(signals.Valid());
    // More signals than a pipe holds (64 KiB): the handler must not block on a full pipe.
    for (int i = 0; i < 70000; ++i) {
        std::raise(SIGINT);
    }
    int taken = 0;
    while (signals.Take() == SIGINT) {
        ++taken;
    }
    EXPECT_GT(taken, 0);
    EXPECT_FALSE(Readable(signals.Fd()));
}

}  // namespace
