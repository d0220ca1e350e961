#include <objectkit/Conform.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <tuple>

#include <objectkit/AutomationBlockFile.h>
#include <objectkit/Settings.h>

#include "FileTestSupport.h"
#include "LittleEndian.h"

namespace {

// Fader level (continuous) and mute (switch) of the large layout's fader module.
constexpr uint8_t kFader = 14;
constexpr uint8_t kLevel = 0;
constexpr uint8_t kMute = 2;

CAutomationEvent Ev(int32_t time, int32_t path, uint8_t control, uint16_t value) {
    CAutomationEvent e;
    e.timeStamp = time;
    e.path = path;
    e.module = kFader;
    e.control = control;
    e.value = value;
    return e;
}

using Row = std::tuple<int32_t, int32_t, int, int, int>;  // time, path, module, control, value

std::vector<Row> Rows(const CAutomationEventArray& a) {
    std::vector<Row> rows;
    for (const auto& e : a) {
        rows.emplace_back(e.timeStamp, e.path, e.module, e.control, e.value);
    }
    return rows;
}

void Fill(CAutomationEventArray& a, std::initializer_list<CAutomationEvent> events) {
    a.RemoveAll();
    for (const auto& e : events) {
        a.Add(e);
    }
}

class ConformTest : public objectkit::test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        objectkit::SetConsoleTypeForTests(3);
        if (!HaveRegistry()) {
            GTEST_SKIP() << "needs the registry to switch off phase alignment";
        }
        // Linked cards take values on exact time stamps, which keeps the expectations plain.
        ASSERT_TRUE(SetMachineDword("SOFTWARE\\KESTANE\\ROOKSERVER", "CardLinkType", 2));
    }
    void TearDown() override {
        objectkit::SetConsoleTypeForTests(0);
        TempDirTest::TearDown();
    }

    // A binary EDL of (reel, source in, record in, record out) events at 25 fps.
    void WriteEDL(
        const std::string& path,
        const std::vector<std::tuple<std::string, CTimecode, CTimecode, CTimecode>>& events) {
        CEDLWriter writer;
        ASSERT_TRUE(writer.Open(path, {}));
        for (const auto& [reel, src, in, out] : events) {
            CEDLEvent e;
            e.m_Reel = reel;
            e.m_EditType = EDL_EDIT_CUT;
            ASSERT_TRUE(writer.WriteEvent(e, src, in, out));
        }
        ASSERT_TRUE(writer.Close());
    }

    // The mix being conformed: a fader move at frame 1000 and a mute from frame 500.
    void MakeMix(CAutomationPackage& mix) {
        Fill(mix, {Ev(0, 0, kLevel, 100), Ev(0, 1, kMute, 0), Ev(2000, 1, kMute, 1),
                   Ev(4000, 0, kLevel, 200)});
    }
};

TEST_F(ConformTest, ThreeEditsMoveSourceAutomationToTheirRecordRanges) {
    // Reel A: fader moves at frames 100, 150 and 250; a mute at frame 110.
    CAutomationEventArray reelA;
    Fill(reelA, {Ev(400, 0, kLevel, 500), Ev(440, 1, kMute, 1), Ev(600, 0, kLevel, 600),
                 Ev(1000, 0, kLevel, 700)});
    ASSERT_EQ(reelA.Save(Path("REELA.aut")), 1);
    // Reel B, stored as a block file: the fader at 300 from the start, 350 at frame 2000.
    CAutomationPackage reelB;
    Fill(reelB, {Ev(0, 0, kLevel, 300), Ev(8000, 0, kLevel, 350)});
    ASSERT_EQ(reelB.SaveToBlockFile(Path("REELB.aut")), 1);

    std::string edl = Path("new cut.edl");
    WriteEDL(edl, {
                      // frames 100-150 of A to 500-550
                      {"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}},
                      // frames 1975-2025 of B to 750-800
                      {"REELB", {0, 1, 19, 0}, {0, 0, 30, 0}, {0, 0, 32, 0}},
                      // black over frames 990-1010
                      {"BL", {0, 0, 0, 0}, {0, 0, 39, 15}, {0, 0, 40, 10}},
                  });
    CAutomationPackage mix;
    MakeMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);

    const std::vector<Row> want = {
        {0, 0, kFader, kLevel, 100},  // before the first edit: the mix as it was
        {0, 1, kFader, kMute, 0},
        {2000, 0, kFader, kLevel, 500},  // edit 1 starts from A's state at frame 100
        {2040, 1, kFader, kMute, 1},     // A's mute, moved by 400 frames; the mix's own mute
                                         // at 2000 inside the range is replaced
        {2200, 0, kFader, kLevel, 100},  // after the range the fader returns to the mix's value
        {3000, 0, kFader, kLevel, 300},  // edit 2: B's state at frame 1975
        {3100, 0, kFader, kLevel, 350},  // B's move at frame 2000
        {3200, 0, kFader, kLevel, 100},  // back to the mix
        {4040, 0, kFader, kLevel, 200},  // black: the move at 4000 waits for the range's end
    };
    EXPECT_EQ(Rows(mix), want);

    ASSERT_EQ(mix.m_SourceDestItems.size(), 6u);
    EXPECT_EQ(mix.m_SourceDestItems[2].m_In, 1975);
    EXPECT_EQ(mix.m_SourceDestItems[2].m_Out, 2025);
    EXPECT_EQ(mix.m_SourceDestItems[3].m_In, 750);
    EXPECT_EQ(mix.m_SourceDestItems[2].m_nReelIndex, 1);
    EXPECT_EQ(mix.m_SourceDestItems[4].m_nReelIndex, -1);
    EXPECT_TRUE(mix.m_SourceReels.empty());  // source packages are let go after the run
}

