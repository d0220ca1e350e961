#include <objectkit/AutomationEventArray.h>
#include <objectkit/ControlRanges.h>
#include <objectkit/StatusMessages.h>

#include <random>

#include "EventTestSupport.h"

using namespace objevents_test;
using ::testing::ElementsAre;

class AnEventArray : public ConsoleFixture {};

TEST_F(AnEventArray, AddsAtTimeAfterEveryEventOfTheSameTime) {
    CAutomationEventArray a;
    EXPECT_EQ(a.AddAtTime(Ev(10, 1, 14, 0, 1)), 0);
    EXPECT_EQ(a.AddAtTime(Ev(30, 1, 14, 0, 2)), 1);
    EXPECT_EQ(a.AddAtTime(Ev(20, 1, 14, 0, 3)), 1);
    EXPECT_EQ(a.AddAtTime(Ev(20, 2, 14, 0, 4)), 2) << "after the event of equal time";
    EXPECT_EQ(a.AddAtTime(Ev(20, 0, 14, 0, 5)), 3);
    EXPECT_EQ(a.AddAtTime(Ev(5, 0, 14, 0, 6)), 0);
    EXPECT_EQ(a.AddAtTime(Ev(30, 0, 14, 0, 7)), 6) << "equal to the last: appended";
    std::vector<int> values;
    for (const auto& e : a) {
        values.push_back(e.value);
    }
    EXPECT_THAT(values, ElementsAre(6, 1, 3, 4, 5, 2, 7));
    EXPECT_THAT(Times(a), ElementsAre(5, 10, 20, 20, 20, 30, 30));
}

TEST_F(AnEventArray, ReplacesATimeZeroEventOfTheSameControlOnlyWhenLaterEventsExist) {
    CAutomationEventArray a = Arr({Ev(0, 1, 14, 0, 1), Ev(0, 2, 14, 0, 2)});
    EXPECT_EQ(a.AddAtTime(Ev(0, 1, 14, 0, 9)), 2) << "all at time 0: appended";
    EXPECT_EQ(a.GetSize(), 3);

    CAutomationEventArray b = Arr({Ev(0, 1, 14, 0, 1), Ev(0, 2, 14, 0, 2), Ev(50, 2, 14, 0, 3)});
    CAutomationEvent replacement = Ev(0, 2, 14, 0, 7, 0x55);
    replacement.oldValue = 99;
    EXPECT_EQ(b.AddAtTime(replacement), 1);
    ASSERT_EQ(b.GetSize(), 3);
    EXPECT_EQ(b[1].value, 7);
    EXPECT_EQ(b[1].flags, 0x55);
    EXPECT_EQ(b[1].oldValue, 99);
    EXPECT_EQ(b.AddAtTime(Ev(0, 2, 14, 1, 8)), 2) << "another control is inserted";
    EXPECT_EQ(b.GetSize(), 4);
}

TEST_F(AnEventArray, FindsEventsByTimeWithAndWithoutTheAfterFlag) {
    CAutomationEventArray empty;
    EXPECT_EQ(empty.GetAtTime(-1, 0), 0);
    EXPECT_EQ(empty.GetAtTime(5, 0), -1);
    EXPECT_EQ(empty.GetAtTime(5, 1), -1);

    const CAutomationEventArray a =
        Arr({Ev(10, 0, 0, 0, 0), Ev(20, 0, 0, 0, 0), Ev(20, 0, 0, 0, 0), Ev(30, 0, 0, 0, 0)});
    EXPECT_EQ(a.GetAtTime(-1, 1), 0);
    EXPECT_EQ(a.GetAtTime(0, 0), 0);
    EXPECT_EQ(a.GetAtTime(0, 1), 0);
    EXPECT_EQ(a.GetAtTime(10, 0), 0);
    EXPECT_EQ(a.GetAtTime(10, 1), 1);
    EXPECT_EQ(a.GetAtTime(15, 0), 1);
    EXPECT_EQ(a.GetAtTime(20, 0), 1) << "the first of equal times";
    EXPECT_EQ(a.GetAtTime(20, 1), 3) << "strictly after";
    EXPECT_EQ(a.GetAtTime(30, 0), 3);
    EXPECT_EQ(a.GetAtTime(30, 1), 3) << "nothing later: the last index";
    EXPECT_EQ(a.GetAtTime(99, 0), 3);
    EXPECT_EQ(a.GetAtTime(99, 1), 3);
}

