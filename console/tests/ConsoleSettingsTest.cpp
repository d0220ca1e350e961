#include <console/ConsoleSettings.h>
#include <console/GenericRegistryObject.h>
#include <gtest/gtest.h>

#include <thread>

#include "TempRegistry.h"

namespace reg = platform::registry;
using platform::registry::testing::TempRegistry;

namespace {

constexpr const char* kPath = "Software\\Kestane Vantor\\Main";

class TheConsoleSettings : public ::testing::Test {
  protected:
    TheConsoleSettings() { ResetConsoleSettingsForTests(); }
    ~TheConsoleSettings() override { ResetConsoleSettingsForTests(); }

    TempRegistry temp;
    CLocalMachineRegistryObject registry;
};

}  // namespace

TEST_F(TheConsoleSettings, AreTheDefaultsWhenTheKeyIsAbsent) {
    EXPECT_FALSE(ConsoleSettingsLoadingStarted());
    ReadConsoleSettings();
    EXPECT_TRUE(ConsoleSettingsLoadingStarted());
    EXPECT_TRUE(ConsoleSettingsLoaded());
    const ConsoleSettings& s = GetConsoleSettings();
    EXPECT_EQ(s.VantorConsoleType, 3u);
    EXPECT_EQ(GetConsoleTypeName(static_cast<int>(s.VantorConsoleType)), "QMX Series");
    EXPECT_NE(s.VantorConsoleType, kIntegratingConsoleType);
    EXPECT_EQ(s.CutABPath, 128u);
    EXPECT_EQ(s.LiveDetectAF, 1u);
    for (uint32_t v : {s.NumberOfFaders, s.NumberOfChannelStrips, s.MasterBucketPos, s.SideCarSize,
                       s.QMX2, s.LiveTorvel, s.MuteABPath, s.NumGroupFaders, s.NumOutputFaders,
                       s.GroupFadersStartAt, s.OutputFadersStartAt}) {
        EXPECT_EQ(v, 0u);
    }
}

TEST_F(TheConsoleSettings, TakeTheTypeFromTextButNotFromABinaryValue) {
    ASSERT_TRUE(registry.WriteString(kPath, "VantorConsoleType", "6"));
    ReadConsoleSettings();
    EXPECT_EQ(GetConsoleSettings().VantorConsoleType, 6u);

    ResetConsoleSettingsForTests();
    const uint8_t six[4] = {6, 0, 0, 0};
    ASSERT_TRUE(registry.WriteBinary(kPath, "VantorConsoleType", six, 4));
    ReadConsoleSettings();
    EXPECT_EQ(GetConsoleSettings().VantorConsoleType, 3u);
}

TEST_F(TheConsoleSettings, ReadEachValueFromItsOwnNameOnceOnly) {
    // Distinct values show a name read into the wrong field.
    const char* const names[] = {"VantorConsoleType",
                                 "NumberOfFaders",
                                 "NumberOfChannelStrips",
                                 "MasterBucketPos",
                                 "CutABPath",
                                 "SideCarSize",
                                 "QMX2",
                                 "LiveTorvel",
                                 "LiveDetectAF",
                                 "MuteABPath",
                                 "NumGroupFaders",
                                 "NumOutputFaders",
                                 "GroupFadersStartAt",
                                 "OutputFadersStartAt"};
    for (uint32_t i = 0; i < std::size(names); ++i) {
        ASSERT_TRUE(registry.WriteNumber(kPath, names[i], 100 + i));
    }
    ReadConsoleSettings();
    const ConsoleSettings& s = GetConsoleSettings();
    const uint32_t got[] = {s.VantorConsoleType,
                            s.NumberOfFaders,
                            s.NumberOfChannelStrips,
                            s.MasterBucketPos,
                            s.CutABPath,
                            s.SideCarSize,
                            s.QMX2,
                            s.LiveTorvel,
                            s.LiveDetectAF,
                            s.MuteABPath,
                            s.NumGroupFaders,
                            s.NumOutputFaders,
                            s.GroupFadersStartAt,
                            s.OutputFadersStartAt};
    for (uint32_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(got[i], 100 + i) << names[i];
    }

    // A second read, even of another record after the registry changed, changes nothing.
    ASSERT_TRUE(registry.WriteNumber(kPath, "VantorConsoleType", 6));
    ConsoleSettingsRecord other = kConsoleSettingsRecord;
    other[0] = "Software\\Other";
    ReadConsoleSettings(other);
    ReadConsoleSettings();
    EXPECT_EQ(GetConsoleSettings().VantorConsoleType, 100u);
}

TEST_F(TheConsoleSettings, AreCompleteForEveryThreadOnceItsReadReturns) {
    ASSERT_TRUE(registry.WriteNumber(kPath, "VantorConsoleType", 6));
    ASSERT_TRUE(registry.WriteNumber(kPath, "OutputFadersStartAt", 48));
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&wrong] {
            ReadConsoleSettings();
            const ConsoleSettings& s = GetConsoleSettings();
            if (s.VantorConsoleType != 6 || s.OutputFadersStartAt != 48) {
                ++wrong;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(TheConsoleSettings, AreWrittenBackAsDwordsWithoutNewMCS) {
    ASSERT_TRUE(registry.WriteString(kPath, "VantorConsoleType", "6"));
    ReadConsoleSettings();
    WriteConsoleSettings();
    std::vector<std::string> names;
    EXPECT_EQ(registry.EnumValues(kPath, names), 14);
    EXPECT_EQ(std::count(names.begin(), names.end(), "NewMCS"), 0);
    reg::Key key;
    ASSERT_EQ(reg::Key::root(reg::Hive::LocalMachine).open(kPath, key), reg::Status::Ok);
    reg::Value value;
    ASSERT_EQ(key.query("VantorConsoleType", value), reg::Status::Ok);
    EXPECT_EQ(value.type, reg::REG_DWORD);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{6, 0, 0, 0}));
    ASSERT_EQ(key.query("CutABPath", value), reg::Status::Ok);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{128, 0, 0, 0}));
}

TEST(ConsoleTypeNames, NameEveryKnownTypeAndCallTheRestNewConsole) {
    const char* const expected[] = {"Tallis Series", "W Series",    "Carina Music", "QMX Series",
                                    "Carina Live",   "Carina Post", "Z9R",          "Torvel"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(GetConsoleTypeName(i), expected[i]);
    }
    EXPECT_EQ(GetConsoleTypeName(8), "New Console");
    EXPECT_EQ(GetConsoleTypeName(-1), "New Console");
    EXPECT_EQ(GetConsoleTypeName(INT32_MIN), "New Console");
}
