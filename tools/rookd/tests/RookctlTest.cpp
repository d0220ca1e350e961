// rookctl as an engineer uses it at a console, against a server on the test's private bus:
// operations called with their arguments from the command line, images and recorded command
// blocks shown decoded.
#include <gtest/gtest.h>
#include <rookclient/model/CurrentConsoleSetupImage.h>
#include <rookclient/model/DefaultValuesTable.h>
#include <rookclient/model/McsImage.h>
#include <rookclient/model/NexusRoutingMap.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ControlInterface.h"
#include "RunTool.h"
#include "ServerOnPrivateBus.h"

using namespace rookd;
using namespace rookd::testing;

namespace {

class Rookctl : public ServerOnPrivateBus {
  protected:
    // rookctl's image and command listings go through the control interface, as with rookd.
    void SetUp() override {
        ServerOnPrivateBus::SetUp();
        OnServer([&](RookServer& server) { control_ = ControlInterface::Export(server, {}); });
        ASSERT_NE(control_, nullptr);
    }
    void TearDown() override {
        thread_.Run([&] { control_.reset(); });
        ServerOnPrivateBus::TearDown();
    }
    ToolResult Run(const std::string& args) {
        return RunTool(std::string(ROOKCTL_PROGRAM) + " --name " + name_ + " " + args);
    }
    std::vector<RecordedCommand> Commands(const std::string& object) {
        std::vector<RecordedCommand> commands;
        OnServer([&](RookServer& server) { commands = server.Commands(object); });
        return commands;
    }
    // The last block the object received (empty when none).
    std::vector<uint8_t> Last(const std::string& object) {
        const auto commands = Commands(object);
        return commands.empty() ? std::vector<uint8_t>() : commands.back().block;
    }

    std::unique_ptr<ControlInterface> control_;  // serving thread only
    void SetImage(const std::string& object, std::span<const uint8_t> image) {
        OnServer([&](RookServer& server) {
            server.SetImage(object, std::vector<uint8_t>(image.begin(), image.end()), false);
        });
    }
};

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b.size() < at + 4 ? 0xDEADBEEF
                             : uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 |
                                   uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

bool Contains(const ToolResult& result, const std::string& text) {
    return result.output.find(text) != std::string::npos;
}

}  // namespace

TEST_F(Rookctl, ArgumentsFromTheCommandLineLandInTheirFields) {
    ToolResult r = Run("call CMCSRookObject SetDeviceOffset 3 1 23 45 12 true");
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<uint8_t> block = Last("MCSRookObject");
    ASSERT_EQ(block.size(), 848u);
    EXPECT_EQ(U32At(block, 0), 162u);
    EXPECT_EQ(block[44], 3);
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 768, block.begin() + 772),
              (std::vector<uint8_t>{0x81, 0x23, 0x45, 0x12}));

    // A window and a defaulted interval; hex forms of numbers.
    r = Run("call CTimeCodeRookObject TCAttach 0x2a");
    ASSERT_EQ(r.status, 0) << r.output;
    block = Last("TimecodeRook");
    EXPECT_EQ(U32At(block, 20), 42u);
    EXPECT_EQ(U32At(block, 24), 10u);

    // Calls in one run share the proxy: SetValue carries the control SetPPC stored.
    r = Run("call CAutomationRookObject SetPPC 1 2 3 0 -- SetValue -2 0");
    ASSERT_EQ(r.status, 0) << r.output;
    const auto automation = Commands("AutomationRook");
    ASSERT_EQ(automation.size(), 2u) << "the first call replaced the neutral attach";
    block = automation.back().block;
    EXPECT_EQ(U32At(block, 0), 1u);
    EXPECT_EQ(U32At(block, 16), 1u);
    EXPECT_EQ(U32At(block, 24), 3u);
    EXPECT_EQ(U32At(block, 28), 0xFFFFFFFEu);

    r = Run("call CFaderAllocRookObject FaderAllocSetData 01:02:ff");
    ASSERT_EQ(r.status, 0) << r.output;
    block = Last("FaderAlloc");
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 16, block.begin() + 20),
              (std::vector<uint8_t>{1, 2, 0xFF, 0}));

    // Overloads: the form whose arguments fit is the one called.
    r = Run("call CAutomationDataRookObject ADAttach 5 7,8,9");
    ASSERT_EQ(r.status, 0) << r.output;
    block = Last("AutomationDataRook");
    EXPECT_EQ(U32At(block, 20), 3u);
    EXPECT_EQ(U32At(block, 32), 9u);
}

