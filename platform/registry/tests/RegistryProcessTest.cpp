// Several processes on one hive: no lost writes, and a killed writer leaves the hive whole.
#include <gtest/gtest.h>
#include <platform/registry.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "TempRegistry.h"

extern char** environ;

using namespace platform::registry;
using platform::registry::testing::TempRegistry;

namespace {

pid_t spawnWriter(std::vector<std::string> args, int* stdoutFd = nullptr) {
    args.insert(args.begin(), REGISTRY_WRITER);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (stdoutFd != nullptr) {
        if (pipe(pipeFds) != 0) {
            return -1;
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, REGISTRY_WRITER, &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (stdoutFd != nullptr) {
        close(pipeFds[1]);
        *stdoutFd = pipeFds[0];
    }
    return pid;
}

int waitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t dword(const Value& value) {
    return value.data.size() == 4 ? value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                        static_cast<uint32_t>(value.data[3]) << 24
                                  : ~0u;
}

}  // namespace

TEST(SeveralProcesses, WritingToOneHiveAtOnceLoseNoWrite) {
    TempRegistry temp;
    constexpr int kCount = 2500;
    pid_t a = spawnWriter({"values", "a", std::to_string(kCount)});
    pid_t b = spawnWriter({"values", "b", std::to_string(kCount)});
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    // This process reads and writes in the same hive meanwhile.
    Key mine;
    ASSERT_EQ(Key::root(Hive::LocalMachine).create("Shared", mine), Status::Ok);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(setDword(mine, "c" + std::to_string(i), i), Status::Ok);
    }
    EXPECT_EQ(waitExit(a), 0);
    EXPECT_EQ(waitExit(b), 0);

    Key shared;
    ASSERT_EQ(Key::root(Hive::LocalMachine).open("Shared", shared), Status::Ok);
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kCount; ++i) {
            Value value;
            ASSERT_EQ(shared.query(prefix + std::to_string(i), value), Status::Ok) << prefix << i;
            ASSERT_EQ(dword(value), static_cast<uint32_t>(i));
        }
    }
    std::string name;
    EXPECT_EQ(shared.enumValue(2 * kCount + 200 - 1, name), Status::Ok);
    EXPECT_EQ(shared.enumValue(2 * kCount + 200, name), Status::NotFound);
}

TEST(SeveralProcesses, AWriterKilledMidStreamLeavesTheHiveWholeAndWritable) {
    TempRegistry temp;
    for (int round = 0; round < 3; ++round) {
        int out = -1;
        pid_t pid = spawnWriter({"churn"}, &out);
        ASSERT_GT(pid, 0);
        char ready[8] = {};
        ASSERT_GT(read(out, ready, sizeof ready), 0);
        close(out);
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 70 * round));
        kill(pid, SIGKILL);
        waitExit(pid);

        // SQLite's own check of the file after the crash.
        resetForTests();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(temp.machineHiveFile().c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok");
        sqlite3_finalize(stmt);
        sqlite3_close(db);

        Key churn;
        ASSERT_EQ(Key::root(Hive::LocalMachine).open("Churn", churn), Status::Ok);
        Value blob;
        ASSERT_EQ(churn.query("Blob", blob), Status::Ok);
        ASSERT_GE(blob.data.size(), 200000u);
        const uint32_t n = blob.data[0] | blob.data[1] << 8 | blob.data[2] << 16 |
                           static_cast<uint32_t>(blob.data[3]) << 24;
        EXPECT_EQ(blob.data.size(), 200000u + n % 1000);
        EXPECT_EQ(std::count(blob.data.begin() + 4, blob.data.end(), static_cast<uint8_t>(n)),
                  static_cast<long>(blob.data.size() - 4));
        // Every tree is there whole or not at all.
        for (int t = 0; t < 4; ++t) {
            Key top;
            std::string name = "Tree" + std::to_string(t);
            if (churn.open(name, top) == Status::Ok) {
                Key leaf;
                EXPECT_EQ(top.open("A\\B\\C", leaf), Status::Ok) << name;
            }
        }
        EXPECT_EQ(setDword(churn, "after", 1), Status::Ok);
    }
}