TEST_F(AnEventArray, SortsInEachModeAndKeepsEqualEventsInOrder) {
    CAutomationEventArray a = Arr({Ev(20, 2, 1, 0, 1), Ev(10, 2, 0, 5, 2), Ev(10, 1, 3, 0, 3),
                                   Ev(10, 2, 0, 5, 4), Ev(5, 2, 0, 1, 5)});
    a.Sort(SortByTime);
    EXPECT_THAT(Rows(a), ElementsAre(Row{5, 2, 0, 1, 5}, Row{10, 1, 3, 0, 3}, Row{10, 2, 0, 5, 2},
                                     Row{10, 2, 0, 5, 4}, Row{20, 2, 1, 0, 1}))
        << "two changes of one control at one time keep their order";
    a.Sort(SortByPathControlTime);
    EXPECT_THAT(Rows(a), ElementsAre(Row{10, 1, 3, 0, 3}, Row{5, 2, 0, 1, 5}, Row{10, 2, 0, 5, 2},
                                     Row{10, 2, 0, 5, 4}, Row{20, 2, 1, 0, 1}));
    a.Sort(SortByPathTimeControl);
    EXPECT_THAT(Rows(a), ElementsAre(Row{10, 1, 3, 0, 3}, Row{5, 2, 0, 1, 5}, Row{10, 2, 0, 5, 2},
                                     Row{10, 2, 0, 5, 4}, Row{20, 2, 1, 0, 1}));
    const auto before = Rows(a);
    a.Sort(static_cast<SortMode>(7));
    EXPECT_EQ(Rows(a), before);
}

TEST_F(AnEventArray, SortComparesWidelySeparatedValuesWithoutOverflow) {
    CAutomationEventArray a =
        Arr({Ev(2000000000, 0, 0, 0, 1), Ev(-2000000000, 0, 0, 0, 2), Ev(0, 0, 0, 0, 3)});
    a.Sort(SortByTime);
    EXPECT_THAT(Times(a), ElementsAre(-2000000000, 0, 2000000000));
}

TEST_F(AnEventArray, PostsSortStartedOnlyWithAStatusWindow) {
    StatusCatcher status(objectkit::kStatusWindowClass);
    CAutomationEventArray a = Arr({Ev(2, 0, 0, 0, 0), Ev(1, 0, 0, 0, 0)});
    a.Sort(SortByTime);
    EXPECT_TRUE(status.Collect().empty());
    a.SetStatusWnd(1);
    a.Sort(static_cast<SortMode>(3));
    const auto& got = status.Collect();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, objectkit::kStatusMessageName);
    EXPECT_EQ(got[0].code, 31);
    EXPECT_EQ(got[0].value, 0);
}

TEST(StatusMessages, FallBackToTheUniqueWindowThenToEveryTopLevelWindow) {
    {
        StatusCatcher unique(objectkit::kUniqueWindowClass);
        objectkit::PostStatusMessage(15, 50);
        const auto& got = unique.Collect();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].name, objectkit::kNeedsStatusMessageName);
        EXPECT_EQ(got[0].code, 15);
        EXPECT_EQ(got[0].value, 50);
    }
    StatusCatcher other("SomeOtherTopLevelWindow");
    objectkit::PostStatusMessage(20, 7);
    const auto& got = other.Collect();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, objectkit::kNeedsStatusMessageName);
    EXPECT_EQ(objectkit::PercentOf(3, 0), 300);
    EXPECT_EQ(objectkit::PercentOf(1, 3), 33);
}

TEST_F(AnEventArray, RepairsLocalInversionsOfTimeOrderInOnePass) {
    CAutomationEventArray a = Arr({Ev(10, 0, 0, 0, 0), Ev(20, 0, 0, 0, 0), Ev(5, 0, 0, 0, 0)});
    EXPECT_TRUE(a.MakeTimeStampsContinuous());
    EXPECT_THAT(Times(a), ElementsAre(10, 5, 5));

    CAutomationEventArray b = Arr({Ev(30, 0, 0, 0, 0), Ev(20, 0, 0, 0, 0), Ev(10, 0, 0, 0, 0)});
    EXPECT_TRUE(b.MakeTimeStampsContinuous());
    EXPECT_THAT(Times(b), ElementsAre(20, 10, 10)) << "each compare uses the time before the pass";

    CAutomationEventArray ordered = Arr({Ev(1, 0, 0, 0, 0), Ev(1, 0, 0, 0, 0), Ev(4, 0, 0, 0, 0)});
    EXPECT_FALSE(ordered.MakeTimeStampsContinuous());
    CAutomationEventArray empty;
    EXPECT_FALSE(empty.MakeTimeStampsContinuous());
}

