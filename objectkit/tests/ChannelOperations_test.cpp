#include <objectkit/AutomationEventArray.h>
#include <objectkit/StatusMessages.h>

#include <algorithm>
#include <random>

#include "EventTestSupport.h"

using namespace objevents_test;
using ::testing::ElementsAre;

namespace {

constexpr int kRouteBase = 31;

// Path 1's fader mute changes, path 2 (never selected) in between, and an EQ switch on path 1
// that the selection's controls do not admit.
CAutomationEventArray Mix() {
    return Arr({Ev(0, 1, 14, 2, 1), Ev(5, 1, 14, 2, 0), Ev(10, 1, 14, 2, 1), Ev(12, 2, 14, 2, 0),
                Ev(15, 1, 14, 2, 0), Ev(20, 1, 14, 2, 1), Ev(25, 1, 7, 7, 1)});
}

void SelectMute(CAutomationEventArray& a, std::vector<int32_t> paths, int start, int end,
                int destination) {
    CEventFilter& s = a.ChannelSelection();
    s.paths = std::move(paths);
    s.allowedControls = {CEventFilter::MakeControlEntry(14, 2)};
    s.startTime = start;
    s.endTime = end;
    s.destinationTime = destination;
}

}  // namespace

class ChannelOperations : public ConsoleFixture {};

TEST_F(ChannelOperations, IsolateMovesTheSelectedWindowToTheDestination) {
    CAutomationEventArray a = Mix();
    SelectMute(a, {1}, 10, 15, 100);
    a.IsolateChannelData(kRouteBase, CPathMap{});
    // The value at the window's start (the event at 10 itself) opens the result.
    EXPECT_THAT(Rows(a), ElementsAre(Row{100, 1, 14, 2, 1}, Row{105, 1, 14, 2, 0}));
}

TEST_F(ChannelOperations, EraseHoldsTheStartValueAndRestoresTheSourceAfterTheWindow) {
    CAutomationEventArray a = Mix();
    SelectMute(a, {1}, 10, 15, -1);
    a.EraseChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a), ElementsAre(Row{0, 1, 14, 2, 1}, Row{5, 1, 14, 2, 0}, Row{10, 1, 14, 2, 1},
                                     Row{12, 2, 14, 2, 0}, Row{16, 1, 14, 2, 0},
                                     Row{20, 1, 14, 2, 1}, Row{25, 1, 7, 7, 1}));
}

TEST_F(ChannelOperations, EraseFromTheFirstEventHoldsNothing) {
    CAutomationEventArray a = Mix();
    SelectMute(a, {1}, -1, 12, -1);
    a.EraseChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a),
                ElementsAre(Row{12, 2, 14, 2, 0}, Row{13, 1, 14, 2, 1}, Row{15, 1, 14, 2, 0},
                            Row{20, 1, 14, 2, 1}, Row{25, 1, 7, 7, 1}));
}

TEST_F(ChannelOperations, EraseKeepsAChangeJustAfterTheWindowAndItsFlags) {
    CAutomationEventArray a =
        Arr({Ev(0, 1, 14, 2, 1, 0x11), Ev(12, 1, 14, 2, 0), Ev(16, 1, 14, 2, 1, 0x22)});
    SelectMute(a, {}, 10, 15, -1);
    a.EraseChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a),
                ElementsAre(Row{0, 1, 14, 2, 1}, Row{16, 1, 14, 2, 0}, Row{16, 1, 14, 2, 1}));
    EXPECT_EQ(a[0].flags, 0x11);
    EXPECT_EQ(a[2].flags, 0x22);
}

TEST_F(ChannelOperations, KeepAZeroValueThatTheAutomationSets) {
    // A control set to 0 differs from a control never set: its start value must be carried.
    CAutomationEventArray a = Arr({Ev(0, 1, 14, 2, 0), Ev(12, 1, 14, 2, 1), Ev(30, 2, 0, 0, 3)});
    SelectMute(a, {1}, 5, 15, 50);
    a.IsolateChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a), ElementsAre(Row{50, 1, 14, 2, 0}, Row{57, 1, 14, 2, 1}));
}

TEST_F(ChannelOperations, EraseOnAPathRangeTowardTheEnd) {
    CAutomationEventArray a = Mix();
    a.Add(Ev(30, 3, 14, 2, 1));
    SelectMute(a, {}, 10, 15, -1);
    a.EraseChannelData(1, 1, TimeToEnd, kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a),
                ElementsAre(Row{0, 1, 14, 2, 1}, Row{5, 1, 14, 2, 0}, Row{10, 1, 14, 2, 1},
                            Row{12, 2, 14, 2, 0}, Row{25, 1, 7, 7, 1}, Row{30, 3, 14, 2, 1}));
}

