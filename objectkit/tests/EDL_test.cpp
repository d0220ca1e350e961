#include <objectkit/EDL.h>

#include <tuple>

#include "FileTestSupport.h"
#include "LittleEndian.h"

namespace {

using objectkit::TimecodeRate;

struct ChannelCase {
    int format;
    const char* field;
    bool valid;
    bool video;
    uint32_t audio;
};

TEST(EDLChannelField, EachFormatReadsItsOwnChannelNotation) {
    const ChannelCase cases[] = {
        {EDL_CMX3400, "A12", true, false, 0x3},    {EDL_CMX3400, "AUD", true, false, 0},
        {EDL_CMX3400, "B/V", true, true, 0},       {EDL_GVG, "A1234", true, false, 0xF},
        {EDL_GVG, "A9", false, false, 0},          {EDL_CMX340, "AA/V", true, true, 0x3},
        {EDL_CMX340, "A2", true, false, 0x2},      {EDL_CMX340, "A", true, false, 0x1},
        {EDL_CMX340, "A12", false, false, 0x1},    {EDL_KTL, "B", true, true, 0x1},
        {EDL_KTL, "NONE", true, false, 0},         {EDL_KTL, "AUD3", true, false, 0x4},
        {EDL_KTL, "VA4", true, true, 0x9},         {EDL_SONY_BVE9000, "A34", true, false, 0xC},
        {EDL_SONY_BVE9000, "A5", false, false, 0}, {EDL_AVID, "V", true, true, 0},
        {EDL_UNKNOWN, "none", true, false, 0},     {EDL_GENERIC, "A1", false, false, 0},
    };
    for (const auto& c : cases) {
        CEDLEvent event;
        EXPECT_EQ(CEDLReader::ParseChannelField(c.field, c.format, event), c.valid)
            << EDLFormatName(c.format) << " " << c.field;
        if (c.valid) {
            EXPECT_EQ(event.m_bVideo, c.video) << EDLFormatName(c.format) << " " << c.field;
            EXPECT_EQ(event.m_AudioChannels, c.audio) << EDLFormatName(c.format) << " " << c.field;
        }
    }
    for (int format = 0; format < 8; ++format) {
        CEDLEvent event;
        EXPECT_FALSE(CEDLReader::ParseChannelField("X", format, event)) << EDLFormatName(format);
    }
}

TEST(EDLEventLine, WordsAreTakenFromBothEndsOfTheLine) {
    CEDLEvent event;
    CTimecode src, recIn, recOut;
    bool drop = false;
    ASSERT_TRUE(CEDLReader::ParseEventLine(
        "007  REEL_B   AA/V  D    030 02:10:00:00 02:10:05:00 01:00:10:00 01:00:15:00", EDL_CMX340,
        event, src, recIn, recOut, drop));
    EXPECT_EQ(event.m_nEventNumber, 7);
    EXPECT_EQ(event.m_Reel, "REEL_B");
    EXPECT_EQ(event.m_EditType, EDL_EDIT_DISSOLVE);
    EXPECT_TRUE(event.m_bVideo);
    EXPECT_EQ(event.m_AudioChannels, 0x3u);
    EXPECT_EQ(src, (CTimecode{2, 10, 0, 0}));
    EXPECT_EQ(recIn, (CTimecode{1, 0, 10, 0}));
    EXPECT_EQ(recOut, (CTimecode{1, 0, 15, 0}));
    EXPECT_FALSE(drop);

    // A trailing audio 3/4 word joins the channel field; "*" marks are dropped.
    ASSERT_TRUE(CEDLReader::ParseEventLine(
        "*012 TAPE9 V K 01:00:00:00 01:00:01:00 01:00:00:00 01:00:01:00 A3", EDL_KTL, event, src,
        recIn, recOut, drop));
    EXPECT_EQ(event.m_nEventNumber, 12);
    EXPECT_EQ(event.m_EditType, EDL_EDIT_KEY);
    EXPECT_TRUE(event.m_bVideo);
    EXPECT_EQ(event.m_AudioChannels, 0x5u);  // "VA3": the remaining A is audio 1, then 3

    // Lines with four colons or fewer, and lines with an invalid channel field, are no events.
    EXPECT_FALSE(CEDLReader::ParseEventLine("TITLE: 12:00:00:00", EDL_CMX3400, event, src, recIn,
                                            recOut, drop));
    EXPECT_FALSE(
        CEDLReader::ParseEventLine("001 R X C 01:00:00:00 01:00:01:00 01:00:00:00 01:00:01:00",
                                   EDL_CMX3400, event, src, recIn, recOut, drop));
    EXPECT_FALSE(
        CEDLReader::ParseEventLine("::::: :", EDL_CMX3400, event, src, recIn, recOut, drop));
}

TEST(EDLEventLine, SemicolonTimecodeSwitchesToDropFrame) {
    CEDLEvent event;
    CTimecode src, recIn, recOut;
    bool drop = false;
    ASSERT_TRUE(
        CEDLReader::ParseEventLine("001 AX V C 00:59:00:00 00:59:02:00 01:00:00;00 01:00:02;00",
                                   EDL_CMX3400, event, src, recIn, recOut, drop));
    EXPECT_TRUE(drop);
    EXPECT_EQ(recIn, (CTimecode{1, 0, 0, 0}));
    bool stays = false;
    ASSERT_TRUE(
        CEDLReader::ParseEventLine("002 AX V C 00:59:00:00 00:59:02:00 01:00:00:00 01:00:02:00",
                                   EDL_CMX3400, event, src, recIn, recOut, stays));
    EXPECT_FALSE(stays);
    bool kept = true;
    ASSERT_TRUE(
        CEDLReader::ParseEventLine("002 AX V C 00:59:00:00 00:59:02:00 01:00:00:00 01:00:02:00",
                                   EDL_CMX3400, event, src, recIn, recOut, kept));
    EXPECT_TRUE(kept);  // colons leave the mode as it was

    CTimecode tc{5, 5, 5, 5};
    bool d = false;
    CEDLReader::ParseTimecode("12", tc, d);
    EXPECT_EQ(tc.hours, -1);
    EXPECT_EQ(tc.frames, 5);
    tc = {};
    CEDLReader::ParseTimecode("10.20,03", tc, d);  // three parts: no hours
    EXPECT_EQ(tc, (CTimecode{0, 10, 20, 3}));
    EXPECT_TRUE(d);
}

TEST(Timecode, FramesAtEachRateWithDropFrameAndDayWrap) {
    const CTimecode oneHour{1, 0, 0, 0};
    EXPECT_EQ(objectkit::TimecodeToFrames(oneHour, TimecodeRate::Fps24), 86400);
    EXPECT_EQ(objectkit::TimecodeToFrames(oneHour, TimecodeRate::Fps25), 90000);
    EXPECT_EQ(objectkit::TimecodeToFrames(oneHour, TimecodeRate::Fps30), 108000);
    EXPECT_EQ(objectkit::TimecodeToFrames(oneHour, TimecodeRate::Fps2997NonDrop), 108000);
    EXPECT_EQ(objectkit::TimecodeToFrames(oneHour, TimecodeRate::Fps2997Drop), 107892);
    EXPECT_EQ(objectkit::TimecodeToFrames({0, 1, 0, 2}, TimecodeRate::Fps2997Drop), 1800);
    EXPECT_EQ(objectkit::TimecodeToFrames({0, 10, 0, 0}, TimecodeRate::Fps2997Drop), 17982);
    EXPECT_EQ(objectkit::TimecodeToFrames({24, 0, 0, 0}, TimecodeRate::Fps25), 0);
    EXPECT_EQ(objectkit::TimecodeToFrames({25, 0, 0, 10}, TimecodeRate::Fps24), 86410);
    EXPECT_EQ(objectkit::TimecodeToFrames({-1, 0, 0, 0}, TimecodeRate::Fps25), -1);
    EXPECT_EQ(objectkit::WrapFrames(-10, TimecodeRate::Fps25), 2160000 - 10);
    EXPECT_EQ(objectkit::WrapFrames(-10, TimecodeRate::Fps2997Drop), 2589408 - 10);
    for (int32_t f : {0, 1, 1799, 1800, 1801, 17981, 17982, 17983, 107891, 2589407}) {
        auto tc = objectkit::FramesToTimecode(f, TimecodeRate::Fps2997Drop);
        EXPECT_EQ(objectkit::TimecodeToFrames(tc, TimecodeRate::Fps2997Drop), f)
            << objectkit::FormatTimecode(tc, true);
    }
    EXPECT_EQ(objectkit::FramesToTimecode(1800, TimecodeRate::Fps2997Drop),
              (CTimecode{0, 1, 0, 2}));
    EXPECT_EQ(objectkit::UnpackTimecode(objectkit::PackTimecode({23, 59, 58, 24})),
              (CTimecode{23, 59, 58, 24}));
    EXPECT_EQ(objectkit::EffectiveRate(TimecodeRate::Fps2997NonDrop, true),
              TimecodeRate::Fps2997Drop);
    EXPECT_EQ(objectkit::EffectiveRate(TimecodeRate::Fps25, true), TimecodeRate::Fps25);
}

class EDLFileTest : public objectkit::test::TempDirTest {
  protected:
    std::vector<std::tuple<CEDLEvent, CTimecode, CTimecode, CTimecode>> ReadAll(
        const std::string& path, int format, bool* drop = nullptr) {
        CEDLReader reader(path, format);
        std::vector<std::tuple<CEDLEvent, CTimecode, CTimecode, CTimecode>> events;
        CEDLEvent e;
        CTimecode a, b, c;
        while (reader.ReadEvent(e, a, b, c)) {
            events.emplace_back(e, a, b, c);
            if (events.size() > 1000) {
                ADD_FAILURE() << "reader does not stop";
                break;
            }
        }
        EXPECT_TRUE(reader.IsEOF());
        EXPECT_FALSE(reader.ReadEvent(e, a, b, c));  // stays at the end
        if (drop) {
            *drop = reader.IsDropFrame();
        }
        return events;
    }
};

TEST_F(EDLFileTest, ReadsARealisticCmxListWithDissolvesAndComments) {
    const std::string path = Path("reel1.edl");
    WriteText(path,
              "TITLE: EPISODE 104 REEL 1\n"
              "FCM: NON-DROP FRAME\n"
              "\n"
              "001  AX       V     C        01:00:00:00 01:00:04:00 01:00:00:00 01:00:04:00\n"
              "* FROM CLIP NAME:  SC12_TK3.MOV\n"
              "002  AX       AA/V  C        05:12:10:00 05:12:10:00 01:00:04:00 01:00:04:00\n"
              "002  B003     AA/V  D    025 07:01:00:00 07:01:06:00 01:00:04:00 01:00:10:00\n"
              "M2   B003       050.0                07:01:00:00\n"
              "003  BL       V     C        00:00:00:00 00:00:01:00 01:00:10:00 01:00:11:00\r\n"
              "004  A012     A12   C        12:00:00:00 12:00:02:12 01:00:11:00 01:00:13:12\n"
              "005  A012     X     C        12:00:00:00 12:00:02:12 01:00:13:12 01:00:14:00\n");
    auto events = ReadAll(path, EDL_CMX3400);
    ASSERT_EQ(events.size(), 5u);  // event 005 has an invalid channel field
    EXPECT_EQ(std::get<0>(events[0]).m_Reel, "AX");
    EXPECT_EQ(std::get<0>(events[2]).m_EditType, EDL_EDIT_DISSOLVE);
    EXPECT_EQ(std::get<0>(events[2]).m_nEventNumber, 2);
    EXPECT_EQ(std::get<1>(events[2]), (CTimecode{7, 1, 0, 0}));
    EXPECT_EQ(std::get<3>(events[2]), (CTimecode{1, 0, 10, 0}));
    EXPECT_EQ(std::get<0>(events[3]).m_Reel, "BL");
    EXPECT_EQ(std::get<0>(events[4]).m_AudioChannels, 0x3u);
    EXPECT_EQ(std::get<3>(events[4]), (CTimecode{1, 0, 13, 12}));
}

TEST_F(EDLFileTest, ReadsGvgListsEndingLinesWithCarriageReturns) {
    const std::string path = Path("gvg.edl");
    WriteText(path,
              "TITLE: GVG 4.1 LIST\r"
              "001  VT1  B   C   00:10:00;00 00:10:05;00 01:00:00;00 01:00:05;00\r"
              "002  VT2  A2  C   00:20:00;00 00:20:03;00 01:00:05;00 01:00:08;00\r\n"
              "003  VT3  V   C   00:30:00;00 00:30:01;00 01:00:08;00 01:00:09;00");
    bool drop = false;
    auto events = ReadAll(path, EDL_GVG, &drop);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_TRUE(drop);
    EXPECT_EQ(std::get<0>(events[1]).m_AudioChannels, 0x2u);
    EXPECT_EQ(std::get<0>(events[2]).m_Reel, "VT3");
    EXPECT_EQ(std::get<3>(events[2]), (CTimecode{1, 0, 9, 0}));

    // Read as another format the same file is one long line with too many words.
    EXPECT_LE(ReadAll(path, EDL_CMX3400).size(), 1u);
}

TEST_F(EDLFileTest, ReadsASonyList) {
    const std::string path = Path("sony.edl");
    WriteText(path,
              "TITLE: PROMO\n"
              "0001 ROLL01 A34 C 10:00:00:00 10:00:10:00 00:59:50:00 01:00:00:00\n"
              "0002 ROLL02 VA1 C 11:00:00:00 11:00:10:00 01:00:00:00 01:00:10:00\n");
    auto events = ReadAll(path, EDL_SONY_BVE9000);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<0>(events[0]).m_AudioChannels, 0xCu);
    EXPECT_TRUE(std::get<0>(events[1]).m_bVideo);
    EXPECT_EQ(std::get<0>(events[1]).m_AudioChannels, 0x1u);
}