TEST_F(ConformTest, FailuresReportTheirStageAndLeaveTheMixAlone) {
    CAutomationPackage mix;
    MakeMix(mix);
    const auto before = Rows(mix);

    std::string missing = Path("missing.edl");
    EXPECT_EQ(DoConform(&mix, missing), CONFORM_OPEN_EDL);
    std::string text = Path("text.edl");  // an EDL named so must be in the binary form
    WriteText(text, "001 REELA V C 00:00:04:00 00:00:06:00 00:00:20:00 00:00:22:00\n");
    EXPECT_EQ(DoConform(&mix, text), CONFORM_OPEN_EDL);

    std::string edl = Path("nosource.edl");
    WriteEDL(edl, {{"NOREEL", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
    EXPECT_EQ(DoConform(&mix, edl), CONFORM_APPLY);
    // Reel names cannot lead out of the EDL's directory.
    WriteEDL(edl, {{"../REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
    std::filesystem::create_directories(Path("sub"));
    CAutomationEventArray outside;
    Fill(outside, {Ev(0, 0, kLevel, 1)});
    ASSERT_EQ(outside.Save(Path("REELA.aut")), 1);
    std::string nested = Path("sub/cut.edl");
    std::filesystem::copy_file(edl, nested);
    EXPECT_EQ(DoConform(&mix, nested), CONFORM_APPLY);

    mix.m_nConsoleType = 1;  // a small-layout mix on a large-layout console
    WriteEDL(edl, {{"BL", {0, 0, 0, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
    EXPECT_EQ(DoConform(&mix, edl), CONFORM_PREPARE);
    EXPECT_EQ(Rows(mix), before);
    EXPECT_EQ(DoConform(nullptr, edl), CONFORM_OPEN_EDL);
}

TEST_F(ConformTest, CutListsAndTextFilesGoThroughTheTemporaryEDL) {
    CAutomationEventArray reel;
    Fill(reel, {Ev(400, 0, kLevel, 900)});
    ASSERT_EQ(reel.Save(Path("R1.aut")), 1);

    // A cut list named in capitals is still a cut list.
    std::vector<uint8_t> bytes;
    objectkit::le::Writer w{bytes};
    w.Bytes("KTL_CUTLIST_FILE", 16);
    w.U32(1);
    w.U32(1);
    w.U32(1);
    w.U32(1);                                      // cut
    w.U32(objectkit::PackTimecode({0, 0, 4, 0}));  // at frame 100 (source taken there too)
    w.U32(objectkit::PackTimecode({0, 0, 2, 0}));  // for 50 frames
    w.U32(0);
    char reelName[16] = "R1";
    w.Bytes(reelName, 16);
    std::string cut = Path("MIX.CUT");
    WriteFile(cut, bytes);
    CAutomationPackage mix;
    MakeMix(mix);
    ASSERT_EQ(DoConform(&mix, cut), CONFORM_SUCCESS);
    EXPECT_EQ(Rows(mix), (std::vector<Row>{{0, 0, kFader, kLevel, 100},
                                           {0, 1, kFader, kMute, 0},
                                           {400, 0, kFader, kLevel, 900},
                                           {600, 0, kFader, kLevel, 100},
                                           {2000, 1, kFader, kMute, 1},
                                           {4000, 0, kFader, kLevel, 200}}));
    const auto temp = ReadFile(objectkit::TemporaryEDLPath());
    ASSERT_GE(temp.size(), 10u);
    EXPECT_EQ(std::string(temp.begin(), temp.begin() + 10), "KTL HDRNEW");

    // A name without an extension is a text cut list; its dissolve halves share a number.
    std::string text = Path("cutlist");
    WriteText(text,
              "001 R1 V C 00:00:04:00 00:00:04:00 00:00:30:00 00:00:30:00\n"
              "001 R1 V D 025 00:00:04:00 00:00:05:00 00:00:30:00 00:00:31:00\n");
    MakeMix(mix);
    ASSERT_EQ(DoConform(&mix, text), CONFORM_SUCCESS);
    CEDLReader reader(objectkit::TemporaryEDLPath(), EDL_GENERIC);
    CEDLEvent e;
    CTimecode a, b, c;
    std::vector<int32_t> links;
    while (reader.ReadEvent(e, a, b, c)) {
        links.push_back(e.m_nLink);
    }
    EXPECT_EQ(links, (std::vector<int32_t>{0, 0}));

    // Files that cannot be opened raise the file exception; unreadable content gives -1.
    std::string gone = Path("gone.Cut");
    EXPECT_THROW(DoConform(&mix, gone), CFileException);
    std::string bare = Path("gone");
    EXPECT_THROW(DoConform(&mix, bare), CFileException);
    std::string empty = Path("empty.txt");
    WriteText(empty, "TITLE: nothing\n");
    EXPECT_EQ(DoConform(&mix, empty), CONFORM_READ_FAILED);
}

TEST_F(ConformTest, SourceAndRecordTimecodesAreCountedAlikeAtEveryConsoleRate) {
    // One text EDL written drop-frame; per console rate the frames of its source label
    // 10:00:00;00 and record label 01:00:00;00 as both must be counted. At 29.97 (drop frame
    // or not) a ";" EDL counts drop-frame: the reel's value there is 111, while the same label
    // counted non-drop lands 1,080 frames later, where the reel holds 222. At 30 the label is
    // counted non-drop; the drop-frame count of it holds 222. 24 and 25 have one count only.
    struct RateCase {
        uint32_t rateCode;  // "VantorTimcodeRate"
        int32_t source;     // frames
        int32_t otherCount;
        int32_t record;
    };
    const RateCase cases[] = {{0, 864000, -1, 86400},
                              {1, 900000, -1, 90000},
                              {2, 1078920, 1080000, 107892},
                              {3, 1078920, 1080000, 107892},
                              {4, 1080000, 1078920, 108000}};
    std::string edl = Path("cut.txt");
    WriteText(edl, "001  R1  V  C  10:00:00;00 10:00:00;10 01:00:00;00 01:00:00;10\n");
    for (const RateCase& c : cases) {
        SCOPED_TRACE(c.rateCode);
        ASSERT_TRUE(SetMachineDword("Software\\KESTANE\\Kestane Vantor\\Timecode",
                                    "VantorTimcodeRate", c.rateCode));
        // 111 at the source label, 333 five frames into the edit, 222 at the other count.
        std::vector<CAutomationEvent> events = {Ev(c.source * 4, 0, kLevel, 111),
                                                Ev((c.source + 5) * 4, 0, kLevel, 333)};
        if (c.otherCount >= 0) {
            events.push_back(Ev(c.otherCount * 4, 0, kLevel, 222));
        }
        std::sort(events.begin(), events.end(),
                  [](const auto& a, const auto& b) { return a.timeStamp < b.timeStamp; });
        CAutomationEventArray reel;
        for (const auto& e : events) {
            reel.Add(e);
        }
        ASSERT_EQ(reel.Save(Path("R1.aut")), 1);

        CAutomationPackage mix;
        Fill(mix, {Ev(0, 0, kLevel, 50)});
        ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
        const int32_t at = c.record * 4;
        EXPECT_EQ(Rows(mix), (std::vector<Row>{{0, 0, kFader, kLevel, 50},
                                               {at, 0, kFader, kLevel, 111},
                                               {at + 20, 0, kFader, kLevel, 333},
                                               {at + 40, 0, kFader, kLevel, 50}}));
    }
}

// (time, path, value, flags) of every event.
std::vector<std::tuple<int32_t, int32_t, int, int>> FlaggedRows(const CAutomationEventArray& a) {
    std::vector<std::tuple<int32_t, int32_t, int, int>> rows;
    for (const auto& e : a) {
        rows.emplace_back(e.timeStamp, e.path, e.value, e.flags);
    }
    return rows;
}

CAutomationEvent Flagged(CAutomationEvent e, uint8_t flags) {
    e.flags = flags;
    return e;
}

TEST_F(ConformTest, AnEventAtTheSourceInKeepsItsFlags) {
    // Reel: path 1 set before the source in (frame 100), path 0 set exactly at it and once more
    // inside the edit.
    CAutomationEventArray reel;
    Fill(reel, {Flagged(Ev(200, 1, kLevel, 70), 0x33), Flagged(Ev(400, 0, kLevel, 500), 0x5A),
                Flagged(Ev(420, 0, kLevel, 510), 0x5B)});
    ASSERT_EQ(reel.Save(Path("REELA.aut")), 1);
    std::string edl = Path("cut.edl");
    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
    using Flags = std::vector<std::tuple<int32_t, int32_t, int, int>>;

    // Path 1's state at the record in is generated (flags 0): the event that set it lies
    // before the edit and is not moved.
    CAutomationPackage mix;
    Fill(mix, {Ev(0, 0, kLevel, 100), Ev(0, 1, kLevel, 100)});
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    EXPECT_EQ(FlaggedRows(mix), (Flags{{0, 0, 100, 0},
                                       {0, 1, 100, 0},
                                       {2000, 0, 500, 0x5A},
                                       {2000, 1, 70, 0},
                                       {2020, 0, 510, 0x5B},
                                       {2200, 0, 100, 0},
                                       {2200, 1, 100, 0}}));

    // The mix already holds the event's value: the event still arrives.
    Fill(mix, {Ev(0, 0, kLevel, 500), Ev(0, 1, kLevel, 70)});
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    EXPECT_EQ(FlaggedRows(mix), (Flags{{0, 0, 500, 0},
                                       {0, 1, 70, 0},
                                       {2000, 0, 500, 0x5A},
                                       {2020, 0, 510, 0x5B},
                                       {2200, 0, 500, 0}}));

    // A mix without automation takes the reel's window as it is.
    mix.RemoveAll();
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    EXPECT_EQ(FlaggedRows(mix),
              (Flags{{2000, 0, 500, 0x5A}, {2000, 1, 70, 0}, {2020, 0, 510, 0x5B}}));

    // Copying a section of the mix that starts on one of its events.
    Fill(mix, {Ev(0, 0, kLevel, 100), Flagged(Ev(400, 0, kLevel, 500), 0x5A)});
    CSourceDestItem source, destination;
    source.m_In = 100;
    source.m_Out = 150;
    destination.m_In = 500;
    destination.m_Out = 550;
    ASSERT_EQ(CopyConformLogicStyle(&mix, &source, &destination), CONFORM_SUCCESS);
    EXPECT_EQ(FlaggedRows(mix), (Flags{{0, 0, 100, 0}, {400, 0, 500, 0x5A}, {2000, 0, 500, 0x5A}}));
}

TEST_F(ConformTest, CopyMoveAndDeleteWorkOnTheMixItself) {
    auto mixWithMoves = [](CAutomationPackage& mix) {
        Fill(mix, {Ev(0, 0, kLevel, 100), Ev(400, 0, kLevel, 500), Ev(600, 0, kLevel, 600),
                   Ev(4000, 0, kLevel, 200)});
    };
    CSourceDestItem source, destination;
    source.m_In = 100;  // frames 100-150
    source.m_Out = 150;
    destination.m_In = 500;
    destination.m_Out = 550;

    CAutomationPackage mix;
    mixWithMoves(mix);
    ASSERT_EQ(CopyConformLogicStyle(&mix, &source, &destination), CONFORM_SUCCESS);
    EXPECT_EQ(Rows(mix), (std::vector<Row>{{0, 0, kFader, kLevel, 100},
                                           {400, 0, kFader, kLevel, 500},
                                           {600, 0, kFader, kLevel, 600},
                                           {2000, 0, kFader, kLevel, 500},
                                           {2200, 0, kFader, kLevel, 600},
                                           {4000, 0, kFader, kLevel, 200}}));

    mixWithMoves(mix);
    ASSERT_EQ(MoveConformLogicStyle(&mix, &source, &destination), CONFORM_SUCCESS);
    const std::vector<Row> vacated = {
        {0, 0, kFader, kLevel, 100},    {600, 0, kFader, kLevel, 500},  // held through the range
        {600, 0, kFader, kLevel, 600},  {2000, 0, kFader, kLevel, 500},
        {2200, 0, kFader, kLevel, 600}, {4000, 0, kFader, kLevel, 200}};
    EXPECT_EQ(Rows(mix), vacated);

    mixWithMoves(mix);
    ASSERT_EQ(DeleteConformLogicStyle(&mix, &source), CONFORM_SUCCESS);
    EXPECT_EQ(Rows(mix), (std::vector<Row>{{0, 0, kFader, kLevel, 100},
                                           {600, 0, kFader, kLevel, 500},
                                           {600, 0, kFader, kLevel, 600},
                                           {4000, 0, kFader, kLevel, 200}}));

    // A range written across midnight (23:59:59:15 to 00:00:00:15) keeps its 25 frames and
    // runs on past the day's last frame.
    CSourceDestItem wrapped;
    wrapped.m_In = 2160000 - 10;
    wrapped.m_Out = 15;
    Fill(mix, {Ev(0, 0, kLevel, 100), Ev(8639980, 0, kLevel, 700), Ev(8640040, 0, kLevel, 750),
               Ev(8640400, 0, kLevel, 800)});
    ASSERT_EQ(DeleteConformLogicStyle(&mix, &wrapped), CONFORM_SUCCESS);
    EXPECT_EQ(Rows(mix), (std::vector<Row>{{0, 0, kFader, kLevel, 100},
                                           {8640060, 0, kFader, kLevel, 750},
                                           {8640400, 0, kFader, kLevel, 800}}));
    EXPECT_EQ(DeleteConformLogicStyle(nullptr, &wrapped), CONFORM_OPEN_EDL);
}

TEST_F(ConformTest, ArrayConformBuildsTheCutFromConsecutiveSourceStretches) {
    CAutomationEventArray source;
    Fill(source, {Ev(0, 0, kLevel, 10), Ev(0, 3, kMute, 1), Ev(100, 0, kLevel, 20),
                  Ev(240, 0, kLevel, 30)});
    ASSERT_EQ(source.Save(Path("source.aut")), 1);
    CEDLItemList list;
    CEDLItem gap, first, second;
    gap.m_nLength = 100;
    first.m_nKind = CEDLItem::FirstGroup;
    first.m_nStart = 100;
    first.m_nLength = 50;
    second.m_nKind = CEDLItem::SecondGroup;
    second.m_nStart = 150;
    second.m_nLength = 50;
    list.Add(gap);
    list.Add(first);
    list.Add(second);

    CAutomationEventArray result;
    std::string error;
    ASSERT_EQ(result.EDLConform(list, Path("source.aut"), Path("out.aut"), nullptr, error), 1)
        << error;
    EXPECT_EQ(Rows(result), (std::vector<Row>{{400, 0, kFader, kLevel, 10},
                                              {400, 3, kFader, kMute, 1},
                                              {500, 0, kFader, kLevel, 20},
                                              {640, 0, kFader, kLevel, 30}}));
    CAutomationEventArray saved;
    ASSERT_EQ(saved.Load(Path("out.aut")), 1);
    EXPECT_EQ(Rows(saved), Rows(result));

    EXPECT_EQ(result.EDLConform(list, Path("none.aut"), Path("out.aut"), nullptr, error), 0);
    EXPECT_EQ(error, "Conform could not save the automation :\n No such file or directory");
    EXPECT_EQ(result.EDLConform(list, Path("source.aut"), Path("no/dir/out.aut"), nullptr, error),
              0);
    EXPECT_EQ(error.rfind("Conform could not save the automation :\n ", 0), 0u);
    EXPECT_EQ(result.GetSize(), 4);
}

// Per-path data: every array that holds one record per path, with its record size in bytes.
std::vector<std::pair<std::vector<uint8_t>*, size_t>> PathRecordArrays(CAutomationPackage& p) {
    std::vector<std::pair<std::vector<uint8_t>*, size_t>> arrays;
    for (int s = 0; s < 2; ++s) {
        for (int g = 0; g < 8; ++g) {
            arrays.emplace_back(&p.m_CtlGroups[s][g].m_Data, 124);
            arrays.emplace_back(&p.m_RteGroups[s][g].m_Data, 20);
        }
    }
    arrays.emplace_back(&p.m_CtrlParms, 124);
    arrays.emplace_back(&p.m_RteParms, 20);
    return arrays;
}

// Gives a package `paths` records in every per-path array. Record p of array k starts with k
// and p and is otherwise filled with `tag`; vector data v holds tag * 100 + 10 * v + p. The
// shared arrays get values of the tag too.
void FillPathData(CAutomationPackage& p, uint8_t tag, int paths) {
    int k = 0;
    for (auto [array, size] : PathRecordArrays(p)) {
        array->clear();
        for (int path = 0; path < paths; ++path) {
            std::vector<uint8_t> record(size, tag);
            record[0] = static_cast<uint8_t>(k);
            record[1] = static_cast<uint8_t>(path);
            array->insert(array->end(), record.begin(), record.end());
        }
        ++k;
    }
    for (int v = 0; v < 3; ++v) {
        p.m_VectorData[v].clear();
        for (int path = 0; path < paths; ++path) {
            p.m_VectorData[v].push_back(tag * 100 + 10 * v + path);
        }
    }
    p.m_PathMap = CPathMap({0, tag, tag, 2});
    p.m_LinkMap = std::vector<int32_t>(static_cast<size_t>(paths), tag);
    p.m_GangMap = std::vector<int32_t>(static_cast<size_t>(paths), tag + 1);
    p.m_AutomationSize = {18, tag};
    p.m_CutAB = {tag};
    p.m_nFrameRate = 20 + tag;
    p.m_nMixPass[0] = p.m_nMixPass[1] = tag;
}

// Checks that record p of every per-path array carries tags[p].
void ExpectPathTags(CAutomationPackage& p, const std::vector<uint8_t>& tags) {
    int k = 0;
    for (auto [array, size] : PathRecordArrays(p)) {
        ASSERT_EQ(array->size(), size * tags.size()) << "array " << k;
        for (size_t path = 0; path < tags.size(); ++path) {
            std::vector<uint8_t> record(size, tags[path]);
            record[0] = static_cast<uint8_t>(k);
            record[1] = static_cast<uint8_t>(path);
            const auto at = array->begin() + static_cast<std::ptrdiff_t>(path * size);
            EXPECT_TRUE(std::equal(record.begin(), record.end(), at))
                << "array " << k << " path " << path;
        }
        ++k;
    }
    for (int v = 0; v < 3; ++v) {
        std::vector<int32_t> want;
        for (size_t path = 0; path < tags.size(); ++path) {
            want.push_back(tags[path] * 100 + 10 * v + static_cast<int32_t>(path));
        }
        EXPECT_EQ(p.m_VectorData[v], want) << "vector data " << v;
    }
}

// The parts that are not per-path records keep the values of `tag`.
void ExpectSharedParts(const CAutomationPackage& p, uint8_t tag, int paths) {
    EXPECT_EQ(p.m_PathMap.values, (std::vector<int32_t>{0, tag, tag, 2}));
    EXPECT_EQ(p.m_LinkMap, std::vector<int32_t>(static_cast<size_t>(paths), tag));
    EXPECT_EQ(p.m_GangMap, std::vector<int32_t>(static_cast<size_t>(paths), tag + 1));
    EXPECT_EQ(p.m_AutomationSize, (std::vector<int32_t>{18, tag}));
    EXPECT_EQ(p.m_CutAB, std::vector<int32_t>{tag});
    EXPECT_EQ(p.m_nFrameRate, 20 + tag);
    EXPECT_EQ(p.m_nMixPass[1], tag);
}

constexpr uint8_t kMixTag = 1;
constexpr uint8_t kReelATag = 2;
constexpr uint8_t kReelBTag = 3;

// Three paths, each with a fader level from the start.
void MakeThreePathMix(CAutomationPackage& mix) {
    Fill(mix, {Ev(0, 0, kLevel, 100), Ev(0, 1, kLevel, 100), Ev(0, 2, kLevel, 100)});
    FillPathData(mix, kMixTag, 3);
}

// Reel A, edited from frames 100-150 (quarter frames 400-599): path 2 is set before the range
// (the cut starts from it), path 0 moves inside it, path 1 only after it.
void MakeReelA(CAutomationPackage& reel) {
    Fill(reel, {Ev(200, 2, kLevel, 50), Ev(440, 0, kLevel, 60), Ev(800, 1, kMute, 1)});
    FillPathData(reel, kReelATag, 3);
}

TEST_F(ConformTest, AnEditBringsThePackageDataOfThePathsItTakes) {
    CAutomationPackage reelA;
    MakeReelA(reelA);
    ASSERT_EQ(reelA.Save(Path("REELA.aut")), 1);
    std::string edl = Path("cut.edl");
    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});

    CAutomationPackage mix;
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kReelATag, kMixTag, kReelATag});
    ExpectSharedParts(mix, kMixTag, 3);

    // The same reel stored as a block file gives the same result.
    ASSERT_EQ(reelA.SaveToBlockFile(Path("REELA.aut")), 1);
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kReelATag, kMixTag, kReelATag});

    // A reel whose range sets nothing, and black, take no data.
    WriteEDL(edl, {{"REELA", {0, 0, 40, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}},
                   {"BL", {0, 0, 0, 0}, {0, 0, 30, 0}, {0, 0, 32, 0}}});
    Fill(reelA, {Ev(8000, 0, kLevel, 60)});
    ASSERT_EQ(reelA.Save(Path("REELA.aut")), 1);
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kMixTag, kMixTag, kMixTag});
}

TEST_F(ConformTest, ASourceWithoutTheRecordsKeepsTheMixData) {
    // Reel A holds events only: no package data at all.
    CAutomationEventArray eventsOnly;
    Fill(eventsOnly, {Ev(200, 2, kLevel, 50), Ev(440, 0, kLevel, 60)});
    ASSERT_EQ(eventsOnly.Save(Path("REELA.aut")), 1);
    std::string edl = Path("cut.edl");
    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
    CAutomationPackage mix;
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kMixTag, kMixTag, kMixTag});
    ExpectSharedParts(mix, kMixTag, 3);

    // Reel B has records for path 0 only (one array has part of path 2's): path 2 keeps the
    // mix's.
    CAutomationPackage reelB;
    MakeReelA(reelB);
    FillPathData(reelB, kReelBTag, 1);
    reelB.m_CtlGroups[0][0].m_Data.resize(2 * 124 + 60, kReelBTag);
    ASSERT_EQ(reelB.Save(Path("REELB.aut")), 1);
    WriteEDL(edl, {{"REELB", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kReelBTag, kMixTag, kMixTag});
}

TEST_F(ConformTest, AMixWithoutTheRecordsTakesTheSourcesUpToTheLastPathTaken) {
    CAutomationPackage reelA;
    MakeReelA(reelA);
    FillPathData(reelA, kReelATag, 4);
    ASSERT_EQ(reelA.Save(Path("REELA.aut")), 1);
    std::string edl = Path("cut.edl");
    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});

    CAutomationPackage mix;
    MakeThreePathMix(mix);
    mix.m_VectorData[1].clear();             // nothing for any path
    mix.m_RteParms.resize(40);               // paths 0 and 1 only
    mix.m_CtlGroups[1][2].m_Data.resize(5);  // a partial record
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    // Paths 0 and 2 are taken; path 1, which the mix has no record for, is filled from the
    // reel on the way; the reel's path 3 is not taken.
    EXPECT_EQ(mix.m_VectorData[1], (std::vector<int32_t>{210, 211, 212}));
    ASSERT_EQ(mix.m_RteParms.size(), 60u);
    EXPECT_EQ(mix.m_RteParms[2], kReelATag);
    EXPECT_EQ(mix.m_RteParms[20 + 2], kMixTag);  // path 1 had a record of the mix's
    EXPECT_EQ(mix.m_RteParms[40 + 2], kReelATag);
    ASSERT_EQ(mix.m_CtlGroups[1][2].m_Data.size(), 3 * 124u);
    EXPECT_EQ(mix.m_CtlGroups[1][2].m_Data[2], kReelATag);
    EXPECT_EQ(mix.m_CtlGroups[1][2].m_Data[124 + 2], kReelATag);
    EXPECT_EQ(mix.m_VectorData[0], (std::vector<int32_t>{200, 101, 202}));
}

