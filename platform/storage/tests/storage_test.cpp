#include "platform/storage.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <unistd.h>
#include <csignal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::storage::CompoundFile;
using platform::storage::Status;

namespace {

class CompoundFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("storage_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const char* name) const { return (dir_ / name).string(); }

    static std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

    fs::path dir_;
};

std::string runPython(const std::string& script) {
    std::string cmd = "/usr/bin/python3 -c '" + script + "' 2>&1";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        return "popen failed";
    }
    char buf[512];
    while (fgets(buf, sizeof buf, p)) {
        out += buf;
    }
    pclose(p);
    return out;
}

// Writes a compound file the way another program might: a class id on the root, a storage
// with its own class id and a stream inside it, and a root stream.
void writeForeignFile(const std::string& path) {
    gsf_init();
    GsfOutput* sink = gsf_output_stdio_new(path.c_str(), nullptr);
    ASSERT_NE(sink, nullptr);
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    guint8 rootId[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), rootId);
    GsfOutput* sub = gsf_outfile_new_child(ole, "Mixer", TRUE);
    guint8 subId[16] = {0xAA, 0xBB};
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(sub), subId);
    GsfOutput* inner = gsf_outfile_new_child(GSF_OUTFILE(sub), "Faders", FALSE);
    std::string big(10000, 'f');
    gsf_output_write(inner, big.size(), reinterpret_cast<const guint8*>(big.data()));
    gsf_output_close(inner);
    g_object_unref(inner);
    gsf_output_close(sub);
    g_object_unref(sub);
    GsfOutput* mine = gsf_outfile_new_child(ole, "Caller Notes", FALSE);
    gsf_output_write(mine, 5, reinterpret_cast<const guint8*>("notes"));
    gsf_output_close(mine);
    g_object_unref(mine);
    gsf_output_close(GSF_OUTPUT(ole));  // closes the sink as well
    g_object_unref(ole);
    g_object_unref(sink);
}

}  // namespace

TEST_F(CompoundFileTest, WrittenStreamsReadBackAndOtherToolsSeeThem) {
    std::string path = file("a.aut");
    std::unique_ptr<CompoundFile> cf;
    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, cf), Status::Ok);
    std::vector<uint8_t> large(300000);
    for (size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_EQ(cf->writeStream("Small", bytes("abcd")), Status::Ok);
    ASSERT_EQ(cf->writeStream("Large", large), Status::Ok);
    ASSERT_EQ(cf->writeStream("Empty", std::vector<uint8_t>{}), Status::Ok);
    ASSERT_EQ(cf->close(), Status::Ok);
    EXPECT_TRUE(platform::storage::isStorageFile(path));

    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::Read, cf), Status::Ok);
    std::vector<uint8_t> got;
    ASSERT_EQ(cf->readStream("Large", got), Status::Ok);
    EXPECT_EQ(got, large);
    ASSERT_EQ(cf->readStream("Small", got), Status::Ok);
    EXPECT_EQ(got, bytes("abcd"));
    EXPECT_EQ(cf->readStream("Large", got, 1000), Status::TooLarge);
    EXPECT_EQ(cf->readStream("Missing", got), Status::NotFound);
    EXPECT_EQ(cf->writeStream("X", bytes("x")), Status::ReadOnly);
    cf.reset();

    std::string out = runPython(
        "import olefile,sys\n"
        "o=olefile.OleFileIO(\"" +
        path +
        "\")\n"
        "print(sorted((\"/\".join(e),o.get_size(\"/\".join(e))) for e in o.listdir()))");
    EXPECT_EQ(out, "[('Empty', 0), ('Large', 300000), ('Small', 4)]\n");
}