TEST_F(EDLFileTest, LongLinesAreReadWholeAndOverlongOnesStopTheList) {
    // An event line carrying a megabyte of notes between its fields: the record out is its
    // last word, not whatever word a cut would end on.
    std::string notes;
    while (notes.size() < (1u << 20)) {
        notes += "NOTE 01:00 ";
    }
    const std::string longReel(5000, 'R');
    const std::string path = Path("long.edl");
    WriteText(path, "001 AX V C " + notes + "01:00:00:00 01:00:04:00 01:00:00:00 01:00:04:00\n" +
                        "002 " + longReel +
                        " V C 02:00:00:00 02:00:01:00 01:00:04:00 01:00:05:00\n");
    auto events = ReadAll(path, EDL_CMX3400);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<0>(events[0]).m_Reel, "AX");
    EXPECT_EQ(std::get<1>(events[0]), (CTimecode{1, 0, 0, 0}));
    EXPECT_EQ(std::get<3>(events[0]), (CTimecode{1, 0, 4, 0}));
    EXPECT_EQ(std::get<0>(events[1]).m_Reel, longReel);
    EXPECT_EQ(std::get<1>(events[1]), (CTimecode{2, 0, 0, 0}));

    // A line too long to hold is not read at all, not even its valid-looking start: the
    // reader stops there and says the list has a line it could not read.
    const std::string event = "001 AX V C 01:00:00:00 01:00:04:00 01:00:00:00 01:00:04:00 ";
    WriteText(path, event + std::string(CEDLReader::kMaxLineLength, ' ') + "01:00:05:00\n" +
                        "002 AX V C 01:00:04:00 01:00:05:00 01:00:04:00 01:00:05:00\n");
    CEDLReader reader(path, EDL_CMX3400);
    CEDLEvent e;
    CTimecode a, b, c;
    EXPECT_FALSE(reader.ReadEvent(e, a, b, c));
    EXPECT_TRUE(reader.IsEOF());
    EXPECT_TRUE(reader.HasUnreadableLine());
    // Whole lines of exactly the limit are read.
    WriteText(path, event + std::string(CEDLReader::kMaxLineLength - event.size(), ' ') + "\n");
    CEDLReader whole(path, EDL_CMX3400);
    EXPECT_TRUE(whole.ReadEvent(e, a, b, c));
    EXPECT_FALSE(whole.HasUnreadableLine());
}