TEST_F(Rookctl, ArgumentsThatDoNotFitSendNothingAndSayWhy) {
    struct Case {
        const char* args;
        const char* why;
    };
    const Case cases[] = {
        {"CFrameRateRookObject SetFrameRate", "wants 1 argument, 0 given"},
        {"CFrameRateRookObject SetFrameRate 1 2", "wants 1 argument, 2 given"},
        {"CFrameRateRookObject SetFrameRate fast", "'fast' is not a number"},
        {"CMCSRookObject SetCurrentMachine 256", "256 is outside 0 to 255"},
        {"CFaderAllocRookObject FaderAllocSetData 0g", "'0g' is not a hex byte"},
        {"CFaderAllocRookObject FaderAllocSetData 012", "pairs of digits"},
        {"CSafetyNetRookObject SetSafetyNet maybe", "is not 0, 1, true"},
        {"CNewMixPassTreeRookObject Activate 1,2,3 0", "wants 8 comma-separated items, 3 given"},
        {"CAutomationDataRookObject AddAutoEvents 1:2:3 0", "wants 5 to 7 ':'-separated"},
        // every call is checked before the first is sent
        {"CFrameRateRookObject SetFrameRate 25 -- SetFrameRate x", "'x' is not a number"},
        {"CFrameRateRookObject Frobnicate", "has no operation 'Frobnicate'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult r = Run(std::string("call ") + c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(Contains(r, c.why)) << r.output;
    }
    for (const char* object :
         {"FrameRateRook", "MCSRookObject", "FaderAlloc", "SafetyNetRookObject",
          "NewMixPassTreeRookObject", "AutomationDataRook"}) {
        EXPECT_TRUE(Commands(object).empty()) << object << ": not even the attach was sent";
    }
}

TEST_F(Rookctl, ImagesAreShownThroughTheirDecodersAndOthersAsHex) {
    rookclient::model::DefaultValuesTable defaults(3);
    defaults.SetValue(0, 0, 0, 1, 0x1234);
    defaults.SetValue(1, 5, 40, 2, -77);
    const auto defaultsBlock = rookclient::model::default_values::Save(defaults, "Film", 6);
    SetImage("DefaultValuesRook", defaultsBlock.Bytes());
    ToolResult r = Run("image DefaultValuesRook");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Contains(r, "set name @36754 \"Film\"")) << r.output;
    EXPECT_TRUE(Contains(r, "set 0 kind  0 module  0 control 1:   4660")) << r.output;
    EXPECT_TRUE(Contains(r, "set 1 kind  5 module 40 control 2:    -77 (built in 0)")) << r.output;

    rookclient::model::NexusRoutingMap map;
    map.MapStream(3, 7);
    const auto mapBlock = map.MapStream(9, 4);
    SetImage("Nexus Routing", mapBlock.Bytes());
    r = Run("image 'Nexus Routing'");
    EXPECT_TRUE(Contains(r, "2 mapped streams")) << r.output;
    EXPECT_TRUE(Contains(r, "stream 9 <- 4")) << r.output;

    // A block the decoder refuses (it announces more pairs than it holds) is shown as bytes.
    std::vector<uint8_t> cut(mapBlock.Bytes().begin(), mapBlock.Bytes().end() - 4);
    cut[8] = static_cast<uint8_t>(cut.size());
    SetImage("Nexus Routing", cut);
    r = Run("image 'Nexus Routing'");
    EXPECT_TRUE(Contains(r, "the object's decoder refuses this block")) << r.output;
    EXPECT_TRUE(Contains(r, "  000016 ")) << r.output;

    std::vector<uint8_t> rate(20, 0);
    rate[0] = 72, rate[8] = 20, rate[16] = 'Z';
    SetImage("FrameRateRook", rate);
    r = Run("image FrameRateRook");
    EXPECT_TRUE(Contains(r, "no layout is known")) << r.output;
    EXPECT_TRUE(Contains(r, "  000016  5a 00 00 00")) << r.output;
    EXPECT_TRUE(Contains(r, "Z...")) << r.output;

    EXPECT_NE(Run("image FlashUpZ9RRook").status, 0) << "an object without an image";

    // The same decoders read a file, without a server.
    const std::string file = ::testing::TempDir() + "/defaults.block";
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(defaultsBlock.Bytes().data(), 1, defaultsBlock.Size(), out);
    std::fclose(out);
    r = RunTool(std::string(ROOKCTL_PROGRAM) + " decode DefaultValuesRook " + file);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r, "2 values differ from the built-in defaults")) << r.output;
    std::filesystem::remove(file);
}

