#include <zlib.h>

#include <cstdio>

#include <objectkit/AutomationEventArray.h>
#include <platform/storage.h>

#include "FileTestSupport.h"
#include "LittleEndian.h"

namespace {

using platform::storage::CompoundFile;
namespace le = objectkit::le;

constexpr const char* kMainKey = "SOFTWARE\\Kestane Vantor\\Main";

CAutomationEvent Event(int32_t path, int32_t time, uint8_t module, uint8_t control, uint16_t value,
                       uint8_t flags = 0, uint16_t oldValue = 0) {
    CAutomationEvent e;
    e.path = path;
    e.timeStamp = time;
    e.module = module;
    e.control = control;
    e.value = value;
    e.flags = flags;
    e.oldValue = oldValue;
    return e;
}

// 300 events on paths 0 to 299 with every field varied.
CAutomationEventArray Mix300() {
    CAutomationEventArray a;
    for (int i = 0; i < 300; ++i) {
        a.Add(Event(i, i * 4 - 8, static_cast<uint8_t>(i % 31), static_cast<uint8_t>(i % 9),
                    static_cast<uint16_t>(i * 211), static_cast<uint8_t>(i),
                    static_cast<uint16_t>(65535 - i)));
    }
    return a;
}

std::vector<uint8_t> Record(const CAutomationEvent& e) {
    std::vector<uint8_t> r(20, 0);
    le::Put32(r.data(), 0x00010000);
    le::Put32(r.data() + 4, static_cast<uint32_t>(e.timeStamp));
    le::Put32(r.data() + 8, e.flags);
    r[12] = static_cast<uint8_t>(e.path);
    r[13] = e.module;
    r[14] = e.control;
    le::Put16(r.data() + 16, e.oldValue);
    le::Put16(r.data() + 18, e.value);
    return r;
}

class AutomationFileTest : public objectkit::test::TempDirTest {
  protected:
    // A file as another writer made it: the given streams only.
    void WriteStreams(const std::string& path,
                      const std::vector<std::pair<std::string, std::vector<uint8_t>>>& streams) {
        std::filesystem::remove(path);
        std::unique_ptr<CompoundFile> cf;
        ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, cf),
                  platform::storage::Status::Ok);
        for (const auto& [name, data] : streams) {
            cf->writeStream(name, data);
        }
        ASSERT_EQ(cf->close(), platform::storage::Status::Ok);
    }
    static std::vector<uint8_t> Version(uint8_t major, uint8_t minor) {
        std::vector<uint8_t> v(40, 0);
        v[0] = major;
        v[1] = minor;
        return v;
    }
    static std::vector<uint8_t> Compressed(const std::vector<uint8_t>& raw, uint32_t statedLength) {
        uLongf size = compressBound(raw.size());
        std::vector<uint8_t> out(4 + size);
        le::Put32(out.data(), statedLength);
        EXPECT_EQ(compress(out.data() + 4, &size, raw.data(), raw.size()), Z_OK);
        out.resize(4 + size);
        return out;
    }
    static CAutomationEventArray Preloaded() {
        CAutomationEventArray a;
        a.Add(Event(3, 100, 1, 2, 777));
        return a;
    }
};

TEST_F(AutomationFileTest, EightBitPathsKeepTheLowByteAndEveryOtherField) {
    const std::string path = Path("mix.aut");
    const CAutomationEventArray saved = Mix300();
    ASSERT_EQ(saved.Save(path), 1);

    CAutomationEventArray loaded = Preloaded();
    int pathMode = -1;
    ASSERT_EQ(loaded.Load(path, pathMode), 1);
    EXPECT_EQ(pathMode, 0);
    ASSERT_EQ(loaded.GetSize(), 300);
    for (int i = 0; i < 300; ++i) {
        CAutomationEvent want = saved[i];
        want.path = i % 256;
        EXPECT_EQ(loaded[i], want) << i;
    }
}

TEST_F(AutomationFileTest, LargeArraysCrossEveryPieceBoundaryIntact) {
    // 120,000 records (2.4 MB): written in 256 KB pieces and read in 1 MB pieces, neither a
    // multiple of the 20-byte record.
    CAutomationEventArray saved;
    saved.SetSize(120000);
    for (int i = 0; i < saved.GetSize(); ++i) {
        saved[i] = Event(i % 256, i, static_cast<uint8_t>(i % 31), static_cast<uint8_t>(i % 9),
                         static_cast<uint16_t>(i * 7), static_cast<uint8_t>(i >> 3),
                         static_cast<uint16_t>(i >> 1));
    }
    ASSERT_EQ(saved.Save(Path("large.aut")), 1);
    CAutomationEventArray loaded;
    ASSERT_EQ(loaded.Load(Path("large.aut")), 1);
    ASSERT_EQ(loaded.GetSize(), saved.GetSize());
    for (int i = 0; i < saved.GetSize(); ++i) {
        ASSERT_EQ(loaded[i], saved[i]) << i;
    }
}

