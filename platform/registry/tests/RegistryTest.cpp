#include <gtest/gtest.h>
#include <platform/registry.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "TempRegistry.h"

using namespace platform::registry;
using platform::registry::testing::TempRegistry;

namespace {

std::vector<uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

Key makeKey(std::string_view path, bool isVolatile = false) {
    Key key;
    EXPECT_EQ(Key::root(Hive::LocalMachine).create(path, key, isVolatile), Status::Ok) << path;
    return key;
}

// The names an enumeration of the key gives until its first failure.
std::vector<std::string> enumerate(const Key& key,
                                   Status (Key::*next)(uint32_t, std::string&) const) {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; (key.*next)(i, name) == Status::Ok; ++i) {
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> subkeys(const Key& key) {
    return enumerate(key, &Key::enumKey);
}

std::vector<std::string> valueNames(const Key& key) {
    return enumerate(key, &Key::enumValue);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs `body` in a child process without root's power to write anywhere, and returns its exit
// status (0 = every check passed).
int runUnprivileged(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(100);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

class ARegistry : public ::testing::Test {
  protected:
    TempRegistry temp;
};

}  // namespace

TEST_F(ARegistry, KeepsEveryValueTypeAndItsBytesExactly) {
    Key key = makeKey("Software\\Kestane Vantor\\Main");
    const std::vector<std::pair<ValueType, std::vector<uint8_t>>> cases = {
        {REG_SZ, bytes(std::string_view("6\0", 2))},
        {REG_EXPAND_SZ, bytes(std::string_view("%HOME%\\x\0", 9))},
        {REG_DWORD, {6, 0, 0, 0}},
        {REG_MULTI_SZ, bytes(std::string_view("a\0bc\0\0", 6))},
        {REG_BINARY, {}},
        {REG_BINARY, {0x01}},
        {REG_BINARY, {0x00, 0xff, 0x7f}},
        {REG_BINARY, std::vector<uint8_t>(70001, 0xa5)},
        {REG_NONE, {1, 2}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string name = "v" + std::to_string(i);
        ASSERT_EQ(key.set(name, cases[i].first, cases[i].second), Status::Ok);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        Value value;
        ASSERT_EQ(key.query("v" + std::to_string(i), value), Status::Ok);
        EXPECT_EQ(value.type, cases[i].first) << i;
        EXPECT_EQ(value.data, cases[i].second) << i;
    }
    // Overwriting changes type and bytes together.
    ASSERT_EQ(setDword(key, "v0", 7), Status::Ok);
    Value value;
    ASSERT_EQ(key.query("V0", value), Status::Ok);
    EXPECT_EQ(value.type, REG_DWORD);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(key.set("bad", static_cast<ValueType>(11), {}), Status::InvalidType);
    EXPECT_EQ(key.query("bad", value), Status::NotFound);
}

TEST_F(ARegistry, ResolvesPathsAndNamesWithoutRegardToCaseButKeepsTheFirstSpelling) {
    makeKey("Software\\Kestane Vantor\\Main");
    Key again;
    bool created = true;
    ASSERT_EQ(Key::root(Hive::LocalMachine)
                  .create("SOFTWARE\\kestane vantor\\MAIN", again, false, &created),
              Status::Ok);
    EXPECT_FALSE(created);
    EXPECT_EQ(again.path(), "Software\\Kestane Vantor\\Main");
    ASSERT_EQ(setDword(again, "VantorConsoleType", 6), Status::Ok);

    Key opened;
    ASSERT_EQ(Key::root(Hive::LocalMachine).open("software\\KESTANE VANTOR", opened), Status::Ok);
    Key main;
    ASSERT_EQ(opened.open("main", main), Status::Ok);
    Value value;
    ASSERT_EQ(main.query("vantorconsoletype", value), Status::Ok);
    EXPECT_EQ(valueNames(main), std::vector<std::string>{"VantorConsoleType"});
    EXPECT_EQ(subkeys(opened), std::vector<std::string>{"Main"});

    // The two hives are separate.
    Key user;
    EXPECT_EQ(Key::root(Hive::CurrentUser).open("Software\\Kestane Vantor", user),
              Status::NotFound);
}

TEST_F(ARegistry, RefusesMalformedPathsAndNamesWithoutCreatingAnything) {
    const Key root = Key::root(Hive::LocalMachine);
    const std::string longest(255, 'k');
    const std::vector<std::string> bad = {
        "\\Software",
        "Software\\\\Main",
        "Software\\Main\\\\",
        "\\",
        "a\tb",
        std::string("a\0b", 3),
        "x\x7f",
        longest + "k",
        "ok\\" + longest + "kk",
    };
    for (const std::string& path : bad) {
        Key key;
        EXPECT_EQ(root.create(path, key), Status::InvalidPath) << path;
        EXPECT_EQ(root.open(path, key), Status::InvalidPath) << path;
        EXPECT_EQ(root.deleteTree(path), Status::InvalidPath) << path;
    }
    EXPECT_TRUE(subkeys(root).empty());

    Key key;
    EXPECT_EQ(root.create(longest, key), Status::Ok);
    EXPECT_EQ(root.create("Trailing\\", key), Status::Ok);
    EXPECT_EQ(key.path(), "Trailing");
    EXPECT_EQ(root.deleteTree(""), Status::InvalidPath);
    EXPECT_EQ(key.set(std::string("a\0b", 3), REG_SZ, {}), Status::InvalidPath);
    EXPECT_EQ(key.set(std::string(16384, 'n'), REG_SZ, {}), Status::InvalidPath);
    EXPECT_EQ(Key().set("x", REG_SZ, {}), Status::InvalidPath);

    // A default-constructed key is refused by every call.
    const Key none;
    Value value;
    EXPECT_EQ(none.open("", key), Status::InvalidPath);
    EXPECT_EQ(none.create("x", key), Status::InvalidPath);
    EXPECT_EQ(none.query("x", value), Status::InvalidPath);
    EXPECT_EQ(none.deleteValue("x"), Status::InvalidPath);
    EXPECT_EQ(none.deleteTree("x"), Status::InvalidPath);
    std::string name;
    EXPECT_EQ(none.enumKey(0, name), Status::InvalidPath);
    EXPECT_EQ(none.enumValue(0, name), Status::InvalidPath);
}

TEST_F(ARegistry, EnumeratesInTheOrderOfCreationAndStopsAtNamesThatDoNotFitTheBuffer) {
    Key key = makeKey("Order");
    for (const char* name : {"zeta", "alpha", "mid"}) {
        Key child;
        ASSERT_EQ(key.create(name, child), Status::Ok);
        ASSERT_EQ(setDword(key, name, 1), Status::Ok);
    }
    // Rewriting a value keeps its place.
    ASSERT_EQ(setDword(key, "ZETA", 2), Status::Ok);
    EXPECT_EQ(subkeys(key), (std::vector<std::string>{"zeta", "alpha", "mid"}));
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"zeta", "alpha", "mid"}));

    std::string name;
    EXPECT_EQ(key.enumKey(3, name), Status::NotFound);
    EXPECT_EQ(key.enumValue(3, name), Status::NotFound);

    // 259 characters fit the 260-character buffer with its terminator; 260 do not.
    ASSERT_EQ(setDword(key, std::string(259, 'f'), 1), Status::Ok);
    ASSERT_EQ(setDword(key, std::string(260, 'g'), 1), Status::Ok);
    ASSERT_EQ(setDword(key, "after", 1), Status::Ok);
    EXPECT_EQ(key.enumValue(3, name), Status::Ok);
    EXPECT_EQ(name.size(), 259u);
    EXPECT_EQ(key.enumValue(4, name), Status::MoreData);
    EXPECT_EQ(key.enumValue(5, name), Status::Ok);
    EXPECT_EQ(name, "after");
}

TEST_F(ARegistry, DeletesATreeButNotItsSiblingsThatShareAPrefix) {
    Key a = makeKey("A");
    makeKey("A\\B\\C\\D");
    makeKey("A\\BC");
    makeKey("A\\B!x");
    Key b;
    ASSERT_EQ(a.open("b", b), Status::Ok);
    ASSERT_EQ(setDword(b, "gone", 1), Status::Ok);
    Key c;
    ASSERT_EQ(b.open("C", c), Status::Ok);
    ASSERT_EQ(setDword(c, "gone", 1), Status::Ok);
    Key bc;
    ASSERT_EQ(a.open("BC", bc), Status::Ok);
    ASSERT_EQ(setDword(bc, "kept", 1), Status::Ok);

    ASSERT_EQ(a.deleteTree("b"), Status::Ok);
    EXPECT_EQ(subkeys(a), (std::vector<std::string>{"BC", "B!x"}));
    Value value;
    EXPECT_EQ(bc.query("kept", value), Status::Ok);
    // Handles of deleted keys see nothing and cannot write.
    EXPECT_EQ(c.query("gone", value), Status::NotFound);
    EXPECT_EQ(setDword(b, "again", 1), Status::NotFound);
    EXPECT_EQ(a.deleteTree("B"), Status::NotFound);
    // A key made again under the old name starts empty.
    Key again = makeKey("A\\B\\C");
    EXPECT_EQ(again.query("gone", value), Status::NotFound);

    EXPECT_EQ(b.deleteValue("missing"), Status::NotFound);
    ASSERT_EQ(setDword(bc, "x", 1), Status::Ok);
    EXPECT_EQ(bc.deleteValue("X"), Status::Ok);
    EXPECT_EQ(bc.query("x", value), Status::NotFound);
}

TEST_F(ARegistry, KeepsVolatileKeysApartSoTheyVanishWithTheRuntimeDirectory) {
    Key base = makeKey("Session");
    Key first;
    ASSERT_EQ(base.create("Persistent1", first), Status::Ok);
    Key vol;
    ASSERT_EQ(base.create("Live\\Inner", vol, true), Status::Ok);
    Key later;
    ASSERT_EQ(base.create("Persistent2", later), Status::Ok);
    // A key made below a volatile one is volatile too, whatever the caller asked.
    Key below;
    ASSERT_EQ(vol.create("Below", below, false), Status::Ok);
    ASSERT_EQ(setDword(below, "n", 5), Status::Ok);
    EXPECT_EQ(subkeys(base), (std::vector<std::string>{"Persistent1", "Live", "Persistent2"}));

    // Log-off: the runtime directory is cleared.
    resetForTests();
    std::filesystem::remove_all(temp.dir() + "/volatile");
    Key reopened;
    ASSERT_EQ(Key::root(Hive::LocalMachine).open("Session", reopened), Status::Ok);
    EXPECT_EQ(subkeys(reopened), (std::vector<std::string>{"Persistent1", "Persistent2"}));
    Key gone;
    EXPECT_EQ(reopened.open("Live\\Inner\\Below", gone), Status::NotFound);
}

TEST_F(ARegistry, DeletingAPersistentKeyAlsoDeletesVolatileKeysBelowIt) {
    Key base = makeKey("Top\\Mid");
    Key vol;
    ASSERT_EQ(base.create("Vol", vol, true), Status::Ok);
    ASSERT_EQ(Key::root(Hive::LocalMachine).deleteTree("top"), Status::Ok);
    Key key;
    EXPECT_EQ(Key::root(Hive::LocalMachine).open("Top\\Mid\\Vol", key), Status::NotFound);
    makeKey("Top\\Mid");
    EXPECT_EQ(Key::root(Hive::LocalMachine).open("Top\\Mid\\Vol", key), Status::NotFound);
}

TEST_F(ARegistry, RefusesAFileThatIsNotARegistryDatabaseAndLeavesItUntouched) {
    const std::string garbage = "this is a text file, not a database\n" + std::string(5000, 'x');
    { std::ofstream(temp.machineHiveFile(), std::ios::binary) << garbage; }
    Key key;
    EXPECT_EQ(Key::root(Hive::LocalMachine).open("Software", key), Status::Corrupt);
    EXPECT_EQ(Key::root(Hive::LocalMachine).create("Software", key), Status::Corrupt);
    EXPECT_EQ(setDword(Key::root(Hive::LocalMachine), "x", 1), Status::Corrupt);
    std::string name;
    EXPECT_EQ(Key::root(Hive::LocalMachine).enumKey(0, name), Status::Corrupt);
    // Bad arguments are reported as such, before the hive is looked at.
    EXPECT_EQ(Key::root(Hive::LocalMachine).open("a\\\\b", key), Status::InvalidPath);
    EXPECT_EQ(Key::root(Hive::LocalMachine).deleteTree(""), Status::InvalidPath);
    EXPECT_EQ(Key::root(Hive::LocalMachine).set("x", static_cast<ValueType>(11), {}),
              Status::InvalidType);
    EXPECT_EQ(Key::root(Hive::LocalMachine).deleteValue(std::string("a\0b", 3)),
              Status::InvalidPath);
    EXPECT_EQ(readFile(temp.machineHiveFile()), garbage);
    // The other hive is unaffected.
    EXPECT_EQ(Key::root(Hive::CurrentUser).create("Software", key), Status::Ok);
}

TEST_F(ARegistry, RefusesAnotherProgramsSqliteDatabaseAndLeavesItUntouched) {
    // Make a valid SQLite database in the user hive, then move it over the machine hive.
    Key key;
    ASSERT_EQ(Key::root(Hive::CurrentUser).create("Software", key), Status::Ok);
    resetForTests();
    std::filesystem::remove(temp.dir() + "/machine.db");
    // A foreign database: same format, different application id.
    std::string user = readFile(temp.dir() + "/user.db");
    ASSERT_GT(user.size(), 100u);
    user[68] = user[69] = user[70] = user[71] = 0x11;  // the application id field
    { std::ofstream(temp.machineHiveFile(), std::ios::binary) << user; }
    EXPECT_EQ(Key::root(Hive::LocalMachine).create("Software", key), Status::Corrupt);
    EXPECT_EQ(readFile(temp.machineHiveFile()), user);
}

TEST_F(ARegistry, ServesReadsButRefusesWritesWhenTheHiveCannotBeWritten) {
    Key key = makeKey("Software\\Kestane Vantor\\Main");
    ASSERT_EQ(setDword(key, "VantorConsoleType", 6), Status::Ok);
    resetForTests();
    ASSERT_EQ(chmod(temp.dir().c_str(), 0555), 0);
    for (const char* f : {"/machine.db", "/machine.db-wal", "/machine.db-shm"}) {
        chmod((temp.dir() + f).c_str(), 0444);
    }
    int result = runUnprivileged([] {
        Key k;
        if (Key::root(Hive::LocalMachine).open("SOFTWARE\\Kestane Vantor\\Main", k) != Status::Ok)
            return 1;
        Value v;
        if (k.query("VantorConsoleType", v) != Status::Ok || v.data[0] != 6)
            return 2;
        if (setDword(k, "VantorConsoleType", 3) != Status::AccessDenied)
            return 3;
        Key made;
        if (k.create("New", made) != Status::AccessDenied)
            return 4;
        if (k.deleteValue("VantorConsoleType") != Status::AccessDenied)
            return 5;
        if (Key::root(Hive::LocalMachine).deleteTree("Software") != Status::AccessDenied)
            return 6;
        // A hive that does not exist and cannot be made: empty, and read-only.
        if (Key::root(Hive::CurrentUser).open("Software", k) != Status::NotFound)
            return 7;
        if (Key::root(Hive::CurrentUser).create("Software", k) != Status::AccessDenied)
            return 8;
        return 0;
    });
    chmod(temp.dir().c_str(), 0755);
    EXPECT_EQ(result, 0);
    Value value;
    ASSERT_EQ(key.query("VantorConsoleType", value), Status::Ok);
    EXPECT_EQ(value.data[0], 6);
}

TEST_F(ARegistry, LosesNoWriteWhenThreadsWriteAtOnce) {
    Key key = makeKey("Threads");
    constexpr int kThreads = 4;
    constexpr int kWrites = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            Key own;
            Key::root(Hive::LocalMachine).create("Threads\\T" + std::to_string(t), own);
            for (int i = 0; i < kWrites; ++i) {
                setDword(own, "v" + std::to_string(i), static_cast<uint32_t>(t * 100000 + i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        Key own;
        ASSERT_EQ(key.open("t" + std::to_string(t), own), Status::Ok);
        EXPECT_EQ(valueNames(own).size(), static_cast<size_t>(kWrites));
        Value value;
        ASSERT_EQ(own.query("v299", value), Status::Ok);
        EXPECT_EQ(value.data[0] | value.data[1] << 8 | value.data[2] << 16, t * 100000 + 299);
    }
}