TEST_F(AnEventArray, TranslatesEachPathOnceByTheFirstMatchingPair) {
    CAutomationEventArray a = Arr({Ev(0, 3, 0, 0, 0), Ev(0, 7, 0, 0, 0), Ev(0, 4, 0, 0, 0)});
    CTranslationPairArray pairs;
    pairs.Add(3, 7);
    pairs.Add(7, 9);
    pairs.Add(3, 11);
    a.DoTranslatePaths(pairs);
    EXPECT_EQ(a[0].path, 7);
    EXPECT_EQ(a[1].path, 9);
    EXPECT_EQ(a[2].path, 4);
    EXPECT_EQ(a.ChannelSelection().startTime, 1);
    EXPECT_EQ(a.ChannelSelection().endTime, 1);

    CAutomationEventArray b = Arr({Ev(0, 3, 0, 0, 0)});
    b.DoTranslatePaths(CTranslationPairArray{});
    EXPECT_EQ(b[0].path, 3);
    EXPECT_EQ(b.ChannelSelection().startTime, -1) << "nothing to translate: nothing changes";
}

TEST_F(AnEventArray, FillsOldValuesFromDefaultsThenFromThePreviousEvent) {
    CPathMap map;
    map.AddSection(0, 8);  // section 0: channel kind 0
    map.AddSection(8, 8);  // section 1: channel kind 7
    CAutomationEventArray a = Arr({
        Ev(1, 2, 14, 0, 800),                      // fader level, default 0
        Ev(2, 2, 14, 2, 0),                        // fader mute, default 1 (mute off)
        Ev(3, 2, 14, 0, 900), Ev(4, 9, 0, 4, 2),   // presence on a kind-7 path
        Ev(5, 3, 40, 3, 0),                        // route module 9, control 3: default 1
        Ev(6, 3, 40, 3, 1), Ev(7, 300, 14, 0, 5),  // beyond 256 paths: untouched
        Ev(8, -1, 14, 0, 5),                       // a negative path has no cell: untouched
        Ev(9, 3, 14, 9, 5),                        // no control 9
        Ev(10, 3, 80, 0, 5),                       // route module beyond the 48 kept
    });
    for (auto& e : a) {
        e.oldValue = 4242;
    }
    a.SetOldValues(31, map);
    EXPECT_EQ(a[0].oldValue, objectkit::DefaultValue(0, 0, 14, 0));
    EXPECT_EQ(a[1].oldValue, 1);
    EXPECT_EQ(a[2].oldValue, 800);
    EXPECT_EQ(a[3].oldValue, objectkit::DefaultValue(0, 7, 0, 4));
    EXPECT_EQ(a[4].oldValue, 1);
    EXPECT_EQ(a[5].oldValue, 0);
    for (int i = 6; i < 10; ++i) {
        EXPECT_EQ(a[i].oldValue, 4242) << i;
    }
}

TEST_F(AnEventArray, OldValuesReachFiveHundredPathsInMaxPathsModeOne) {
    CAutomationEventArray a = Arr({Ev(1, 300, 14, 0, 5), Ev(2, 300, 14, 0, 6)});
    SetMachineDword("SOFTWARE\\Kestane Vantor\\Main", "Max Paths Mode", 1);
    a.SetOldValues(31, CPathMap{});
    EXPECT_EQ(a[1].oldValue, 5);
}

TEST_F(AnEventArray, OldValuesOnTheSmallLayoutUseItsOwnModules) {
    objectkit::SetConsoleTypeForTests(1);
    CAutomationEventArray a = Arr({Ev(1, 0, 0, 2, 0), Ev(2, 0, 0, 2, 1), Ev(3, 0, 5, 0, 1)});
    a.SetOldValues(31, CPathMap{});
    EXPECT_EQ(a[0].oldValue, objectkit::SmallLayoutDefaultValue(0, 0, 2));
    EXPECT_EQ(a[1].oldValue, 0);
    EXPECT_EQ(a[2].oldValue, 0) << "module 5 is outside the small layout";
}