TEST_F(AutomationFileTest, SixteenBitFilesNeedASystemWithFiveHundredPaths) {
    const std::string path = Path("wide.aut");
    const CAutomationEventArray saved = Mix300();
    if (HaveRegistry()) {
        ASSERT_TRUE(SetMachineDword(kMainKey, "Max Paths Mode", 1));
        ASSERT_EQ(saved.Save(path), 1);
        CAutomationEventArray loaded;
        int pathMode = -1;
        ASSERT_EQ(loaded.Load(path, pathMode), 1);
        EXPECT_EQ(pathMode, 1);
        ASSERT_EQ(loaded.GetSize(), 300);
        for (int i = 0; i < 300; ++i) {
            EXPECT_EQ(loaded[i], saved[i]) << i;
        }
        ASSERT_TRUE(SetMachineDword(kMainKey, "Max Paths Mode", 0));
    } else {
        std::vector<uint8_t> mode(4, 0);
        mode[0] = 1;
        WriteStreams(path, {{"Path Mode", mode}, {"AutomationData", std::vector<uint8_t>(40)}});
    }
    CAutomationEventArray refused = Preloaded();
    int pathMode = -1;
    EXPECT_EQ(refused.Load(path, pathMode), 0);
    EXPECT_EQ(pathMode, 1);
    ASSERT_EQ(refused.GetSize(), 1);
    EXPECT_EQ(refused[0].value, 777);
}

TEST_F(AutomationFileTest, OldAndShortFilesLoadAsTheFormatSays) {
    const std::string path = Path("old.aut");
    const auto e1 = Event(200, 40, 5, 3, 1000, 7, 999);
    const auto e2 = Event(17, -4, 30, 8, 65535);
    auto records = Record(e1);
    auto r2 = Record(e2);
    records.insert(records.end(), r2.begin(), r2.end());
    records.resize(records.size() + 7, 0xEE);  // a partial record at the end is ignored

    // No "Path Mode" and no "File Version": 8-bit records, path mode 0, version 1.0.
    WriteStreams(path, {{"AutomationData", records}});
    CAutomationEventArray a = Preloaded();
    int pathMode = -1;
    ASSERT_EQ(a.Load(path, pathMode), 1);
    EXPECT_EQ(pathMode, 0);
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[0], e1);
    EXPECT_EQ(a[1], e2);

    // 19 bytes: not one record; the array keeps its events and the load succeeds.
    WriteStreams(path, {{"AutomationData", std::vector<uint8_t>(19, 1)}});
    a = Preloaded();
    EXPECT_EQ(a.Load(path), 1);
    ASSERT_EQ(a.GetSize(), 1);
    EXPECT_EQ(a[0].value, 777);

    // Without "AutomationData", or without a file at all, the load fails.
    WriteStreams(path, {{"Other", std::vector<uint8_t>(40)}});
    EXPECT_EQ(a.Load(path), 0);
    EXPECT_EQ(a.Load(Path("missing.aut")), 0);
    WriteText(Path("text.aut"), "not a compound file");
    EXPECT_EQ(a.Load(Path("text.aut")), 0);
    EXPECT_EQ(a.GetSize(), 1);
}

TEST_F(AutomationFileTest, CompressedVersionsOneOneAndOneTwoLoad) {
    const std::string path = Path("packed.aut");
    CAutomationEventArray source;
    std::vector<uint8_t> raw;
    for (int i = 0; i < 1000; ++i) {
        auto e = Event(i % 256, i, static_cast<uint8_t>(i % 5), 1, static_cast<uint16_t>(i));
        source.Add(e);
        auto r = Record(e);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    for (uint8_t minor : {1, 2}) {
        WriteStreams(path,
                     {{"File Version", Version(1, minor)},
                      {"AutomationData", Compressed(raw, static_cast<uint32_t>(raw.size()))}});
        CAutomationEventArray a = Preloaded();
        ASSERT_EQ(a.Load(path), 1) << int(minor);
        ASSERT_EQ(a.GetSize(), 1000);
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(a[i], source[i]) << i;
        }
    }
    // Version 1.3 is not compressed: the same bytes are taken as records.
    WriteStreams(path, {{"File Version", Version(1, 3)}, {"AutomationData", raw}});
    CAutomationEventArray plain;
    ASSERT_EQ(plain.Load(path), 1);
    EXPECT_EQ(plain.GetSize(), 1000);
}

