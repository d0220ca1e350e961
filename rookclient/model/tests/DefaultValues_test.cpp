#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <objectkit/ControlRanges.h>

#include "rookclient/model/DefaultValuesTable.h"
#include "rookclient/model/SnapshotBlocks.h"

using namespace rookclient::model;

TEST(DefaultValuesTable, StartsFromTheConsoleDefaultsWithRouteLevelsDown) {
    DefaultValuesTable table(3);
    // Processing controls come from the console's built-in table of the type's variant.
    EXPECT_EQ(table.GetValue(0, 0, 14, 0),
              static_cast<int16_t>(objectkit::DefaultValue(0, 0, 14, 0)));
    EXPECT_EQ(table.GetValue(0, 0, 40, 2), -8192);
    EXPECT_EQ(table.GetValue(2, 12, 78, 2), -8192);
    EXPECT_EQ(table.GetValue(0, 5, 40, 2), 0);  // kind 5 routes start at zero
    EXPECT_EQ(table.GetValue(1, 5, 31, 3), 1);
    EXPECT_EQ(table.GetValue(1, 4, 31, 3), 1);
    // Console type 4 takes the defaults of its own variant.
    DefaultValuesTable live(4);
    for (int m = 0; m < 31; ++m) {
        EXPECT_EQ(live.GetValue(1, 2, m, 0),
                  static_cast<int16_t>(objectkit::DefaultValue(2, 2, m, 0)));
    }
}

TEST(DefaultValuesTable, ClearUndoesEditsAndOutOfRangeControlsAreLeftAlone) {
    DefaultValuesTable table(3);
    table.SetValue(1, 2, 3, 4, 555);
    table.SetValue(2, 12, 78, 3, -7);
    EXPECT_EQ(table.GetValue(1, 2, 3, 4), 555);
    EXPECT_EQ(table.GetValue(2, 12, 78, 3), -7);
    const auto before = table.Routes();
    table.SetValue(3, 0, 0, 0, 1);   // no fourth set
    table.SetValue(0, 13, 0, 0, 1);  // no kind 13
    table.SetValue(0, 0, 79, 0, 1);  // past the last route module
    table.SetValue(0, 0, 40, 4, 1);  // route modules have four controls
    table.SetValue(0, 0, 5, 9, 1);   // processing modules have nine
    EXPECT_EQ(table.Routes(), before);
    EXPECT_EQ(table.GetValue(0, 0, -1, 0), 0);
    table.Clear();
    EXPECT_EQ(table.GetValue(1, 2, 3, 4),
              static_cast<int16_t>(objectkit::DefaultValue(0, 2, 3, 4)));
    EXPECT_EQ(table.GetValue(2, 12, 78, 3), 1);
}

TEST(DefaultValuesTable, SnapshotEventsMoveLinkedControlsTogether) {
    DefaultValuesTable table(3);
    const int16_t module5 = table.GetValue(0, 1, 5, 7);
    table.SetSnapshot(0, 1, CTemplateSnapAutoEvent(1, 7, 100));
    for (int m = 1; m <= 4; ++m) {
        EXPECT_EQ(table.GetValue(0, 1, m, 7), 100) << "module " << m;
    }
    EXPECT_EQ(table.GetValue(0, 1, 5, 7), module5);
    EXPECT_NE(table.GetValue(0, 2, 2, 7), 100);  // another kind is untouched

    table.SetSnapshot(2, 0, CTemplateSnapAutoEvent(9, 5, 0xFFFF));
    EXPECT_EQ(table.GetValue(2, 0, 10, 5), -1);
    table.SetSnapshot(2, 0, CTemplateSnapAutoEvent(2, 7, 33));  // module 2 links nothing
    EXPECT_EQ(table.GetValue(2, 0, 1, 7), table.GetValue(0, 0, 1, 7));

    const auto made = table.GetSnapshot(0, 1, 3, 7);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->module, 3);
    EXPECT_EQ(made->control, 7);
    EXPECT_EQ(made->value, 100);
    const CTemplateSnapAutoEvent byValue =
        table.GetSnapshot(2, 0, CTemplateSnapAutoEvent(10, 5, 0));
    EXPECT_EQ(byValue.value, 0xFFFF);
}