TEST(APathMap, MapsSectionsToChannelKinds) {
    CPathMap map({0,  10, 10, 5, 15, 5, 20, 1, 21, 1, 22, 1, 23, 1,
                  24, 1,  25, 1, 26, 1, 27, 1, 28, 1, 29, 1, 30, 1});
    EXPECT_EQ(map.ChannelKindOfPath(3), 0);
    EXPECT_EQ(map.ChannelKindOfPath(12), 7);
    EXPECT_EQ(map.ChannelKindOfPath(16), 1);
    EXPECT_EQ(map.ChannelKindOfPath(22), 8);
    EXPECT_EQ(map.ChannelKindOfPath(25), 6);
    EXPECT_EQ(map.ChannelKindOfPath(29), 12);
    EXPECT_EQ(map.ChannelKindOfPath(30), 0) << "section 13 has no kind";
    EXPECT_EQ(map.ChannelKindOfPath(99), 0);
    EXPECT_EQ(CPathMap({5, 2147483647}).SectionOfPath(2147483646), 0);
}

TEST(AGrowableArray, GrowsByAnEighthBetweenFourAnd1024) {
    CAutomationEventArray a;
    a.Add(Ev(0, 0, 0, 0, 0));
    EXPECT_EQ(a.GetAllocSize(), 4);
    for (int i = 1; i < 5; ++i) {
        a.Add(Ev(0, 0, 0, 0, 0));
    }
    EXPECT_EQ(a.GetAllocSize(), 8);
    a.SetSize(20000);
    EXPECT_EQ(a.GetAllocSize(), 20000);
    a.Add(Ev(0, 0, 0, 0, 0));
    EXPECT_EQ(a.GetAllocSize(), 21024);
    a.InsertAt(1, Ev(7, 0, 0, 0, 0), 2);
    a.RemoveAt(0, 1);
    EXPECT_EQ(a[0].timeStamp, 7);
    EXPECT_EQ(a.GetSize(), 20002);
    a.Append(a);
    EXPECT_EQ(a.GetSize(), 40004);
    CAutomationEventArray copy(a);
    EXPECT_EQ(copy.GetSize(), 40004);
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
}

TEST_F(AnEventArray, LargeSortsMatchAStableSortWithTheSameComparison) {
    std::mt19937 rng(99);
    std::vector<CAutomationEvent> events;
    for (int i = 0; i < 5000; ++i) {
        // Negative and large times and paths exercise the sign handling of every byte.
        const int32_t time = static_cast<int32_t>(rng() % 7 == 0 ? rng() : rng() % 50) - 20;
        const int32_t path = rng() % 11 == 0 ? static_cast<int32_t>(rng()) : int32_t(rng() % 6);
        events.push_back(Ev(time, path, rng() % 4, rng() % 3, static_cast<int>(i & 0xFFFF)));
    }
    using Key = std::tuple<int32_t, int32_t, int, int>;
    auto check = [&](SortMode mode, auto key) {
        CAutomationEventArray a;
        for (const auto& e : events) {
            a.Add(e);
        }
        std::vector<CAutomationEvent> expected = events;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](const auto& x, const auto& y) { return key(x) < key(y); });
        a.Sort(mode);
        ASSERT_EQ(a.GetSize(), static_cast<int>(expected.size()));
        for (int i = 0; i < a.GetSize(); ++i) {
            ASSERT_EQ(a[i], expected[i]) << "mode " << mode << " index " << i;
        }
    };
    check(SortByTime, [](const CAutomationEvent& e) {
        return Key{e.timeStamp, e.path, e.module, e.control};
    });
    check(SortByPathControlTime, [](const CAutomationEvent& e) {
        return std::tuple<int32_t, int, int, int32_t>{e.path, e.module, e.control, e.timeStamp};
    });
    check(SortByPathTimeControl, [](const CAutomationEvent& e) {
        return Key{e.path, e.timeStamp, e.module, e.control};
    });
}
