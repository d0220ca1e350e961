#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "MicHarness.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

PreampState Filled() {
    PreampState s;
    for (int i = 0; i < kChannels; ++i) {
        s.assignment[i] = static_cast<uint32_t>(i % 100);
        s.setting[i] = 3 + static_cast<uint32_t>(i % 11) + (i % 2 ? kPhantomBit : 0);
        s.directSwitch[i] = i % 3 == 0;
        s.SetName(i, "ch" + std::to_string(i));
        s.nameShown[i] = i % 5 == 0;
    }
    for (int r = 0; r < kRacks; ++r)
        s.sequential[r] = r % 2;
    return s;
}

uint32_t Le32(const std::string& f, size_t at) {
    return static_cast<uint8_t>(f[at]) | static_cast<uint8_t>(f[at + 1]) << 8 |
           static_cast<uint8_t>(f[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(f[at + 3])) << 24;
}

TEST(PresetFile, HasTheFixedLayoutAndRoundTrips) {
    TempDir dir;
    const std::string path = dir.File("a.mic");
    const PreampState saved = Filled();
    ASSERT_TRUE(SavePresetFile(path, saved));
    const std::string f = ReadAll(path);
    ASSERT_EQ(f.size(), 5008u);
    EXPECT_EQ(Le32(f, 4 * 37), saved.assignment[37]);
    EXPECT_EQ(Le32(f, 768 + 4 * 37), saved.setting[37]);
    EXPECT_EQ(Le32(f, 1536 + 4 * 39), 1u);
    EXPECT_EQ(f[2304 + 3], 1);
    EXPECT_EQ(std::string(f.c_str() + 2320 + 13 * 37), "ch37");
    EXPECT_EQ(f[4816 + 35], 1);

    PreampState loaded;
    ASSERT_TRUE(LoadPresetFile(path, loaded, -1));
    EXPECT_EQ(loaded.assignment, saved.assignment);
    EXPECT_EQ(loaded.setting, saved.setting);
    EXPECT_EQ(loaded.directSwitch, saved.directSwitch);
    EXPECT_EQ(loaded.sequential, saved.sequential);
    EXPECT_EQ(loaded.name, saved.name);
    EXPECT_EQ(loaded.nameShown, saved.nameShown);
}

TEST(PresetFile, LoadingOneRackReadsOnlyItsPartOfEachTable) {
    // Every byte of the file is its offset's low byte, so each field shows where it came from.
    std::string bytes(5008, 0);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + 1);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    PreampState state;
    const PreampState before = state;
    LoadPresetBytes(data, bytes.size(), state, 3);
    auto at32 = [&](size_t o) { return Le32(bytes, o); };
    for (int c = 0; c < 12; ++c) {
        const int i = ChannelIndex(3, c);
        EXPECT_EQ(state.assignment[i], at32(144 + 4 * c));
        EXPECT_EQ(state.setting[i], at32(912 + 4 * c));
        EXPECT_EQ(state.directSwitch[i], at32(1680 + 4 * c));
        EXPECT_EQ(state.nameShown[i], static_cast<uint8_t>(bytes[4852 + c]));
        EXPECT_EQ(std::memcmp(state.name[i].data(), bytes.data() + 2788 + 13 * c, 12), 0);
    }
    EXPECT_EQ(state.sequential[3], static_cast<uint8_t>(bytes[2307]));
    for (int i = 0; i < kChannels; ++i) {
        if (i / 12 == 3)
            continue;
        EXPECT_EQ(state.setting[i], before.setting[i]);
        EXPECT_EQ(state.assignment[i], before.assignment[i]);
        EXPECT_EQ(state.name[i], before.name[i]);
    }
    EXPECT_EQ(state.sequential[2], 0);
    EXPECT_EQ(state.sequential[4], 0);
}

TEST(PresetFile, ShortAndOversizedFilesAreReadAsFarAsTheyGo) {
    TempDir dir;
    const PreampState full = Filled();
    ASSERT_TRUE(SavePresetFile(dir.File("full.mic"), full));
    std::string f = ReadAll(dir.File("full.mic"));

    // Cut inside the second setting entry: the first setting is read, the partial one not.
    WriteAll(dir.File("short.mic"), f.substr(0, 768 + 6));
    PreampState s;
    ASSERT_TRUE(LoadPresetFile(dir.File("short.mic"), s, -1));
    EXPECT_EQ(s.assignment, full.assignment);
    EXPECT_EQ(s.setting[0], full.setting[0]);
    EXPECT_EQ(s.setting[1], kDefaultSetting);
    EXPECT_EQ(s.Name(0), "");

    WriteAll(dir.File("big.mic"), f + std::string(100000, '\x7f'));
    PreampState b;
    ASSERT_TRUE(LoadPresetFile(dir.File("big.mic"), b, -1));
    EXPECT_EQ(b.name, full.name);

    // Names without a terminator still end inside their field.
    std::string noNul = f;
    std::fill(noNul.begin() + 2320, noNul.begin() + 4816, 'x');
    WriteAll(dir.File("nonul.mic"), noNul);
    PreampState n;
    ASSERT_TRUE(LoadPresetFile(dir.File("nonul.mic"), n, -1));
    EXPECT_EQ(n.Name(191), "xxxxxxxxxxxx");

    PreampState missing;
    EXPECT_FALSE(LoadPresetFile(dir.File("none.mic"), missing, -1));
    EXPECT_FALSE(LoadPresetFile(dir.File("full.mic"), missing, 16));
}