TEST(DefaultValuesBlocks, SaveCarriesBothTablesInElementOrder) {
    DefaultValuesTable table(3);
    table.SetValue(0, 0, 0, 1, 0x1234);
    table.SetValue(2, 12, 78, 3, -2);
    const CommsBlock block = default_values::Save(table, "Film", 6);
    ASSERT_EQ(block.Size(), 37084u);
    BlockReader r(block.Bytes());
    EXPECT_EQ(r.U16(16 + 2), 0x1234);
    EXPECT_EQ(r.U16(16 + 21762 - 2), static_cast<uint16_t>(table.GetValue(2, 12, 30, 8)));
    EXPECT_EQ(r.U16(21778 + 14976 - 2), 0xFFFE);
    EXPECT_EQ(r.Text(36754, 78), "Film");
    EXPECT_EQ(r.I32(37076), 6);
}

TEST(DefaultValuesBlocks, LoadInMemoryIsALoadWithASecondIntegerOfZero) {
    const CommsBlock block = default_values::LoadInMemory("Set", 1, 3);
    BlockReader r(block.Bytes());
    EXPECT_EQ(r.Command(), 137u);
    EXPECT_EQ(r.I32(37076), 1);
    EXPECT_EQ(r.I32(37072), 0);
    EXPECT_EQ(r.I32(37080), 3);
    const CommsBlock def = default_values::SetDefault(std::string(300, 'd'));
    EXPECT_EQ(BlockReader(def.Bytes()).Text(36832, 240), std::string(239, 'd'));
    EXPECT_EQ(BlockReader(def.Bytes()).U32(37072), 0u);
    const CommsBlock load = default_values::Load(std::string(300, 'n'), 1, 2, 3);
    EXPECT_EQ(BlockReader(load.Bytes()).Text(36754, 78), std::string(77, 'n'));
}

TEST(SnapshotBlocks, DeleteListPutsNamesInSlotsAndCountsOnlyWhatFits) {
    const std::vector<std::string> two = {"Reel 1", std::string(250, 'r')};
    const CommsBlock block = snapshot::DeleteSnapshots(two, 0x44);
    BlockReader r(block.Bytes());
    EXPECT_EQ(r.Command(), 95u);
    EXPECT_EQ(r.U32(4), 0x44u);
    EXPECT_EQ(r.Text(20, 201), "Reel 1");
    EXPECT_EQ(r.Text(221, 201), std::string(200, 'r'));
    EXPECT_EQ(r.U32(106724), 2u);

    std::vector<std::string> many(520, "s");
    many[499] = "last";
    const CommsBlock full = snapshot::DeleteSnapshots(many, 0);
    BlockReader f(full.Bytes());
    EXPECT_EQ(f.U32(106724), 500u);
    EXPECT_EQ(f.Text(20 + 201 * 499, 201), "last");
    EXPECT_EQ(f.U32(100520), 0u);  // nothing spilled past the names
}

TEST(SnapshotBlocks, OperationsPlaceTheirArguments) {
    const CommsBlock rename = snapshot::RenameSnapshot("old", "new", 1);
    EXPECT_EQ(BlockReader(rename.Bytes()).Text(221, 201), "new");
    const CommsBlock capture = snapshot::CaptureSnapshot("cap", -4, 1);
    EXPECT_EQ(BlockReader(capture.Bytes()).I32(100520), -4);
    const CommsBlock save = snapshot::SaveSnapshots("file", 8, 1);
    EXPECT_EQ(save.Command(), 99u);
    EXPECT_EQ(BlockReader(save.Bytes()).I32(106736), 8);
    EXPECT_EQ(BlockReader(snapshot::SetScope(3, 1).Bytes()).I32(106744), 3);
    EXPECT_EQ(BlockReader(snapshot::SSAttach(5, 11).Bytes()).I32(16), 11);
    EXPECT_EQ(snapshot::SetTargetWindow(7).ReplyWindow(), 7u);
    EXPECT_EQ(snapshot::CloseSnapshot().Size(), 16u);
}
