#include <objectkit/EventFilter.h>
#include <objectkit/TemplateSnapAutoEvent.h>

#include <algorithm>
#include <set>

#include "EventTestSupport.h"

using namespace objevents_test;
using ::testing::ElementsAre;

namespace {

using Pair = std::pair<int, int>;  // module, control

std::vector<Pair> Entries(const CEventFilter& f) {
    std::vector<Pair> out;
    for (uint16_t e : f.allowedControls) {
        out.emplace_back(e & 0xFF, e >> 8);
    }
    return out;
}

std::set<Pair> Distinct(const CEventFilter& f) {
    const auto entries = Entries(f);
    return {entries.begin(), entries.end()};
}

}  // namespace

TEST(FilterTranslation, LargeLayoutGroupsForEveryLargeConsole) {
    for (int type : {2, 3, 4, 5, 7}) {
        CEventFilter f;
        f.TranslateFilterForConsole(1u << 1, type);
        EXPECT_THAT(Entries(f), ElementsAre(Pair{14, 0}, Pair{14, 1}, Pair{14, 3}, Pair{14, 6}))
            << type;
    }
    CEventFilter f;
    f.TranslateFilterForConsole(1u << 0, 3);
    const auto input = Distinct(f);
    EXPECT_EQ(input.size(), 9u + 7 * 4 + 9);
    EXPECT_TRUE(input.count({21, 8}) && input.count({18, 6}) && !input.count({15, 7}));

    f.TranslateFilterForConsole((1u << 3) | (1u << 6), 3);
    const auto eq = Distinct(f);
    EXPECT_TRUE(eq.count({1, 8}) && eq.count({8, 7}) && eq.count({10, 5}));
    EXPECT_FALSE(eq.count({1, 4}) || eq.count({9, 2}));

    f.TranslateFilterForConsole(
        (1u << 5) | (1u << 7) | (1u << 10) | (1u << 11) | (1u << 12) | (1u << 14) | (1u << 2), 3);
    const auto rest = Distinct(f);
    EXPECT_TRUE(rest.count({23, 2}) && rest.count({22, 5}) && rest.count({20, 8}) &&
                rest.count({21, 6}) && rest.count({0, 6}) && rest.count({0, 1}) &&
                rest.count({30, 8}) && rest.count({14, 2}));
    EXPECT_FALSE(rest.count({21, 4}) || rest.count({23, 3}) || rest.count({0, 0}));
}

TEST(FilterTranslation, RouteModulesComeFromTheOwnersRange) {
    CEventFilter f;
    f.routeModuleStart = 31;
    f.routeModuleEnd = 33;
    f.TranslateFilterForConsole((1u << 13) | (1u << 8) | (1u << 9), 3);
    EXPECT_THAT(Entries(f), ElementsAre(Pair{31, 0}, Pair{31, 1}, Pair{31, 2}, Pair{31, 3},
                                        Pair{32, 0}, Pair{32, 1}, Pair{32, 2}, Pair{32, 3}));
    f.TranslateFilterForConsole((1u << 8) | (1u << 9), 3);
    EXPECT_THAT(Entries(f), ElementsAre(Pair{31, 0}, Pair{31, 3}, Pair{32, 0}, Pair{32, 3}));
    f.TranslateFilterForConsole(1u << 8, 3);
    EXPECT_THAT(Entries(f), ElementsAre(Pair{31, 0}, Pair{32, 0}));
}

TEST(FilterTranslation, SmallLayoutGroupsOfTypesOneAndSix) {
    CEventFilter f;
    f.TranslateFilterForConsole((1u << 1) | (1u << 15), 1);
    EXPECT_THAT(Entries(f), ElementsAre(Pair{0, 0}, Pair{0, 1}, Pair{0, 2}, Pair{0, 2}, Pair{2, 4},
                                        Pair{1, 2}));
    f.TranslateFilterForConsole((1u << 2) | (1u << 15), 1);
    EXPECT_THAT(Entries(f),
                ElementsAre(Pair{0, 2}, Pair{2, 4}, Pair{1, 2}, Pair{0, 0}, Pair{0, 1}));
    f.TranslateFilterForConsole((1u << 3) | (1u << 16) | (1u << 17) | (1u << 20), 1);
    EXPECT_THAT(Entries(f), ElementsAre(Pair{2, 0}, Pair{1, 0}, Pair{1, 1}, Pair{1, 2}, Pair{2, 2},
                                        Pair{2, 3}, Pair{2, 1}));
    f.TranslateFilterForConsole((1u << 21) | (1u << 22) | (1u << 23), 1);
    EXPECT_TRUE(f.allowedControls.empty()) << "input select, auxiliaries and pan: type 6 only";
    f.TranslateFilterForConsole((1u << 21) | (1u << 22) | (1u << 23), 6);
    EXPECT_THAT(Entries(f), ElementsAre(Pair{3, 0}, Pair{3, 1}, Pair{3, 2}, Pair{3, 3}, Pair{3, 4},
                                        Pair{3, 5}, Pair{3, 6}, Pair{3, 7}, Pair{3, 8}, Pair{4, 0},
                                        Pair{4, 1}, Pair{4, 2}, Pair{4, 3}));
    f.TranslateFilterForConsole(1u << 0, 6);
    EXPECT_TRUE(f.allowedControls.empty()) << "large-layout flags mean nothing here";
}