TEST_F(ConformTest, TheLastEditOfAPathGivesItsDataAndFailuresKeepTheMixData) {
    CAutomationPackage reelA;
    MakeReelA(reelA);
    ASSERT_EQ(reelA.Save(Path("REELA.aut")), 1);
    CAutomationPackage reelB;
    Fill(reelB, {Ev(0, 2, kLevel, 70)});  // path 2 only
    FillPathData(reelB, kReelBTag, 3);
    ASSERT_EQ(reelB.SaveToBlockFile(Path("REELB.aut")), 1);

    // A takes paths 0 and 2, then B takes path 2.
    std::string edl = Path("cut.edl");
    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}},
                   {"REELB", {0, 0, 4, 0}, {0, 0, 30, 0}, {0, 0, 32, 0}}});
    CAutomationPackage mix;
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kReelATag, kMixTag, kReelBTag});

    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}},
                   {"...", {0, 0, 0, 0}, {0, 0, 30, 0}, {0, 0, 32, 0}}});
    // The mix's own automation ("...") sets every path from its start: all take its records
    // back.
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kMixTag, kMixTag, kMixTag});

    // An edit that fails after one that applied leaves every record as it was.
    WriteEDL(edl, {{"REELA", {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}},
                   {"NOREEL", {0, 0, 4, 0}, {0, 0, 30, 0}, {0, 0, 32, 0}}});
    MakeThreePathMix(mix);
    ASSERT_EQ(DoConform(&mix, edl), CONFORM_APPLY);
    ExpectPathTags(mix, {kMixTag, kMixTag, kMixTag});

    // The single-edit styles work on the mix itself: its data stays as it was.
    CSourceDestItem source, destination;
    source.m_In = 0;
    source.m_Out = 50;
    destination.m_In = 500;
    destination.m_Out = 550;
    ASSERT_EQ(MoveConformLogicStyle(&mix, &source, &destination), CONFORM_SUCCESS);
    ExpectPathTags(mix, {kMixTag, kMixTag, kMixTag});
    ExpectSharedParts(mix, kMixTag, 3);
}