TEST_F(EDLFileTest, BinaryListsRoundTripAndStopAtDamage) {
    const std::string path = Path("temp.edl");
    CEDLWriter writer;
    CEDLHeader header;
    header.m_Values[EDLHeaderVersion] = 1;
    ASSERT_TRUE(writer.Open(path, header));
    CEDLEvent first;
    first.m_EditType = EDL_EDIT_CUT;
    first.m_bVideo = true;
    first.m_AudioChannels = 0x3;
    first.m_Reel = "REEL7";
    first.m_Clip = "clip";
    CEDLEvent second = first;
    second.m_Reel.clear();
    second.m_nLink = 4;
    ASSERT_TRUE(writer.WriteEvent(first, {10, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 4, 0}));
    ASSERT_TRUE(writer.WriteEvent(second, {11, 0, 0, 0}, {1, 0, 4, 0}, {1, 0, 9, 0}));
    ASSERT_TRUE(writer.Close());

    {
        CEDLReader reader(path, EDL_GENERIC);
        EXPECT_TRUE(reader.HeaderValid());
        EXPECT_EQ(reader.Header().m_Values[EDLHeaderEventCount], 2);
    }
    auto events = ReadAll(path, EDL_GENERIC);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<0>(events[0]), first);
    EXPECT_EQ(std::get<0>(events[1]).m_Reel, "...");  // a reel of length 0
    EXPECT_EQ(std::get<0>(events[1]).m_nLink, 4);
    EXPECT_EQ(std::get<2>(events[1]), (CTimecode{1, 0, 4, 0}));

    // Cut inside the second record: one event, then the end.
    auto bytes = ReadFile(path);
    auto cut = bytes;
    cut.resize(cut.size() - 3);
    WriteFile(path, cut);
    EXPECT_EQ(ReadAll(path, EDL_GENERIC).size(), 1u);
    // A hostile string length ends the list instead of allocating.
    auto hostile = bytes;
    PutU32(hostile, 42 + 21, 0xFFFFFFF0);
    WriteFile(path, hostile);
    EXPECT_EQ(ReadAll(path, EDL_GENERIC).size(), 0u);
    // A text file read as binary has no header and no events.
    WriteText(path, "001 AX V C 01:00:00:00 01:00:04:00 01:00:00:00 01:00:04:00\n");
    EXPECT_EQ(ReadAll(path, EDL_GENERIC).size(), 0u);
}