TEST(FilterTranslation, TheAuxiliariesFlagSelectsEveryAuxiliaryTheConsoleNames) {
    // Bit 22 means the auxiliaries: exactly the module-3 controls named "Aux1" to "Aux8".
    std::set<Pair> named;
    for (int control = 0; control < 9; ++control) {
        const std::string name =
            CTemplateSnapAutoEvent(3, static_cast<uint8_t>(control), 0).GetEventNameFor(6);
        if (name.rfind("Aux", 0) == 0) {
            named.insert({3, control});
        }
    }
    ASSERT_EQ(named.size(), 8u);
    CEventFilter f;
    f.TranslateFilterForConsole(1u << 22, 6);
    EXPECT_EQ(Distinct(f), named);

    // An Aux8 move is found with the other auxiliaries; the input select is not.
    const CAutomationEventArray a =
        Arr({Ev(1, 0, 3, 0, 1), Ev(2, 0, 3, 1, 1), Ev(3, 0, 3, 7, 1), Ev(4, 0, 3, 8, 1)});
    CAutomationEventArray out;
    EXPECT_EQ(a.GetAllFilteredEvents(f, out), 3);
    EXPECT_THAT(Times(out), ElementsAre(2, 3, 4));
}

TEST(FilterTranslation, UnknownConsoleTypesAddNothingAndTheCurrentTypeIsUsed) {
    CEventFilter f;
    f.allowedControls = {1, 2};
    f.TranslateFilterForConsole(0xFFFFFFFFu, 0);
    EXPECT_TRUE(f.allowedControls.empty());
    f.TranslateFilterForConsole(0xFFFFFFFFu, 8);
    EXPECT_TRUE(f.allowedControls.empty());
    objectkit::SetConsoleTypeForTests(6);
    f.TranslateFilter(1u << 23);
    EXPECT_EQ(f.allowedControls.size(), 4u);
    objectkit::SetConsoleTypeForTests(0);
}

TEST(AnEventFilter, CopiesItsSelectionAndClears) {
    CEventFilter f;
    f.startTime = 4;
    f.endTime = 9;
    f.destinationTime = 12;
    f.paths = {1, 2};
    f.userData = {77};
    f.routeModuleStart = 31;
    f.routeModuleEnd = 40;
    f.allowedControls = {CEventFilter::MakeControlEntry(14, 2)};
    const CEventFilter copy(f);
    EXPECT_EQ(copy.startTime, 4);
    EXPECT_EQ(copy.endTime, 9);
    EXPECT_EQ(copy.destinationTime, 12);
    EXPECT_EQ(copy.paths, f.paths);
    EXPECT_EQ(copy.userData, f.userData);
    EXPECT_EQ(copy.routeModuleEnd, 40);
    EXPECT_EQ(copy.allowedControls, f.allowedControls);
    EXPECT_EQ(copy.Groups()[6].module, 14);
    EXPECT_EQ(copy.Groups()[6].controlMask, 0x4B);
    f.Clear();
    EXPECT_EQ(f.startTime, -1);
    EXPECT_EQ(f.destinationTime, -1);
    EXPECT_TRUE(f.paths.empty() && f.userData.empty() && f.allowedControls.empty());
    EXPECT_EQ(f.routeModuleStart, 31) << "the owner's route range stays";
}

class FilteredQueries : public ConsoleFixture {};

