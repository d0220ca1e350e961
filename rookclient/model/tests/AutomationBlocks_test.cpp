#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include <platform/registry.h>

#include "TempRegistry.h"
#include "rookclient/model/AutomationBlocks.h"
#include "rookclient/model/MixPassBlocks.h"

using namespace rookclient::model;

namespace {

CAutomationEvent Event(int32_t time, int32_t path, uint8_t module, uint8_t control,
                       uint16_t value) {
    CAutomationEvent e;
    e.timeStamp = time;
    e.path = path;
    e.module = module;
    e.control = control;
    e.value = value;
    return e;
}

std::vector<uint8_t> Slice(const CommsBlock& block, size_t offset, size_t length) {
    auto bytes = block.Bytes().subspan(offset, length);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(AutomationEventRecord, IsTheTwentyFourBytesTheServerReads) {
    CAutomationEventArray events;
    CAutomationEvent e = Event(400, 7, 3, 2, 0x1234);
    e.oldValue = 0x0100;
    e.flags = 1;
    events.Add(e);
    const CommsBlock block = automation_data::AddAutoEvents(events, 0x55);
    const std::vector<uint8_t> expected = {0x00, 0x00, 0x01, 0x00, 0x90, 0x01, 0x00, 0x00,
                                           0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,
                                           0x03, 0x02, 0x00, 0x01, 0x34, 0x12, 0x00, 0x00};
    EXPECT_EQ(Slice(block, 2136, 24), expected);
    EXPECT_EQ(block.Command(), 39u);
    EXPECT_EQ(block.ReplyWindow(), 0x55u);
    EXPECT_EQ(block.U32(2124), 1u);
}

TEST(AutomationData, AddAutoEventsSendsAtMostTwentyEventsInsideTheBlock) {
    CAutomationEventArray events;
    for (int i = 0; i < 25; ++i) {
        events.Add(Event(i * 4, i, 1, 0, static_cast<uint16_t>(100 + i)));
    }
    const CommsBlock block = automation_data::AddAutoEvents(events, 0);
    ASSERT_EQ(block.Size(), 2616u);
    EXPECT_EQ(block.U32(2124), 20u);
    BlockReader r(block.Bytes());
    // The twentieth record (index 19) ends at the block's last byte.
    EXPECT_EQ(r.U32(2136 + 24 * 19 + 12), 19u);
    EXPECT_EQ(r.U16(2136 + 24 * 19 + 20), 119u);
    EXPECT_EQ(2136 + 24 * 20, 2616);
}

TEST(AutomationData, ModifySendsOnlyIndicesThatHaveAnEvent) {
    CAutomationEventArray events;
    events.Add(Event(8, 2, 1, 1, 5));
    events.Add(Event(9, 3, 1, 1, 6));
    const std::vector<int32_t> indices = {40, 41, 42, 43};
    const CommsBlock block = automation_data::ModifyAutoEvents(indices, events);
    BlockReader r(block.Bytes());
    EXPECT_EQ(r.U32(2124), 2u);
    EXPECT_EQ(r.I32(2028), 40);
    EXPECT_EQ(r.I32(2032), 41);
    EXPECT_EQ(r.I32(2036), 0);  // no third event, so no third index
    EXPECT_EQ(r.I32(2136 + 24 + 12), 3);

    std::vector<int32_t> many(30, 7);
    const CommsBlock del = automation_data::DeleteAutoEvent(many);
    EXPECT_EQ(del.U32(2124), 20u);
    EXPECT_EQ(BlockReader(del.Bytes()).I32(2028 + 4 * 19), 7);
    EXPECT_EQ(BlockReader(del.Bytes()).I32(2028 + 4 * 20), 0);
}

TEST(AutomationData, AttachNamesOnePathOrAListCutAtTheBlockEnd) {
    const CommsBlock none = automation_data::ADAttach(AutomationEventFilterStructure(0x81), -1);
    BlockReader r(none.Bytes());
    EXPECT_EQ(r.U32(16), 0x81u);
    EXPECT_EQ(r.U32(20), 0u);
    EXPECT_EQ(r.I32(24), -1);
    EXPECT_EQ(automation_data::ADAttach({}, 12).U32(20), 1u);

    std::vector<int32_t> paths(700);
    for (size_t i = 0; i < paths.size(); ++i) {
        paths[i] = static_cast<int32_t>(i + 1);
    }
    const CommsBlock list = automation_data::ADAttach({}, paths);
    ASSERT_EQ(list.Size(), 2616u);
    EXPECT_EQ(list.U32(20), 648u);
    EXPECT_EQ(list.U32(2612), 648u);  // the last path fills the block's last word
}

TEST(AutomationData, GotoAndBrowsePlaceTheirArguments) {
    const CommsBlock gBlock = automation_data::GotoEvent(0xFFFFFFF0u, -3, 9);
    BlockReader g(gBlock.Bytes());
    EXPECT_EQ(g.Command(), 106u);
    EXPECT_EQ(g.U32(2024), 0xFFFFFFF0u);
    EXPECT_EQ(g.I32(2124), -3);
    const CommsBlock bBlock = automation_data::BrowseAutomationData(5, 6, 9);
    BlockReader b(bBlock.Bytes());
    EXPECT_EQ(b.I32(2116), 5);
    EXPECT_EQ(b.I32(2124), 6);
    EXPECT_EQ(automation_data::CreateNewPass(9).Size(), 16u);
}

TEST(AutomationControl, SetValueCarriesTheStoredTripleAndTheSignExtendedValue) {
    automation::PPCState ppc;
    const CommsBlock attach = ppc.SetPPC(1, 2, 3, 0x10);
    EXPECT_EQ(attach.Command(), 0u);
    EXPECT_EQ(attach.Size(), 32u);
    const CommsBlock set = ppc.SetValue(-2, 0x20);
    EXPECT_EQ(set.Command(), 1u);
    EXPECT_EQ(set.ReplyWindow(), 0x20u);
    EXPECT_EQ(Slice(set, 16, 16),
              (std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
    int32_t a = 0, b = 0, c = 0;
    ppc.GetPPC(a, b, c);
    EXPECT_EQ(a * 100 + b * 10 + c, 123);
}

TEST(MixPassTree, SaveChangesBlockGrowsByOneRecordPerChange) {
    const CommsBlock empty = mix_pass_tree::SaveChanges({}, "tree", 4, 1);
    EXPECT_EQ(empty.Size(), 288u);
    EXPECT_EQ(empty.U32(20), 0u);
    EXPECT_EQ(BlockReader(empty.Bytes()).Text(24, 264), "tree");

    std::vector<TreeChangesStructure> changes(2);
    changes[1].value = 77;
    std::fill(std::begin(changes[1].first), std::end(changes[1].first), 'p');  // no terminator
    std::fill(std::begin(changes[1].second), std::end(changes[1].second), 'q');
    const CommsBlock two = mix_pass_tree::SaveChanges(changes, std::string(400, 'n'), 4, 1);
    ASSERT_EQ(two.Size(), 288u + 2 * 368u);
    BlockReader r(two.Bytes());
    EXPECT_EQ(r.Text(24, 264).size(), 260u);
    EXPECT_EQ(r.I32(288 + 368), 77);
    EXPECT_EQ(r.Text(292 + 368, 261), std::string(260, 'p'));
    EXPECT_EQ(r.Text(553 + 368, 103), std::string(100, 'q'));
}

TEST(MixPassTree, ActivateTakesItsAutoLoadFlagFromTheLoadMode) {
    const std::array<int32_t, 8> a = {1, 2, 3, 4, 5, 6, 7, 8};
    const CommsBlock absentBlock = mix_pass_tree::Activate(a, std::nullopt, 0);
    BlockReader absent(absentBlock.Bytes());
    EXPECT_EQ(absent.U32(44), 0u);
    EXPECT_EQ(absent.I32(40), 7);
    EXPECT_EQ(absent.I32(48), 8);
    EXPECT_EQ(BlockReader(mix_pass_tree::Activate(a, 0u, 0).Bytes()).U32(44), 1u);
    EXPECT_EQ(BlockReader(mix_pass_tree::Activate(a, 1u, 0).Bytes()).U32(44), 0u);
}

TEST(MixPassTree, LoadModeComesFromTheUserSettings) {
    namespace reg = platform::registry;
    reg::testing::TempRegistry hive;
    EXPECT_FALSE(mix_pass_tree::ReadLoadModeAuto().has_value());
    reg::Key key;
    ASSERT_EQ(reg::Key::root(reg::Hive::CurrentUser)
                  .create("Software\\KESTANE\\Kestane Vantor\\Main", key),
              reg::Status::Ok);
    EXPECT_FALSE(mix_pass_tree::ReadLoadModeAuto().has_value());
    ASSERT_EQ(reg::setDword(key, "Load Mode (Auto)", 0), reg::Status::Ok);
    EXPECT_EQ(mix_pass_tree::ReadLoadModeAuto(), 0u);
    ASSERT_EQ(reg::setDword(key, "Load Mode (Auto)", 0x01020304), reg::Status::Ok);
    EXPECT_EQ(mix_pass_tree::ReadLoadModeAuto(), 0x01020304u);
    ASSERT_EQ(reg::setString(key, "Load Mode (Auto)", "0"), reg::Status::Ok);
    EXPECT_FALSE(mix_pass_tree::ReadLoadModeAuto().has_value());  // not a number: absent
}

TEST(MixPassTree, LoadTreeTextsLandInTheirOwnFieldsAndStopBeforeTheNext) {
    const std::string big(300, 'x');
    const std::array<std::string_view, 5> t = {"t1", big, "t3", "t4", big};
    const std::array<int32_t, 6> k = {10, 11, 12, 13, 14, 15};
    const std::array<std::string_view, 8> s = {"s1", "s2", "s3", "s4", "s5", "s6", "s7", big};
    const CommsBlock block = mix_pass_tree::LoadTree(t, k, 9, 0xABCD, s, 2);
    BlockReader r(block.Bytes());
    EXPECT_EQ(r.Text(217, 201), std::string(200, 'x'));
    EXPECT_EQ(r.Text(418, 201), "t3");
    EXPECT_EQ(r.I32(820), 10);
    EXPECT_EQ(r.Text(824, 264), std::string(263, 'x'));
    EXPECT_EQ(r.I32(1088), 11);
    EXPECT_EQ(r.I32(1104), 15);
    EXPECT_EQ(r.I32(1108), 9);
    EXPECT_EQ(r.U32(1112), 0xABCDu);
    EXPECT_EQ(r.Text(2322, 201), "s3");
    EXPECT_EQ(r.Text(2121, 201), "s4");
    EXPECT_EQ(r.Text(1518, 201), "s5");
    EXPECT_EQ(r.Text(2523, 201), std::string(200, 'x'));
}

TEST(MixPassFiles, PassFileAndControlListBlocks) {
    const CommsBlock file = mix_pass_file::MPAFAttach(std::string(50, 'a'), "b", "c", "d");
    BlockReader f(file.Bytes());
    EXPECT_EQ(f.Text(20, 39), std::string(38, 'a'));
    EXPECT_EQ(f.Text(59, 39), "b");
    EXPECT_EQ(f.Text(137, 39), "d");

    std::vector<StructPPPC> controls(2);
    controls[1].words[2] = -5;
    const CommsBlock watch = multiple_automation::MACAttach(controls, 3);
    ASSERT_EQ(watch.Size(), 228u + 24u);
    EXPECT_EQ(watch.U32(220), 2u);
    EXPECT_EQ(watch.U32(224), 3u);
    EXPECT_EQ(BlockReader(watch.Bytes()).I32(228 + 12 + 8), -5);
    EXPECT_EQ(multiple_automation::MACAttach(3).Size(), 228u);
    const CommsBlock textBlock = multiple_automation::SetControls(std::string(250, 'z'));
    BlockReader text(textBlock.Bytes());
    EXPECT_EQ(text.Text(16, 204), std::string(203, 'z'));
}

TEST(CurrentPass, UndoNameStopsWhereTheNextFieldBegins) {
    const CommsBlock block = current_pass::Undo(std::string(400, 'u'), 0xF0, 3);
    BlockReader r(block.Bytes());
    EXPECT_EQ(r.U32(16), 0xF0u);
    EXPECT_EQ(r.Text(573, 400), std::string(260, 'u'));
    const CommsBlock offBlock = current_pass::SetOffset(-1, 9, 3);
    BlockReader off(offBlock.Bytes());
    EXPECT_EQ(off.StatedSize(), 24u);
    EXPECT_EQ(off.I32(16), -1);
}