// Every part that the stored forms carry is equal in the two packages.
void ExpectSamePackage(const CAutomationPackage& a, const CAutomationPackage& b) {
    EXPECT_EQ(Rows(a), Rows(b));
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));  // flags and old values too
    EXPECT_EQ(a.m_AutomationSize, b.m_AutomationSize);
    for (int s = 0; s < 2; ++s) {
        for (int g = 0; g < 8; ++g) {
            EXPECT_EQ(a.m_CtlGroups[s][g], b.m_CtlGroups[s][g]) << s << g;
            EXPECT_EQ(a.m_RteGroups[s][g], b.m_RteGroups[s][g]) << s << g;
        }
    }
    EXPECT_EQ(a.m_CtrlParms, b.m_CtrlParms);
    EXPECT_EQ(a.m_RteParms, b.m_RteParms);
    EXPECT_EQ(a.m_PathMap.values, b.m_PathMap.values);
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(a.m_VectorData[v], b.m_VectorData[v]) << v;
    }
    EXPECT_EQ(a.m_LinkMap, b.m_LinkMap);
    EXPECT_EQ(a.m_GangMap, b.m_GangMap);
    EXPECT_EQ(a.m_CutAB, b.m_CutAB);
    EXPECT_EQ(a.m_nFrameRate, b.m_nFrameRate);
    EXPECT_EQ(a.m_nConsoleType, b.m_nConsoleType);
    EXPECT_EQ(a.m_nMixPass[0], b.m_nMixPass[0]);
    EXPECT_EQ(a.m_nMixPass[1], b.m_nMixPass[1]);
}