TEST_F(EDLFileTest, OldBinaryFormCarriesAnExtraStringAndNoTrailingValue) {
    std::vector<uint8_t> bytes;
    objectkit::le::Writer w{bytes};
    w.Bytes("KTL HEADER", 10);
    for (int i = 0; i < 8; ++i) {
        w.U32(0);
    }
    w.U32(objectkit::PackTimecode({2, 0, 0, 0}));
    w.U32(objectkit::PackTimecode({1, 0, 0, 0}));
    w.U32(objectkit::PackTimecode({1, 0, 1, 0}));
    w.U32(0x0101);  // only the low byte is the edit type
    w.U8(1);
    w.U32(0x1);
    w.String("dropped");
    w.String("");
    w.String("second");
    const std::string path = Path("old.edl");
    WriteFile(path, bytes);
    auto events = ReadAll(path, EDL_GENERIC);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<0>(events[0]).m_Reel, "...");
    EXPECT_EQ(std::get<0>(events[0]).m_Clip, "second");
    EXPECT_EQ(std::get<0>(events[0]).m_EditType, 1);
    EXPECT_EQ(std::get<0>(events[0]).m_nLink, -1);
}

TEST_F(EDLFileTest, MissingFilesRaiseTheFileException) {
    const std::string missing = Path("nothing.edl");
    EXPECT_THROW(CEDLReader(missing, EDL_CMX3400), CFileException);
    CEDLItemList list;
    try {
        GetCutListItems(missing, list);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.m_strFileName, missing);
    }
    std::vector<CSourceDestItem> items;
    EXPECT_THROW(GetSourceDestItems(missing, items, false), CFileException);
    EXPECT_THROW(GetCutListItems(dir_.string(), list), CFileException);  // a directory
}