TEST_F(ChannelOperations, ContinuousValuesAlignToThePathsPhaseUnlessCardsAreLinked) {
    // Last event: time 8, path 2, so the phase term is |2 - 0| = 2 and path 2's continuous
    // values land on times congruent to 0 modulo 4.
    auto make = [] {
        CAutomationEventArray a = Arr({Ev(0, 2, 14, 0, 800), Ev(8, 2, 14, 0, 900)});
        CEventFilter& s = a.ChannelSelection();
        s.startTime = 4;
        s.endTime = 10;
        s.destinationTime = 21;
        return a;
    };
    CAutomationEventArray a = make();
    a.IsolateChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a), ElementsAre(Row{24, 2, 14, 0, 800}, Row{25, 2, 14, 0, 900}));

    SetMachineDword("SOFTWARE\\KESTANE\\ROOKSERVER", "CardLinkType", 2);
    CAutomationEventArray linked = make();
    linked.IsolateChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(linked), ElementsAre(Row{21, 2, 14, 0, 800}, Row{25, 2, 14, 0, 900}));
}

TEST_F(ChannelOperations, AnAlignedValueNeverLandsAfterALaterChangeOfItsControl) {
    // Phase |2 - 1| = 1: path 2 aligns to 3 mod 4, so the start value would move from 21 to 23,
    // past the copied change at 22.
    CAutomationEventArray a = Arr({Ev(0, 2, 14, 0, 800), Ev(5, 2, 14, 0, 900)});
    CEventFilter& s = a.ChannelSelection();
    s.startTime = 4;
    s.endTime = 10;
    s.destinationTime = 21;
    a.IsolateChannelData(kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a), ElementsAre(Row{22, 2, 14, 0, 800}, Row{22, 2, 14, 0, 900}));
}

TEST_F(ChannelOperations, CopyPutsOnePathsWindowOntoAnotherAndRestoresItAfterwards) {
    CAutomationEventArray a = Mix();
    a.Add(Ev(52, 3, 14, 2, 1));
    a.Add(Ev(70, 3, 14, 2, 1));
    SelectMute(a, {}, 5, 15, 50);
    a.CopyChannelData(1, 3, TimeWindow, TimeWindow, kRouteBase, CPathMap{});
    EXPECT_THAT(Rows(a),
                ElementsAre(Row{0, 1, 14, 2, 1}, Row{5, 1, 14, 2, 0}, Row{10, 1, 14, 2, 1},
                            Row{12, 2, 14, 2, 0}, Row{15, 1, 14, 2, 0}, Row{20, 1, 14, 2, 1},
                            Row{25, 1, 7, 7, 1}, Row{50, 3, 14, 2, 0}, Row{55, 3, 14, 2, 1},
                            Row{60, 3, 14, 2, 0}, Row{61, 3, 14, 2, 1}, Row{70, 3, 14, 2, 1}));
}

TEST_F(ChannelOperations, CopyToAnUnselectedPathChangesNothing) {
    CAutomationEventArray a = Mix();
    const auto before = Rows(a);
    SelectMute(a, {1}, 5, 15, 50);
    a.CopyChannelData(1, 3, TimeWindow, TimeWindow, kRouteBase, CPathMap{});
    EXPECT_EQ(Rows(a), before);
}

TEST_F(ChannelOperations, CopyOfEveryPathMovesTheWindowInTime) {
    CAutomationEventArray a = Arr({Ev(0, 1, 14, 2, 1), Ev(10, 1, 14, 2, 0), Ev(40, 1, 14, 2, 1)});
    SelectMute(a, {1}, 0, 10, 30);
    a.CopyChannelData(-1, 0, TimeWindow, TimeWindow, kRouteBase, CPathMap{});
    // At 30 path 1 is still 0 (from 10): the copy starts with 1, changes to 0 at 40, and the
    // original change at 40 (to 1) is inside the span and so replaced; at 41 the original
    // value there (1) comes back.
    EXPECT_THAT(Rows(a),
                ElementsAre(Row{0, 1, 14, 2, 1}, Row{10, 1, 14, 2, 0}, Row{30, 1, 14, 2, 1},
                            Row{40, 1, 14, 2, 0}, Row{41, 1, 14, 2, 1}));
}