// A console program that names its parameter groups and prefixes its other parts its own way,
// and leaves the last group of the second set unused (without a name).
void NameLikeTheDesk(CAutomationPackage& p) {
    for (int g = 0; g < CAutomationPackage::kGroupCount; ++g) {
        const std::string n = std::to_string(g + 1);
        p.m_CtlGroups[0][g].m_Name = p.m_RteGroups[0][g].m_Name = "Desk" + n;
        p.m_CtlGroups[1][g].m_Name = p.m_RteGroups[1][g].m_Name = "DeskB" + n;
    }
    p.m_CtlGroups[1][7].m_Name.clear();
    p.m_RteGroups[1][7].m_Name.clear();
    p.m_CtrlParmsPrefix = p.m_RteParmsPrefix = p.m_PathMapPrefix = p.m_LinkMapPrefix =
        p.m_GangMapPrefix = "Desk";
    for (int i = 0; i < 3; ++i) {
        p.m_VectorDataPrefix[i] = "Desk" + std::to_string(i + 1);
    }
}

TEST_F(ConformTest, CompoundAndBlockReelsOfOneContentGiveTheSamePackage) {
    // The reel is written by the same program as the mix, so under the mix's names.
    CAutomationPackage reel;
    NameLikeTheDesk(reel);
    MakeReelA(reel);
    ASSERT_EQ(reel.Save(Path("COMPOUND.aut")), 1);
    ASSERT_EQ(reel.SaveToBlockFile(Path("BLOCKS.aut")), 1);

    auto conform = [&](CAutomationPackage& mix, const std::string& reelName) {
        NameLikeTheDesk(mix);
        MakeThreePathMix(mix);
        std::string edl = Path(reelName + ".edl");
        WriteEDL(edl, {{reelName, {0, 0, 4, 0}, {0, 0, 20, 0}, {0, 0, 22, 0}}});
        ASSERT_EQ(DoConform(&mix, edl), CONFORM_SUCCESS);
    };
    CAutomationPackage fromCompound, fromBlocks;
    conform(fromCompound, "COMPOUND");
    conform(fromBlocks, "BLOCKS");
    ExpectSamePackage(fromCompound, fromBlocks);
    // Paths 0 and 2 are taken; the unused group keeps the mix's records.
    auto tagOf = [](const std::vector<uint8_t>& records, size_t size, size_t path) {
        return records.at(path * size + 2);
    };
    for (size_t path : {0, 2}) {
        EXPECT_EQ(tagOf(fromCompound.m_CtlGroups[0][0].m_Data, 124, path), kReelATag);
        EXPECT_EQ(tagOf(fromCompound.m_RteGroups[1][6].m_Data, 20, path), kReelATag);
        EXPECT_EQ(tagOf(fromCompound.m_CtrlParms, 124, path), kReelATag);
        EXPECT_EQ(fromCompound.m_VectorData[2][path], kReelATag * 100 + 20 + path);
        EXPECT_EQ(tagOf(fromCompound.m_CtlGroups[1][7].m_Data, 124, path), kMixTag);
        EXPECT_EQ(tagOf(fromCompound.m_RteGroups[1][7].m_Data, 20, path), kMixTag);
    }
    EXPECT_EQ(tagOf(fromCompound.m_CtlGroups[0][0].m_Data, 124, 1), kMixTag);
}