TEST_F(EDLFileTest, SourceDestItemsComeInPairsInFramesOrTimecodes) {
    const std::string path = Path("pairs.edl");
    CEDLWriter writer;
    ASSERT_TRUE(writer.Open(path, {}));
    CEDLEvent e;
    e.m_Reel = "A";
    ASSERT_TRUE(writer.WriteEvent(e, {0, 0, 10, 0}, {0, 0, 4, 0}, {0, 0, 6, 0}));
    ASSERT_TRUE(writer.WriteEvent(e, {0, 0, 0, 0}, {23, 59, 59, 0}, {0, 0, 1, 0}));
    ASSERT_TRUE(writer.Close());

    std::vector<CSourceDestItem> items;
    GetSourceDestItems(path, items, false);  // 25 fps without console settings
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].m_nType, 0);
    EXPECT_EQ(items[1].m_nType, 1);
    EXPECT_EQ(items[0].m_In, 250);
    EXPECT_EQ(items[0].m_Out, 300);
    EXPECT_EQ(items[1].m_In, 100);
    EXPECT_EQ(items[1].m_Out, 150);
    ASSERT_NE(items[0].m_pEvent, nullptr);
    EXPECT_EQ(items[0].m_pEvent->m_Reel, "A");
    // A record range across midnight keeps its length of two seconds.
    EXPECT_EQ(items[3].m_Out - items[3].m_In, 50);
    EXPECT_EQ(items[2].m_Out, 50);

    CSourceDestItem copy = items[0];
    EXPECT_NE(copy.m_pEvent.get(), items[0].m_pEvent.get());
    EXPECT_EQ(*copy.m_pEvent, *items[0].m_pEvent);

    items.clear();
    GetSourceDestItems(path, items, true);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(static_cast<uint32_t>(items[0].m_In), objectkit::PackTimecode({0, 0, 10, 0}));
    EXPECT_EQ(static_cast<uint32_t>(items[0].m_Out), objectkit::PackTimecode({0, 0, 12, 0}));
    EXPECT_EQ(static_cast<uint32_t>(items[3].m_Out), objectkit::PackTimecode({0, 0, 1, 0}));
}