TEST_F(FilteredQueries, ADefaultFilterPassesEverythingAndLearnsTheEndTime) {
    const CAutomationEventArray a = Arr({Ev(1, 0, 0, 0, 0), Ev(5, 1, 0, 0, 0), Ev(9, 2, 0, 0, 0)});
    CEventFilter f;
    std::vector<int> indices{42};
    EXPECT_EQ(a.GetFilteredTotal(f, &indices), 3u);
    EXPECT_THAT(indices, ElementsAre(0, 1, 2));
    EXPECT_EQ(f.endTime, 9);
    CAutomationEventArray out;
    CEventFilter g;
    EXPECT_EQ(a.GetAllFilteredEvents(g, out), 3);
    EXPECT_EQ(Rows(out), Rows(a));
}

TEST_F(FilteredQueries, SelectByWindowPathsAndControls) {
    const CAutomationEventArray a = Arr({Ev(1, 0, 14, 0, 0), Ev(5, 1, 14, 2, 0), Ev(7, 1, 14, 0, 0),
                                         Ev(9, 2, 14, 0, 0), Ev(12, 1, 14, 0, 0)});
    CEventFilter f;
    f.startTime = 5;
    f.endTime = 10;
    f.paths = {1, 2};
    f.allowedControls = {CEventFilter::MakeControlEntry(14, 0)};
    std::vector<int> indices;
    EXPECT_EQ(a.GetFilteredTotal(f, &indices), 2u);
    EXPECT_THAT(indices, ElementsAre(2, 3));
    EXPECT_EQ(a.GetFilteredTotal(f, nullptr), 2u);

    f.allowedControls = {CEventFilter::MakeControlEntry(3, 3)};
    EXPECT_EQ(a.GetFilteredTotal(f, &indices), 0u);
    EXPECT_TRUE(indices.empty());

    CEventFilter early;
    early.startTime = 6;
    early.endTime = 6;
    EXPECT_EQ(a.GetFilteredTotal(early, nullptr), 0u) << "the end is before the start event";

    CEventFilter late;
    late.startTime = 50;
    CAutomationEventArray out;
    EXPECT_EQ(late.endTime, -1);
    EXPECT_EQ(a.GetAllFilteredEvents(late, out), 0) << "nothing is at or after the start";
    EXPECT_EQ(a.GetFilteredTotal(late, nullptr), 0u);
}

TEST_F(FilteredQueries, PageForwardFromAPosition) {
    CAutomationEventArray a;
    for (int i = 0; i < 10; ++i) {
        a.Add(Ev(i * 10, i % 2, 0, 0, i));
    }
    CEventFilter f;
    f.paths = {1};
    CAutomationEventArray out;
    int first = -7;
    int position = 0;
    EXPECT_EQ(a.GetFilteredEvents(f, 2, first, position, out, 1), 2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(position, 4);
    EXPECT_EQ(a.GetFilteredEvents(f, 2, first, position, out, 1), 2);
    EXPECT_EQ(first, 5);
    EXPECT_EQ(out[0].value, 5);
    EXPECT_EQ(a.GetFilteredEvents(f, 2, position, out, 1), 1);
    EXPECT_EQ(position, 10);
    EXPECT_EQ(a.GetFilteredEvents(f, 2, position, out, 1), 0);
}

TEST_F(FilteredQueries, PageBackwardInTimeOrder) {
    CAutomationEventArray a;
    for (int i = 0; i < 12; ++i) {
        a.Add(Ev(i * 10, (i == 10 || i == 8 || i == 5) ? 1 : 0, 0, 0, i));
    }
    CEventFilter f;
    f.paths = {1};
    CAutomationEventArray out;
    int first = 0;
    int position = 10;
    EXPECT_EQ(a.GetFilteredEvents(f, 2, first, position, out, 0), 2);
    ASSERT_EQ(out.GetSize(), 2);
    EXPECT_EQ(out[0].value, 8);
    EXPECT_EQ(out[1].value, 10);
    EXPECT_EQ(position, 10);
    EXPECT_EQ(first, 7);

    position = first;
    EXPECT_EQ(a.GetFilteredEvents(f, 2, first, position, out, 0), 1);
    EXPECT_EQ(out[0].value, 5);
    EXPECT_EQ(position, 5);
    EXPECT_EQ(first, -1);

    position = 4;
    EXPECT_EQ(a.GetFilteredEvents(f, 2, first, position, out, 0), 0);
    EXPECT_EQ(position, -1) << "an empty page hands back where the walk stopped";
}