class PackageTest : public objectkit::test::TempDirTest {
  protected:
    static void MakePackage(CAutomationPackage& p) {
        Fill(p, {Ev(0, 0, kLevel, 1), Ev(8, 255, kMute, 2)});
        p[1].flags = 9;
        p[1].oldValue = 77;
        p.m_AutomationSize = {18, 4, 5};
        p.m_CtlGroups[0][0].m_Data = std::vector<uint8_t>(124 * 2, 0xC1);
        p.m_CtlGroups[1][7].m_Data = std::vector<uint8_t>(124, 0xC2);
        p.m_RteGroups[0][3].m_Data = std::vector<uint8_t>(20 * 3, 0xD1);
        p.m_CtrlParms = std::vector<uint8_t>(124, 0x11);
        p.m_RteParms = std::vector<uint8_t>(40, 0x22);
        p.m_PathMap.AddSection(0, 48);
        p.m_PathMap.AddSection(48, 8);
        p.m_VectorData[2] = {7, 8, 9};
        p.m_LinkMap = {1, -1};
        p.m_GangMap = {3};
        p.m_CutAB = {128, 129};
        p.m_nFrameRate = 25;
        p.m_nConsoleType = 3;
        p.m_nMixPass[0] = 4;
        p.m_nMixPass[1] = 2;
    }
};