TEST_F(EDLFileTest, TheConsolesTimecodeRateDecidesTheFrames) {
    if (!HaveRegistry()) {
        GTEST_SKIP() << "no registry in this build";
    }
    const char* key = "Software\\KESTANE\\Kestane Vantor\\Timecode";
    const std::string path = Path("rate.edl");
    CEDLWriter writer;
    ASSERT_TRUE(writer.Open(path, {}));
    ASSERT_TRUE(writer.WriteEvent({}, {0, 10, 0, 0}, {1, 0, 0, 0}, {1, 0, 1, 0}));
    ASSERT_TRUE(writer.Close());
    struct Case {
        const char* name;
        uint32_t value;
        int32_t sourceIn;
        int32_t length;
    };
    const Case cases[] = {
        {"VantorTimcodeRate", 0, 14400, 24},  // 24 fps
        {"VantorTimcodeRate", 1, 15000, 25},
        {"VantorTimcodeRate", 2, 17982, 30},  // 29.97 drop frame: ten minutes are 17,982
        {"VantorTimcodeRate", 3, 18000, 30},
        {"VantorTimcodeRate", 4, 18000, 30},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetMachineDword(key, c.name, c.value));
        std::vector<CSourceDestItem> items;
        GetSourceDestItems(path, items, false);
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].m_In, c.sourceIn) << c.value;
        EXPECT_EQ(items[1].m_Out - items[1].m_In, c.length) << c.value;
    }
    // Without the rate code the frames-per-second value decides.
    ASSERT_TRUE(SetMachineDword(key, "VantorTimcodeRate", 99));
    ASSERT_TRUE(SetMachineDword(key, "VantorTimecodeCurrentFramesPerSec", 24));
    EXPECT_EQ(objectkit::ReadConsoleTimecodeRate(), TimecodeRate::Fps24);
}

