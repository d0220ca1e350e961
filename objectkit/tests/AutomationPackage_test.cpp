#include <objectkit/AutomationBlockFile.h>
#include <objectkit/AutomationPackage.h>
#include <objectkit/StatusMessages.h>

#include <set>

#include "EventTestSupport.h"
#include "FileTestSupport.h"

namespace {

using objevents_test::StatusCatcher;

class PackageLoadTest : public objectkit::test::TempDirTest {
  protected:
    // Every part of the block form holds data of its own, each part large enough to be
    // stored compressed, all derived from `seed` so that two packages differ everywhere.
    static void Fill(CAutomationPackage& p, uint8_t seed) {
        p.RemoveAll();
        for (int i = 0; i < 200; ++i) {
            p.Add(objevents_test::Ev(i * 4, i % 7, 14, 0, seed * 1000 + i));
        }
        auto bytes = [seed](size_t size, uint8_t tag) {
            std::vector<uint8_t> v(size);
            for (size_t i = 0; i < size; ++i) {
                v[i] = static_cast<uint8_t>(seed * 31 + tag + i / 7);
            }
            return v;
        };
        auto ints = [seed](int count, int tag) {
            std::vector<int32_t> v(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                v[static_cast<size_t>(i)] = seed * 100000 + tag * 1000 + i;
            }
            return v;
        };
        p.m_AutomationSize = ints(300, 1);
        p.m_AutomationSize[0] = CAutomationPackage::kExpectedSizeCount[0];
        for (int g = 0; g < CAutomationPackage::kGroupCount; ++g) {
            const auto tag = static_cast<uint8_t>(g * 4);
            p.m_CtlGroups[0][g].m_Data = bytes(124 * 10, tag);
            p.m_CtlGroups[1][g].m_Data = bytes(124 * 3, tag + 1);
            p.m_RteGroups[0][g].m_Data = bytes(20 * 30, tag + 2);
            p.m_RteGroups[1][g].m_Data = bytes(20 * 9, tag + 3);
        }
        p.m_CtrlParms = bytes(124 * 20, 90);
        p.m_RteParms = bytes(20 * 80, 91);
        p.m_PathMap.values = ints(300, 2);
        for (int i = 0; i < 3; ++i) {
            p.m_VectorData[i] = ints(300, 3 + i);
        }
        p.m_LinkMap = ints(300, 6);
        p.m_GangMap = ints(300, 7);
        p.m_CutAB = ints(300, 8);
        p.m_nFrameRate = 25 + seed;
        p.m_nConsoleType = 3;
        p.m_nMixPass[0] = seed;
        p.m_nMixPass[1] = seed + 1;
    }

    // Every part of the package and its file name, for comparing whole packages.
    static std::vector<std::vector<int64_t>> Parts(const CAutomationPackage& p) {
        std::vector<std::vector<int64_t>> parts;
        auto add = [&](const auto& values) { parts.emplace_back(values.begin(), values.end()); };
        std::vector<int64_t> events;
        for (const CAutomationEvent& e : p) {
            events.insert(events.end(),
                          {e.timeStamp, e.path, e.module, e.control, e.value, e.oldValue, e.flags});
        }
        add(events);
        add(p.m_AutomationSize);
        for (int s = 0; s < CAutomationPackage::kSetCount; ++s) {
            for (int g = 0; g < CAutomationPackage::kGroupCount; ++g) {
                add(p.m_CtlGroups[s][g].m_Data);
                add(p.m_RteGroups[s][g].m_Data);
            }
        }
        add(p.m_CtrlParms);
        add(p.m_RteParms);
        add(p.m_PathMap.values);
        for (const auto& v : p.m_VectorData) {
            add(v);
        }
        add(p.m_LinkMap);
        add(p.m_GangMap);
        add(p.m_CutAB);
        add(std::vector<int64_t>{p.m_nFrameRate, p.m_nConsoleType, p.m_nMixPass[0], p.m_nMixPass[1],
                                 p.PathCount()});
        add(p.m_FileName);
        return parts;
    }

    struct Listed {
        int32_t id;
        size_t directoryAt;  // where its directory entry starts in the file
        uint32_t offset, size, chunks;
    };
    static std::vector<Listed> Directory(const std::vector<uint8_t>& file) {
        std::vector<Listed> listed;
        const uint32_t count = U32At(file, 32);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = CAutomationBlockFile::kDirectoryOffset + 16 * i;
            listed.push_back({static_cast<int32_t>(U32At(file, at)), at, U32At(file, at + 4),
                              U32At(file, at + 8), U32At(file, at + 12)});
        }
        return listed;
    }