TEST(PresetFile, ReadOnlyPresetsLoadAndFailedSavesKeepThePreviousFile) {
    TempDir dir;
    const std::string path = dir.File("keep.mic");
    const PreampState first = Filled();
    ASSERT_TRUE(SavePresetFile(path, first));
    ::chmod(path.c_str(), 0444);
    PreampState loaded;
    EXPECT_TRUE(LoadPresetFile(path, loaded, -1));
    EXPECT_EQ(loaded.setting, first.setting);

    if (::geteuid() != 0) {
        // The directory cannot take the temporary file: nothing is written, nothing torn.
        ::chmod(dir.Path().c_str(), 0555);
        PreampState other;
        EXPECT_FALSE(SavePresetFile(path, other));
        ::chmod(dir.Path().c_str(), 0755);
        EXPECT_EQ(ReadAll(path).size(), 5008u);
        PreampState again;
        LoadPresetFile(path, again, -1);
        EXPECT_EQ(again.setting, first.setting);
    }
    // A successful save replaces the file whole and leaves no temporary behind.
    PreampState other;
    ASSERT_TRUE(SavePresetFile(path, other));
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST(LoadState, StandAloneDiscardsAssignmentsAndSendsToOnLineRacks) {
    MicSettings s = Harness::NoFiles();
    Harness h(s);
    const std::string path = h.dir.File("preset.mic");
    PreampState saved = Filled();
    ASSERT_TRUE(SavePresetFile(path, saved));
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_TRUE(h.mic->PresetButtonsUsable());
    h.mic->LoadPreset(path);
    EXPECT_EQ(h.view.title, "Kestane plc PX5R Remote Mic Pre-Amp Controller   (preset.mic)");
    EXPECT_EQ(h.mic->Settings().fileName, path);
    for (int i = 0; i < kChannels; ++i)
        EXPECT_EQ(h.State().assignment[i], 0u);
    for (int k = 0; k < kConsoleChannels; ++k)
        EXPECT_TRUE(h.mic->Lists().List(k).empty());
    EXPECT_EQ(h.State().setting, saved.setting);
    EXPECT_TRUE(h.mic->Busy());
    EXPECT_FALSE(h.mic->PresetButtonsUsable());
    EXPECT_EQ(h.Engine().Ring().Pending(), 24u);  // queued behind the poll in flight
    h.DrainRing();
    h.Line(kAck);  // the next poll answered: the loaded state has gone out
    EXPECT_FALSE(h.mic->Busy());
    EXPECT_EQ(h.view.status, StatusPicture::RacksPresent);
}

TEST(LoadState, ARackComingOnLineGetsItsPartOfTheSnapshot) {
    MicSettings s = Harness::NoFiles();
    s.autoRestore = true;
    Harness h(s, true);
    PreampState saved;
    saved.setting[ChannelIndex(2, 4)] = 0x49;
    saved.assignment[ChannelIndex(2, 4)] = 12;
    saved.setting[ChannelIndex(1, 0)] = 0x50;
    ASSERT_TRUE(SavePresetFile(h.dir.File("RestoreSnapshot.mic"), saved));
    // The console holds line 11 at phantom on, gain step 9, as the snapshot has it.
    h.console.image[4 * 11] = 0;
    h.console.image[4 * 11 + 2] = 9;
    h.mic->Initialise();
    EXPECT_EQ(h.State().setting[ChannelIndex(1, 0)], 0x50u);
    h.BringOnLine(2);
    EXPECT_EQ(h.State().setting[ChannelIndex(2, 4)], 0x49u);
    EXPECT_EQ(h.mic->Lists().List(11).size(), 1u);
    // Loading for rack 2 alone: 24 frames and the data request, the first one sent.
    EXPECT_EQ(h.Engine().Ring().Pending(), 24u);
    for (int i = 0; i < 4; ++i)
        h.Line(kAck);
    EXPECT_EQ(h.Sent(), SetChannelBytes(2, 2, 3, 0x7F));
}

}  // namespace
}  // namespace mic::test