TEST_F(Rookctl, RecordedCommandsAreDecodedWhereTheirLayoutIsKnown) {
    ASSERT_EQ(Run("call CAESConfigListRookObject RenameConfig old new").status, 0);
    ASSERT_EQ(Run("call CGangDataRookObject Coalesce 4 -- ClearAll").status, 0);
    ASSERT_EQ(Run("call CNexusRoutingRookObject MapStream 12 1").status, 0);

    ToolResult r = Run("commands AESConfigListRook");
    EXPECT_TRUE(Contains(r,
                         "RenameConfig(text oldName, text newName): oldName@833=\"old\", "
                         "newName@872=\"new\""))
        << r.output;
    // Operations of one code are told apart by their selector.
    r = Run("commands GangDataRook");
    EXPECT_TRUE(Contains(r, "= Coalesce(int gang): @16=2, gang@20=4")) << r.output;
    EXPECT_TRUE(Contains(r, "= ClearAll(): @16=1")) << r.output;
    EXPECT_FALSE(Contains(r, "= Clear(")) << r.output;
    // A block that carries the object's image reads as one.
    r = Run("commands 'Nexus Routing'");
    EXPECT_TRUE(Contains(r, "= MapStream(ushort stream, ushort source)")) << r.output;
    EXPECT_TRUE(Contains(r, "stream 12 <- 1")) << r.output;

    ASSERT_EQ(Run("call CMultipleAutomationRookObject SetControls 1:2:3,4:5:6").status, 0);
    r = Run("commands MultipleAutomationRook");
    EXPECT_TRUE(Contains(r, "controls @220: 2\n      1 2 3\n      4 5 6\n")) << r.output;
    // Where no layout names the fields, the payload's bytes are shown with their offsets.
    ASSERT_EQ(Run("call CMCSRookObject SetDeviceOffset 3 1 23 45 12 true").status, 0);
    r = Run("commands MCSRookObject");
    EXPECT_TRUE(Contains(r, "sub-command @20 42, one of: SetDeviceOffset")) << r.output;
    EXPECT_TRUE(Contains(r, "  000768  81 23 45 12 ")) << r.output;
}

TEST_F(Rookctl, LayoutImagesReadAsAClientReadsThem) {
    rookclient::model::CurrentConsoleSetupImage setup;
    setup.SetMixSetup("Film Mix");
    setup.SetPathMap({2, 1});
    setup.SetPathNames({"Dia 1", "Dia 2", "Stems"});
    SetImage("CurrentConsoleSetupRook", setup.Encode().Bytes());
    ToolResult r = Run("image CurrentConsoleSetupRook");
    EXPECT_TRUE(Contains(r, "mix setup \"Film Mix\", 3 paths")) << r.output;
    EXPECT_TRUE(Contains(r, "path   2  group")) << r.output;
    EXPECT_TRUE(Contains(r, "\"Stems\"")) << r.output;

    rookclient::model::McsImage machines;
    rookclient::model::MCSMachineInfoStruct machine;
    machine.id = 5;
    machine.protocol = 2;
    std::copy_n("ATR", 3, machine.name.begin());
    machines.SetMachines({machine});
    std::array<rookclient::model::McsImage::GroupSlots, rookclient::model::McsImage::kGroups>
        groups;
    for (auto& g : groups) {
        g.fill(255);
    }
    groups[1][0] = 5;
    machines.SetGroupTable(groups);
    SetImage("MCSRookObject", machines.Encode().Bytes());
    r = Run("image MCSRookObject");
    EXPECT_TRUE(Contains(r, "group 1 (master first): 5 - - - - - - -")) << r.output;
    EXPECT_TRUE(Contains(r, "machine 5 \"ATR\"")) << r.output;
    EXPECT_TRUE(Contains(r, "Sony 9 Pin Slave")) << r.output;

    // One byte short of the image: refused, shown as bytes.
    const auto setupBlock = setup.Encode();
    std::vector<uint8_t> shortSetup(setupBlock.Bytes().begin(), setupBlock.Bytes().end());
    shortSetup.pop_back();
    shortSetup[8] = static_cast<uint8_t>(shortSetup.size());
    shortSetup[9] = static_cast<uint8_t>(shortSetup.size() >> 8);
    shortSetup[10] = static_cast<uint8_t>(shortSetup.size() >> 16);
    SetImage("CurrentConsoleSetupRook", shortSetup);
    r = Run("image CurrentConsoleSetupRook");
    EXPECT_TRUE(Contains(r, "refuses")) << r.output;
}