    // Loading `damaged` fails, names one of `blocks` as unreadable, and leaves `p` exactly
    // as it was.
    static void ExpectRefused(CAutomationPackage& p, const std::string& damaged,
                              const std::set<long>& blocks, const std::string& what) {
        const auto before = Parts(p);
        StatusCatcher status(objectkit::kStatusWindowClass);
        EXPECT_EQ(p.Load(damaged), 0) << what;
        const std::vector<long> reported = status.ValuesOf(objectkit::StatusFileLoadFailed);
        ASSERT_EQ(reported.size(), 1u) << what;
        EXPECT_TRUE(blocks.count(reported[0])) << what << ": reported " << reported[0];
        EXPECT_TRUE(Parts(p) == before) << what << ": the package changed";
    }
    void ExpectRefused(CAutomationPackage& p, const std::vector<uint8_t>& damaged,
                       const std::set<long>& blocks, const std::string& what) {
        WriteFile(Path("damaged.atx"), damaged);
        ExpectRefused(p, Path("damaged.atx"), blocks, what);
    }
};

TEST_F(PackageLoadTest, ABlockFileWithAnUnreadableListedBlockFailsAndChangesNothing) {
    CAutomationPackage mix;
    Fill(mix, 1);
    ASSERT_EQ(mix.SaveToBlockFile(Path("mix.atx")), 1);
    const std::vector<uint8_t> good = ReadFile(Path("mix.atx"));
    const std::vector<Listed> listed = Directory(good);
    ASSERT_EQ(listed.size(), 19u) << "events, sizes, parameters, eight groups and the maps";

    CAutomationPackage open;
    Fill(open, 2);
    ASSERT_EQ(open.SaveToBlockFile(Path("open.atx")), 1);
    ASSERT_EQ(open.Load(Path("open.atx")), 1);

    // One flipped byte in the compressed events, and the file cut in half, which cuts every
    // block whose stored bytes reach past the half.
    ASSERT_EQ(listed[0].id, CAutomationPackage::BlockEvents);
    ASSERT_GT(listed[0].chunks, 0u);
    auto flipped = good;
    flipped[listed[0].offset + CAutomationBlockFile::kChunkHeaderSize + 20] ^= 0x10;
    ExpectRefused(open, flipped, {CAutomationPackage::BlockEvents}, "flipped byte");
    auto half = good;
    half.resize(good.size() / 2);
    std::set<long> cut;
    for (size_t i = 0; i < listed.size(); ++i) {
        const size_t end = i + 1 < listed.size() ? listed[i + 1].offset : good.size();
        if (end > half.size()) {
            cut.insert(listed[i].id);
        }
    }
    ExpectRefused(open, half, cut, "cut in half");

    // Every listed block on its own: pointed past the end of the file, its data is gone.
    for (const Listed& block : listed) {
        auto moved = good;
        PutU32(moved, block.directoryAt + 4, static_cast<uint32_t>(good.size()));
        ExpectRefused(open, moved, {block.id}, "block " + std::to_string(block.id));
    }

    // The undamaged file still loads, and replaces every part.
    ASSERT_EQ(open.Load(Path("mix.atx")), 1);
    mix.m_FileName = Path("mix.atx");
    mix.m_nPathCount = 256;  // as loaded on this 256-path system
    EXPECT_TRUE(Parts(open) == Parts(mix));
}

TEST_F(PackageLoadTest, AGroupBlockWhoseLengthsDisagreeWithItsSizeIsDamage) {
    CAutomationPackage open;
    Fill(open, 3);
    const uint8_t record[16] = {14, 0, 1, 0, 2, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
    struct Case {
        std::vector<uint8_t> group;
        const char* what;
    };
    std::vector<uint8_t> overlong(16 + 10, 0);
    overlong[0] = 11;  // eleven bytes stated, ten present
    std::vector<uint8_t> trailing(16 + 10, 0);
    trailing[0] = 9;  // nine stated, ten present
    const Case cases[] = {{std::vector<uint8_t>(15, 0), "shorter than its four lengths"},
                          {overlong, "lengths past the block"},
                          {trailing, "bytes no length accounts for"}};
    for (const Case& c : cases) {
        CAutomationBlockFile file;
        file.SetChunkPause(std::chrono::microseconds(0));
        ASSERT_TRUE(file.Open(Path("group.atx")));
        ASSERT_TRUE(file.WriteBlock(CAutomationPackage::BlockEvents, record, sizeof record));
        ASSERT_TRUE(file.WriteBlock(CAutomationPackage::kGroupBlockIds[5], c.group.data(),
                                    static_cast<uint32_t>(c.group.size())));
        ASSERT_TRUE(file.Close());
        ExpectRefused(open, Path("group.atx"), {CAutomationPackage::kGroupBlockIds[5]}, c.what);
        std::filesystem::remove(Path("group.atx"));
    }
}

TEST_F(PackageLoadTest, AFailedCompoundLoadLeavesThePackageAsItWas) {
    CAutomationPackage open;
    Fill(open, 4);
    WriteText(Path("foreign.aut"), "not a mix");
    ExpectRefused(open, Path("foreign.aut"), {0}, "not a compound file");
    ExpectRefused(open, Path("missing.aut"), {0}, "no file");

    ASSERT_EQ(open.Save(Path("mix.aut")), 1);
    CAutomationPackage other;
    Fill(other, 5);
    ASSERT_EQ(other.Load(Path("mix.aut")), 1);
    open.m_FileName = Path("mix.aut");
    open.m_nPathCount = 256;
    EXPECT_TRUE(Parts(other) == Parts(open));
}

}  // namespace