TEST_F(ChannelOperations, AnEventAtTheWindowStartMovesWithItsFlags) {
    // Path 1's level is set before the window (flags 0x33), its mute before it (0x11) and
    // exactly at its start (0x22).
    auto make = [] {
        CAutomationEventArray a = Arr({Ev(0, 1, 14, 2, 1, 0x11), Ev(0, 1, 14, 0, 7, 0x33),
                                       Ev(10, 1, 14, 2, 0, 0x22), Ev(12, 1, 14, 2, 1, 0x44)});
        SelectMute(a, {}, 10, 15, 50);
        a.ChannelSelection().allowedControls.clear();
        return a;
    };
    using Flags = std::vector<std::tuple<int, int, int, int, int>>;
    auto flags = [](const CAutomationEventArray& a) {
        Flags rows;
        for (const auto& e : a) {
            rows.emplace_back(e.timeStamp, e.path, e.control, e.value, e.flags);
        }
        return rows;
    };
    // The level opens the window with a generated event (flags 0), phase-aligned as a
    // continuous control (phase 1: path 1 on 2 modulo 4, path 3 on 0).
    CAutomationEventArray isolated = make();
    isolated.IsolateChannelData(kRouteBase, CPathMap{});
    EXPECT_EQ(flags(isolated), (Flags{{50, 1, 2, 0, 0x22}, {50, 1, 0, 7, 0}, {52, 1, 2, 1, 0x44}}));

    CAutomationEventArray copied = make();
    copied.CopyChannelData(1, 3, TimeWindow, TimeWindow, kRouteBase, CPathMap{});
    EXPECT_EQ(flags(copied), (Flags{{0, 1, 2, 1, 0x11},
                                    {0, 1, 0, 7, 0x33},
                                    {10, 1, 2, 0, 0x22},
                                    {12, 1, 2, 1, 0x44},
                                    {50, 3, 2, 0, 0x22},
                                    {52, 3, 0, 7, 0},
                                    {52, 3, 2, 1, 0x44}}));
}

TEST_F(ChannelOperations, CopyToTheEndRunsToTheEndOfTheWholeMix) {
    // Path 1 stops changing at 10, the mix goes on to 100: a copy "to the end" covers the
    // destination up to the mix's end, not only up to the source path's last change.
    CAutomationEventArray a = Arr({Ev(0, 1, 14, 2, 1), Ev(10, 1, 14, 2, 0), Ev(30, 3, 14, 2, 1),
                                   Ev(90, 3, 14, 2, 1), Ev(100, 2, 7, 7, 1)});
    SelectMute(a, {}, 5, 15, 20);
    a.CopyChannelData(1, 3, TimeWindow, TimeToEnd, kRouteBase, CPathMap{});
    // Window 5..100 lands on 20..115; path 3's own changes inside it are replaced and its own
    // value comes back after it.
    EXPECT_THAT(Rows(a),
                ElementsAre(Row{0, 1, 14, 2, 1}, Row{10, 1, 14, 2, 0}, Row{20, 3, 14, 2, 1},
                            Row{25, 3, 14, 2, 0}, Row{100, 2, 7, 7, 1}, Row{116, 3, 14, 2, 1}));
}

TEST_F(ChannelOperations, MergeTakesTheOtherMixAndHonoursItsOptions) {
    CAutomationEventArray other = Arr({Ev(0, 5, 14, 2, 0), Ev(8, 5, 14, 2, 1), Ev(9, 6, 0, 0, 3)});
    auto target = [] {
        CAutomationEventArray a =
            Arr({Ev(0, 1, 14, 2, 1), Ev(3, 1, 14, 2, 0), Ev(30, 1, 14, 2, 1)});
        SelectMute(a, {1}, 0, 10, 10);
        return a;
    };
    CAutomationEventArray kept = target();
    kept.MergeChannelData(other, 5, 1, TimeWindow, TimeWindow, kRouteBase, CPathMap{}, 0, 1, 1, 0);
    // The other mix's event at its window start moves to 10 as it is, though this mix holds
    // its value there already; its change at 8 lands at 18, and at 21 this mix's own value
    // (0) comes back.
    EXPECT_THAT(Rows(kept),
                ElementsAre(Row{0, 1, 14, 2, 1}, Row{3, 1, 14, 2, 0}, Row{10, 1, 14, 2, 0},
                            Row{18, 1, 14, 2, 1}, Row{21, 1, 14, 2, 0}, Row{30, 1, 14, 2, 1}));

    CAutomationEventArray only = target();
    only.MergeChannelData(other, 5, 1, TimeWindow, TimeWindow, kRouteBase, CPathMap{}, 2, 0, 0, 0);
    // Offset 2 moves the other mix to 2 and 10; without the outside automation and without
    // the restore only the merged changes remain on the selected control.
    EXPECT_THAT(Rows(only), ElementsAre(Row{12, 1, 14, 2, 0}, Row{20, 1, 14, 2, 1}));
}