TEST_F(PackageTest, BothStoredFormsCarryEveryPart) {
    CAutomationPackage p;
    MakePackage(p);
    ASSERT_EQ(p.Save(Path("mix.aut")), 1);
    ASSERT_EQ(p.SaveToBlockFile(Path("mix.atx")), 1);
    for (const char* name : {"mix.aut", "mix.atx"}) {
        CAutomationPackage q;
        ASSERT_EQ(q.Load(Path(name)), 1) << name;
        ExpectSamePackage(p, q);
        EXPECT_EQ(q.PathCount(), 256);
        EXPECT_EQ(q.m_FileName, Path(name));
    }
    const std::string cmd = "/usr/bin/python3 -c 'import olefile; o=olefile.OleFileIO(\"" +
                            Path("mix.aut") +
                            "\"); print(\",\".join(sorted(\"/\".join(e) for e in o.listdir())))'";
    std::string out;
    if (FILE* pipe = popen(cmd.c_str(), "r")) {
        char buf[1024];
        while (fgets(buf, sizeof buf, pipe)) {
            out += buf;
        }
        pclose(pipe);
    }
    EXPECT_EQ(out,
              "AutomationData,AutomationSize,ConsoleType,CutAB,File Version,FrameRate,"
              "Grp1CtlData,Grp4RteData,GrpB8CtlData,Mix Pass,Path Mode,Time And Date,"
              "Vantor1VectorData,Vantor2VectorData,Vantor3VectorData,VantorCCtrlParms,"
              "VantorCRteParms,VantorGangMap,VantorLinkMap,VantorPathMap\n");

    p.Clear();
    EXPECT_EQ(p.GetSize(), 0);
    EXPECT_EQ(p.m_nMixPass[0], -1);
    EXPECT_EQ(p.m_nFrameRate, -1);
    EXPECT_TRUE(p.m_CtlGroups[0][0].m_Data.empty());
}