TEST_F(AutomationFileTest, DamagedCompressedDataEmptiesTheArrayAndFails) {
    const std::string path = Path("bad.aut");
    std::vector<uint8_t> raw(2000, 0x11);
    auto packed = Compressed(raw, 2000);
    auto damaged = packed;
    damaged[10] ^= 0x55;
    damaged[11] ^= 0x55;

    struct Case {
        std::vector<uint8_t> data;
        int result;
        const char* what;
    };
    const Case cases[] = {
        {damaged, 0, "damaged zlib stream"},
        {Compressed(raw, 0xFFFFFFFF), 0, "stated length far beyond what zlib can produce"},
        {Compressed(raw, 1000), 0, "stated length too short"},
        {std::vector<uint8_t>{1, 2}, 0, "no length"},
        {Compressed(raw, 19), 1, "length below one record"},
        // The data inflates into room for whole records only (stated length / 20 of them):
        // bytes beyond that mean the length and the data disagree.
        {Compressed(std::vector<uint8_t>(21, 0x11), 21), 0, "one byte past the last record"},
        {Compressed(std::vector<uint8_t>(2010, 0x11), 2010), 0, "half a record past the last"},
    };
    for (const auto& c : cases) {
        WriteStreams(path, {{"File Version", Version(1, 1)}, {"AutomationData", c.data}});
        CAutomationEventArray a = Preloaded();
        EXPECT_EQ(a.Load(path), c.result) << c.what;
        EXPECT_EQ(a.GetSize(), 0) << c.what;
    }
    // A stated length with a partial record beyond the data's whole records still loads them.
    WriteStreams(path,
                 {{"File Version", Version(1, 2)}, {"AutomationData", Compressed(raw, 2019)}});
    CAutomationEventArray a = Preloaded();
    EXPECT_EQ(a.Load(path), 1);
    EXPECT_EQ(a.GetSize(), 100);
}

TEST_F(AutomationFileTest, SavedFilesShowFourStreamsToOtherToolsAndKeepTheCallersStreams) {
    const std::string path = Path("shared.aut");
    WriteStreams(path, {{"Mixer Notes", std::vector<uint8_t>(5000, 'n')},
                        {"AutomationData", std::vector<uint8_t>(999999, 0)}});
    CAutomationEventArray a;
    for (int i = 0; i < 10; ++i) {
        a.Add(Event(i, i, 0, 0, 1));
    }
    ASSERT_EQ(a.Save(path), 1);

    const std::string cmd =
        "/usr/bin/python3 -c 'import olefile; o=olefile.OleFileIO(\"" + path +
        "\"); print(sorted((\"/\".join(e), o.get_size(\"/\".join(e))) for e in o.listdir()))' 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p)) {
            out += buf;
        }
        pclose(p);
    }
    EXPECT_EQ(out,
              "[('AutomationData', 200), ('File Version', 40), ('Mixer Notes', 5000), "
              "('Path Mode', 4), ('Time And Date', 16)]\n");

    std::unique_ptr<CompoundFile> cf;
    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::Read, cf),
              platform::storage::Status::Ok);
    std::vector<uint8_t> version, stamp;
    ASSERT_EQ(cf->readStream("File Version", version), platform::storage::Status::Ok);
    ASSERT_EQ(cf->readStream("Time And Date", stamp), platform::storage::Status::Ok);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[1], 4);
    const int32_t yearsSince1900 = static_cast<int32_t>(le::Get32(version.data() + 4 + 5 * 4));
    EXPECT_EQ(le::Get16(stamp.data()), yearsSince1900 + 1900);
    EXPECT_EQ(le::Get32(version.data() + 4 + 4 * 4) + 1, le::Get16(stamp.data() + 2));  // month
    std::vector<uint8_t> data;
    ASSERT_EQ(cf->readStream("AutomationData", data), platform::storage::Status::Ok);
    EXPECT_EQ(le::Get32(data.data()), 0x00010000u);

    // While the file is held open, another save or load fails instead of waiting.
    EXPECT_EQ(a.Save(path), 0);
    CAutomationEventArray b;
    EXPECT_EQ(b.Load(path), 0);
    cf.reset();
    EXPECT_EQ(b.Load(path), 1);
    EXPECT_EQ(b.GetSize(), 10);
}

}  // namespace