TEST_F(CompoundFileTest, ReplacingAStreamKeepsEveryOtherPartOfTheTree) {
    std::string path = file("foreign.aut");
    writeForeignFile(path);
    {
        std::unique_ptr<CompoundFile> cf;
        ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, cf), Status::Ok);
        ASSERT_EQ(cf->writeStream("Caller Notes", bytes("replaced")), Status::Ok);
        ASSERT_EQ(cf->writeStream("New", bytes("n")), Status::Ok);
        ASSERT_EQ(cf->close(), Status::Ok);
    }
    std::string out = runPython(
        "import olefile\n"
        "o=olefile.OleFileIO(\"" +
        path +
        "\")\n"
        "print(o.root.clsid)\n"
        "print(o.getclsid(\"Mixer\"))\n"
        "print(len(o.openstream(\"Mixer/Faders\").read()))\n"
        "print(o.openstream(\"Caller Notes\").read().decode())\n"
        "print(o.openstream(\"New\").read().decode())");
    EXPECT_EQ(out,
              "04030201-0605-0807-090A-0B0C0D0E0F10\n"
              "0000BBAA-0000-0000-0000-000000000000\n"
              "10000\nreplaced\nn\n");
    // No temporaries are left beside the file.
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(CompoundFileTest, OpeningIsExclusiveAcrossOpenersAndProcesses) {
    std::string path = file("locked.aut");
    std::unique_ptr<CompoundFile> first, second;
    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, first), Status::Ok);
    EXPECT_EQ(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, second), Status::Locked);

    pid_t child = fork();
    if (child == 0) {
        std::unique_ptr<CompoundFile> other;
        _exit(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, other) == Status::Locked ? 0
                                                                                               : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_EQ(first->writeStream("S", bytes("1")), Status::Ok);
    ASSERT_EQ(first->close(), Status::Ok);
    // After the rename a new opener locks the new file.
    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::Read, second), Status::Ok);
    EXPECT_EQ(CompoundFile::open(path, CompoundFile::Mode::Read, first), Status::Locked);
}

TEST_F(CompoundFileTest, MissingOrForeignFilesAreNotTakenForStorages) {
    std::unique_ptr<CompoundFile> cf;
    EXPECT_EQ(CompoundFile::open(file("none"), CompoundFile::Mode::Read, cf), Status::NotFound);
    EXPECT_EQ(cf, nullptr);

    std::ofstream(file("text")) << "not a compound file at all, just text";
    EXPECT_EQ(CompoundFile::open(file("text"), CompoundFile::Mode::Read, cf), Status::NotStorage);
    EXPECT_FALSE(platform::storage::isStorageFile(file("text")));

    // A signature followed by garbage is refused, not crashed on.
    std::string bad("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    bad += std::string(600, '\xFF');
    std::ofstream(file("bad"), std::ios::binary) << bad;
    EXPECT_EQ(CompoundFile::open(file("bad"), CompoundFile::Mode::Read, cf), Status::NotStorage);

    // Read-write over a foreign file starts a new storage when something is written.
    ASSERT_EQ(CompoundFile::open(file("text"), CompoundFile::Mode::ReadWrite, cf), Status::Ok);
    EXPECT_TRUE(cf->streams().empty());
    ASSERT_EQ(cf->writeStream("S", bytes("s")), Status::Ok);
    ASSERT_EQ(cf->close(), Status::Ok);
    EXPECT_TRUE(platform::storage::isStorageFile(file("text")));

    // Opening for writing and writing nothing leaves no empty file behind.
    ASSERT_EQ(CompoundFile::open(file("never"), CompoundFile::Mode::ReadWrite, cf), Status::Ok);
    EXPECT_EQ(cf->close(), Status::Ok);
    EXPECT_FALSE(fs::exists(file("never")));
}

TEST_F(CompoundFileTest, AFailedCommitLeavesTheOldFileInPlace) {
    std::string path = file("keep.aut");
    std::unique_ptr<CompoundFile> cf;
    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::ReadWrite, cf), Status::Ok);
    ASSERT_EQ(cf->writeStream("S", bytes("old")), Status::Ok);
    ASSERT_EQ(cf->close(), Status::Ok);

    // A child process with a file size limit cannot write the new file: a full disk.
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::unique_ptr<CompoundFile> w;
        if (CompoundFile::open(path, CompoundFile::Mode::ReadWrite, w) != Status::Ok) {
            _exit(2);
        }
        w->writeStream("S", std::vector<uint8_t>(100000, 'n'));
        _exit(w->close() == Status::IoError ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    ASSERT_EQ(CompoundFile::open(path, CompoundFile::Mode::Read, cf), Status::Ok);
    std::vector<uint8_t> got;
    ASSERT_EQ(cf->readStream("S", got), Status::Ok);
    EXPECT_EQ(got, bytes("old"));
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}