TEST_F(ChannelOperations, ReportProgressWithAStatusWindow) {
    StatusCatcher status(objectkit::kStatusWindowClass);
    CAutomationEventArray a = Mix();
    SelectMute(a, {1}, 10, 15, 100);
    a.SetStatusWnd(1);
    a.IsolateChannelData(kRouteBase, CPathMap{});
    auto isolate = status.ValuesOf(objectkit::StatusIsolate);
    ASSERT_FALSE(isolate.empty());
    EXPECT_TRUE(std::is_sorted(isolate.begin(), isolate.end()));
    EXPECT_LE(isolate.back(), 100);

    CAutomationEventArray b = Mix();
    SelectMute(b, {1}, 10, 15, -1);
    b.SetStatusWnd(1);
    b.EraseChannelData(kRouteBase, CPathMap{});
    EXPECT_EQ(status.ValuesOf(objectkit::StatusErase).back(), 100);

    CAutomationEventArray quiet = Mix();
    SelectMute(quiet, {1}, 10, 15, -1);
    quiet.CopyChannelData(1, 1, TimeWindow, TimeToEnd, kRouteBase, CPathMap{});
    EXPECT_TRUE(status.ValuesOf(objectkit::StatusReplay).empty());
}

TEST_F(ChannelOperations, DoNothingOnAnEmptyArray) {
    CAutomationEventArray a;
    CAutomationEventArray other = Mix();
    a.IsolateChannelData(kRouteBase, CPathMap{});
    a.EraseChannelData(kRouteBase, CPathMap{});
    a.EraseChannelData(0, 10, TimeToStart, kRouteBase, CPathMap{});
    a.CopyChannelData(1, 2, TimeWindow, TimeWindow, kRouteBase, CPathMap{});
    a.MergeChannelData(other, 1, 1, TimeWindow, TimeWindow, kRouteBase, CPathMap{}, 0, 1, 1, 0);
    EXPECT_TRUE(a.IsEmpty());
}

// On random mixes every operation keeps time order and leaves the events of paths outside
// its selection exactly as they were, in their order.
TEST_F(ChannelOperations, KeepTimeOrderAndLeaveUnselectedPathsAloneOnRandomMixes) {
    std::mt19937 rng(1234);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        objectkit::SetConsoleTypeForTests(round % 3 == 0 ? 6 : 3);
        CAutomationEventArray a;
        const int n = pick(1, 60);
        for (int i = 0; i < n; ++i) {
            a.AddAtTime(Ev(pick(0, 100), pick(0, 5), pick(0, 40), pick(0, 9), pick(0, 3),
                           static_cast<uint8_t>(pick(0, 255))));
        }
        CAutomationEventArray other = a;
        CEventFilter& s = a.ChannelSelection();
        s.paths = {pick(0, 5), pick(0, 5)};
        if (pick(0, 1)) {
            s.allowedControls = {CEventFilter::MakeControlEntry(pick(0, 40), pick(0, 8)),
                                 CEventFilter::MakeControlEntry(14, 0)};
        }
        s.startTime = pick(-1, 60);
        s.endTime = s.startTime < 0 ? pick(-1, 100) : s.startTime + pick(0, 50);
        s.destinationTime = pick(-1, 120);
        const int op = pick(0, 4);
        const short src = static_cast<short>(pick(-1, 5));
        short dst = static_cast<short>(pick(0, 5));
        if (src < 0) {
            dst = 0;
        }
        // Paths an operation may touch.
        std::vector<int32_t> touched = s.paths;
        if (op >= 3 && src >= 0) {
            touched = {dst};
        }
        auto untouched = [&](const CAutomationEventArray& x) {
            std::vector<CAutomationEvent> out;
            for (const auto& e : x) {
                if (std::find(touched.begin(), touched.end(), e.path) == touched.end()) {
                    out.push_back(e);
                }
            }
            return out;
        };
        const auto before = untouched(a);
        switch (op) {
            case 0:
                a.IsolateChannelData(kRouteBase, CPathMap{});
                break;
            case 1:
                a.EraseChannelData(kRouteBase, CPathMap{});
                break;
            case 2:
                a.EraseChannelData(static_cast<short>(pick(-1, 3)), static_cast<short>(pick(-1, 5)),
                                   static_cast<TimeDirection>(pick(0, 2)), kRouteBase, CPathMap{});
                break;
            case 3:
                a.CopyChannelData(src, dst, static_cast<TimeDirection>(pick(0, 2)),
                                  static_cast<TimeDirection>(pick(0, 2)), kRouteBase, CPathMap{});
                break;
            default:
                a.MergeChannelData(other, src, dst, static_cast<TimeDirection>(pick(0, 2)),
                                   static_cast<TimeDirection>(pick(0, 2)), kRouteBase, CPathMap{},
                                   pick(-5, 5), pick(0, 1), pick(0, 1), 0);
                break;
        }
        const auto times = Times(a);
        ASSERT_TRUE(std::is_sorted(times.begin(), times.end()))
            << "round " << round << " op " << op;
        if (op != 0) {  // isolate keeps only the selection by design
            ASSERT_EQ(untouched(a), before) << "round " << round << " op " << op;
        } else {
            ASSERT_TRUE(untouched(a).empty()) << "round " << round;
        }
    }
}