TEST_F(PackageTest, SavingWaitsForTheHolderOfThePackageLock) {
    CAutomationPackage p;
    MakePackage(p);
    std::unique_lock held(p.Lock());
    auto saving = std::async(std::launch::async, [&] { return p.Save(Path("locked.aut")); });
    EXPECT_EQ(saving.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    held.unlock();
    EXPECT_EQ(saving.get(), 1);
}

TEST_F(PackageTest, BlockFilesOfTheOtherPathLayoutAreRefused) {
    CAutomationPackage p;
    MakePackage(p);
    p.m_AutomationSize[0] = 25;  // written on a 500-path system
    ASSERT_EQ(p.SaveToBlockFile(Path("wide.atx")), 1);
    CAutomationPackage q;
    EXPECT_EQ(q.Load(Path("wide.atx")), 0);
    EXPECT_EQ(q.GetSize(), 0);

    // A block file without the optional parts loads with those parts empty.
    CAutomationBlockFile bare;
    bare.SetChunkPause(std::chrono::microseconds(0));
    ASSERT_TRUE(bare.Open(Path("bare.atx")));
    uint8_t record[16] = {kFader, kLevel, 0x34, 0x12, 5, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(bare.WriteBlock(CAutomationPackage::BlockEvents, record, 16));
    ASSERT_TRUE(bare.Close());
    ASSERT_EQ(q.Load(Path("bare.atx")), 1);
    ASSERT_EQ(q.GetSize(), 1);
    EXPECT_EQ(q[0], Ev(40, 5, kLevel, 0x1234));
    EXPECT_TRUE(q.m_CtrlParms.empty());
    EXPECT_EQ(q.Load(Path("nothing.atx")), 0);
}

}  // namespace