class CutListTest : public objectkit::test::TempDirTest {
  protected:
    struct Entry {
        int32_t type;
        CTimecode start;
        CTimecode length;
        int32_t link;
        const char* reel;
    };
    static std::vector<uint8_t> CutListFile(const std::vector<Entry>& entries, uint32_t count) {
        std::vector<uint8_t> bytes;
        objectkit::le::Writer w{bytes};
        w.Bytes("KTL_CUTLIST_FILE", 16);
        w.U32(1);
        w.U32(1);
        w.U32(count);
        for (const auto& e : entries) {
            w.U32(static_cast<uint32_t>(e.type));
            w.U32(objectkit::PackTimecode(e.start));
            w.U32(objectkit::PackTimecode(e.length));
            w.U32(static_cast<uint32_t>(e.link));
            char reel[16] = {};  // the field is filled with zeros after the name
            std::memcpy(reel, e.reel, std::min<size_t>(std::strlen(e.reel), sizeof reel));
            w.Bytes(reel, 16);
        }
        return bytes;
    }
};

TEST_F(CutListTest, CutListFilesBecomeGapsAndEditsInOrder) {
    // At 25 fps: the first edit at 00:00:04:00 = frame 100.
    const std::vector<Entry> entries = {
        {1, {0, 0, 4, 0}, {0, 0, 2, 0}, 0, "R1"},   // 100..150
        {2, {0, 0, 6, 0}, {0, 0, 1, 5}, 0, "R2"},   // 150..180
        {7, {0, 0, 8, 0}, {0, 0, 0, 10}, 0, "R3"},  // gap 20, then 200..210
        {42, {0, 0, 9, 0}, {0, 0, 0, 5}, 0, "??"},  // gap 15; unknown type: no item, time passes
        {5, {0, 0, 9, 0}, {0, 0, 0, 5}, 0, "R5"},   // starts before the position: no gap
    };
    const std::string path = Path("mix.cut");
    WriteFile(path, CutListFile(entries, 5));
    CEDLItemList list;
    GetCutListItems(path, list);
    struct Want {
        int kind, start, length;
    };
    const Want want[] = {{0, 0, 100},  {1, 100, 50}, {2, 150, 30}, {0, 180, 20},
                         {2, 200, 10}, {0, 210, 15}, {1, 230, 5}};
    ASSERT_EQ(list.GetSize(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(list[i].m_nKind, want[i].kind) << i;
        EXPECT_EQ(list[i].m_nStart, want[i].start) << i;
        EXPECT_EQ(list[i].m_nLength, want[i].length) << i;
    }
    EXPECT_EQ(list[1].m_Reel, "R1");

    // Entries that run short of the stated count give no items at all; so does a huge count.
    for (uint32_t count : {6u, 0xFFFFFFFFu}) {
        WriteFile(path, CutListFile(entries, count));
        CEDLItemList none;
        GetCutListItems(path, none);
        EXPECT_EQ(none.GetSize(), 0) << count;
    }
    // Items are appended to what the list holds.
    WriteFile(path, CutListFile(entries, 1));
    GetCutListItems(path, list);
    EXPECT_EQ(list.GetSize(), 9);
}

TEST_F(CutListTest, TextListsAreReadInTextOrEdlModeByName) {
    const std::string text =
        "TITLE: DISSOLVES\n"
        "001 A V C 01:00:00:00 01:00:02:00 00:00:04:00 00:00:06:00\n"
        "002 A V C 01:00:02:00 01:00:02:00 00:00:06:00 00:00:06:00\n"
        "002 B V D 025 02:00:00:00 02:00:03:00 00:00:06:00 00:00:09:00\n";
    // ".TXT" in any case is text mode: the dissolve's halves are types 8 and 9, linked.
    WriteText(Path("LIST.TXT"), text);
    CEDLItemList list;
    GetCutListItems(Path("LIST.TXT"), list);
    ASSERT_EQ(list.GetSize(), 4);
    EXPECT_EQ(list[0].m_nKind, CEDLItem::Gap);
    EXPECT_EQ(list[0].m_nLength, 100);
    EXPECT_EQ(list[2].m_nRawType, CUT_DISSOLVE_OUT);
    EXPECT_EQ(list[3].m_nRawType, CUT_DISSOLVE_IN);
    EXPECT_EQ(list[3].m_nKind, CEDLItem::SecondGroup);
    EXPECT_EQ(list[3].m_nLink, 2);
    EXPECT_EQ(list[3].m_nLength, 75);

    // Any other name is EDL mode: plain cut and dissolve types.
    WriteText(Path("list.edl"), text);
    CEDLItemList edl;
    GetCutListItems(Path("list.edl"), edl);
    ASSERT_EQ(edl.GetSize(), 4);
    EXPECT_EQ(edl[2].m_nRawType, CUT_EDIT);
    EXPECT_EQ(edl[3].m_nRawType, CUT_DISSOLVE);
    EXPECT_EQ(edl[3].m_nLink, -1);

    // A ".txt" whose channel fields only the EDL-mode reader accepts falls back to it.
    WriteText(Path("a12.txt"), "001 A A12 C 01:00:00:00 01:00:02:00 00:00:00:00 00:00:02:00\n");
    CEDLItemList fallback;
    GetCutListItems(Path("a12.txt"), fallback);
    ASSERT_EQ(fallback.GetSize(), 1);
    EXPECT_EQ(fallback[0].m_nLength, 50);

    // A list with a line too long to read gives no items rather than a list with a hole.
    WriteText(Path("overlong.txt"), text + "003 A V C " +
                                        std::string(CEDLReader::kMaxLineLength, 'x') +
                                        " 01:00:03:00 01:00:04:00 00:00:09:00 00:00:10:00\n");
    CEDLItemList rejected;
    GetCutListItems(Path("overlong.txt"), rejected);
    EXPECT_EQ(rejected.GetSize(), 0);

    // Neither mode finds anything: no items.
    WriteText(Path("empty.txt"), "nothing here\n");
    CEDLItemList none;
    GetCutListItems(Path("empty.txt"), none);
    EXPECT_EQ(none.GetSize(), 0);
}

TEST_F(CutListTest, WrittenCutListsReadBack) {
    std::vector<CCutListEntry> entries(2);
    entries[0].m_nRawType = CUT_EDIT;
    entries[0].m_nStart = 100;
    entries[0].m_nLength = 60;
    entries[0].m_Reel = "A_REEL_NAME_LONGER_THAN_16";
    entries[1].m_nRawType = CUT_DISSOLVE_IN;
    entries[1].m_nStart = 160;
    entries[1].m_nLength = 40000;
    entries[1].m_nLink = 1;
    const std::string path = Path("out.cut");
    ASSERT_TRUE(WriteCutListFile(path, entries));
    std::vector<CCutListEntry> back;
    ASSERT_TRUE(ReadCutListEntries(path, CutListMode::EDL, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].m_nStart, 100);
    EXPECT_EQ(back[0].m_nLength, 60);
    EXPECT_EQ(back[0].m_Reel, "A_REEL_NAME_LONG");
    EXPECT_EQ(back[1].m_nLength, 40000);
    EXPECT_EQ(back[1].m_nLink, 1);
}

}  // namespace
