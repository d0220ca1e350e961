#include <gtest/gtest.h>
#include <platform/registry.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "KregCommand.h"
#include "TempRegistry.h"

using platform::registry::testing::TempRegistry;

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result runKreg(std::vector<std::string> args) {
    std::ostringstream out, err;
    int code = kreg::Run(args, out, err);
    return {code, out.str(), err.str()};
}

class TheRegistryTool : public ::testing::Test {
  protected:
    TempRegistry temp;
};

const std::string kMain = "HKLM\\Software\\Kestane Vantor\\Main";

}  // namespace

TEST_F(TheRegistryTool, SetsAndGetsEveryTypeWithTheSyntaxOfTheRunScript) {
    EXPECT_EQ(runKreg({"set", kMain, "VantorConsoleType", "REG_DWORD", "6"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain, "VantorConsoleType"}).out, "6\n");
    EXPECT_EQ(
        runKreg({"get", "--type", "hklm\\SOFTWARE\\kestane vantor\\main", "vantorconsoletype"}).out,
        "REG_DWORD\t6\n");
    EXPECT_EQ(runKreg({"set", kMain, "Hex", "reg_dword", "0xFFFFFFFF"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain, "Hex"}).out, "4294967295\n");
    EXPECT_EQ(runKreg({"set", kMain, "Text", "REG_SZ", "6"}).code, 0);
    EXPECT_EQ(runKreg({"get", "-t", kMain, "Text"}).out, "REG_SZ\t6\n");
    EXPECT_EQ(runKreg({"set", kMain, "Path", "REG_EXPAND_SZ", "%HOME%\\x"}).code, 0);
    EXPECT_EQ(runKreg({"get", "-t", kMain, "Path"}).out, "REG_EXPAND_SZ\t%HOME%\\x\n");
    EXPECT_EQ(runKreg({"set", kMain, "Bin", "REG_BINARY", "0a1B", "ff,00", "7f:01"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain, "Bin"}).out, "0a 1b ff 00 7f 01\n");
    EXPECT_EQ(runKreg({"set", kMain, "Empty", "REG_BINARY"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain, "Empty"}).out, "\n");
    EXPECT_EQ(runKreg({"set", kMain, "Ports", "REG_MULTI_SZ", "COM1", "--volatile"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain, "Ports"}).out, "COM1\n--volatile\n");
    EXPECT_EQ(runKreg({"set", kMain, "", "REG_SZ", "default"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain}).out, "default\n");
    // Data that looks like a help request is still data.
    EXPECT_EQ(runKreg({"set", kMain, "Word", "REG_SZ", "--help"}).code, 0);
    EXPECT_EQ(runKreg({"get", kMain, "Word"}).out, "--help\n");
    EXPECT_EQ(runKreg({"set", "HKCU\\Software\\Mic", "Port", "REG_DWORD", "2"}).code, 0);
    EXPECT_EQ(runKreg({"get", "HKEY_CURRENT_USER\\software\\mic", "port"}).out, "2\n");
    EXPECT_EQ(runKreg({"get", "HKLM\\Software\\Mic", "Port"}).code, 1);
}

TEST_F(TheRegistryTool, ListsAndExportsATreeInIndexOrder) {
    ASSERT_EQ(runKreg({"set", kMain, "VantorConsoleType", "REG_DWORD", "6"}).code, 0);
    ASSERT_EQ(runKreg({"set", kMain, "Name", "REG_SZ", "say \"hi\" \\ there"}).code, 0);
    ASSERT_EQ(runKreg({"set", kMain, "Ports", "REG_MULTI_SZ", "a", "b"}).code, 0);
    ASSERT_EQ(runKreg({"set", kMain, "", "REG_BINARY", "01 ff"}).code, 0);
    ASSERT_EQ(
        runKreg({"set", "HKLM\\Software\\Kestane Vantor\\Alpha\\Deep", "X", "REG_EXPAND_SZ", "a"})
            .code,
        0);
    ASSERT_EQ(runKreg({"set", "HKLM\\Software\\Kestane Vantor\\Alpha", "Y", "REG_SZ", ""}).code, 0);

    Result list = runKreg({"list", "HKLM\\Software\\Kestane Vantor"});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, "Main\\\nAlpha\\\n");
    EXPECT_EQ(runKreg({"list", kMain}).out,
              "VantorConsoleType\tREG_DWORD\t6\n"
              "Name\tREG_SZ\tsay \"hi\" \\ there\n"
              "Ports\tREG_MULTI_SZ\ta\\0b\n"
              "@\tREG_BINARY\t01 ff\n");

    Result exported = runKreg({"export", "HKLM\\software\\kestane vantor"});
    EXPECT_EQ(exported.code, 0);
    EXPECT_EQ(exported.out,
              "[HKLM\\Software\\Kestane Vantor]\n"
              "\n"
              "[HKLM\\Software\\Kestane Vantor\\Main]\n"
              "\"VantorConsoleType\"=dword:00000006\n"
              "\"Name\"=\"say \\\"hi\\\" \\\\ there\"\n"
              "\"Ports\"=hex(7):61,00,62,00,00\n"
              "@=hex:01,ff\n"
              "\n"
              "[HKLM\\Software\\Kestane Vantor\\Alpha]\n"
              "\"Y\"=\"\"\n"
              "\n"
              "[HKLM\\Software\\Kestane Vantor\\Alpha\\Deep]\n"
              "\"X\"=hex(2):61,00\n");

    EXPECT_EQ(runKreg({"delete", kMain, "name"}).code, 0);
    Result gone = runKreg({"delete", kMain, "name"});
    EXPECT_EQ(gone.code, 1);
    EXPECT_EQ(gone.err, "kreg: value not found: " + kMain + " 'name'\n");
    EXPECT_EQ(runKreg({"delete-key", "HKLM\\Software\\Kestane Vantor\\alpha"}).code, 0);
    EXPECT_EQ(runKreg({"list", "HKLM\\Software\\Kestane Vantor"}).out, "Main\\\n");
    gone = runKreg({"delete-key", "HKLM\\Software\\Kestane Vantor\\alpha"});
    EXPECT_EQ(gone.code, 1);
    EXPECT_EQ(gone.err, "kreg: key not found: HKLM\\Software\\Kestane Vantor\\alpha\n");
}

TEST_F(TheRegistryTool, RejectsBadInputWithAClearMessageAndAUsageExitCode) {
    const std::vector<std::vector<std::string>> bad = {
        {"set", "HKXX\\Software", "n", "REG_SZ", "x"},
        {"set", "Software\\Kestane", "n", "REG_SZ", "x"},
        {"set", kMain, "n", "REG_QWORD", "1"},
        {"set", kMain, "n", "REG_DWORD", "6x"},
        {"set", kMain, "n", "REG_DWORD", "-1"},
        {"set", kMain, "n", "REG_DWORD", "4294967296"},
        {"set", kMain, "n", "REG_DWORD"},
        {"set", kMain, "n", "REG_SZ"},
        {"set", kMain, "n", "REG_SZ", "a", "b"},
        {"set", kMain, "n", "REG_BINARY", "abc"},
        {"set", kMain, "n", "REG_BINARY", "zz"},
        {"set", kMain, "n", "REG_MULTI_SZ", "a", "", "b"},
        {"set", "HKLM\\Software\\\\Main", "n", "REG_SZ", "x"},
        {"set", "HKLM\\" + std::string(256, 'k'), "n", "REG_SZ", "x"},
        {"get"},
        {"frobnicate", kMain},
        {"delete-key", "HKLM"},
        {"delete-key", "HKCU\\"},
        {"delete", kMain},
    };
    for (const auto& args : bad) {
        Result r = runKreg(args);
        EXPECT_EQ(r.code, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_EQ(r.err.rfind("kreg: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_NE(runKreg({"set", kMain, "n", "REG_QWORD", "1"}).err.find("REG_MULTI_SZ"),
              std::string::npos);
    // Nothing was created by the rejected commands.
    EXPECT_EQ(runKreg({"list", "HKLM"}).out, "");
    EXPECT_EQ(runKreg({"get", kMain, "n"}).code, 1);
    Result missing = runKreg({"list", kMain});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "kreg: key not found: " + kMain + "\n");
    EXPECT_EQ(runKreg({"export", kMain}).code, 1);
    EXPECT_EQ(runKreg({}).code, 2);
}

TEST_F(TheRegistryTool, ReportsAHiveThatIsNotADatabaseAndLeavesItAlone) {
    {
        std::ofstream(temp.machineHiveFile())
            << "not a database at all, but 100 bytes long...." << std::string(60, '.');
    }
    Result r = runKreg({"set", kMain, "VantorConsoleType", "REG_DWORD", "6"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("not a registry database"), std::string::npos) << r.err;
    EXPECT_EQ(runKreg({"get", kMain, "VantorConsoleType"}).code, 3);
    std::ifstream in(temp.machineHiveFile());
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first.rfind("not a database", 0), 0u);
}

TEST_F(TheRegistryTool, RunsAsAProgramWithHelpAndExitCodes) {
    auto run = [this](const std::string& args, std::string& output) {
        std::string command =
            "KESTANE_REGISTRY_DIR='" + temp.dir() + "' " KREG_PROGRAM " " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        char buf[4096];
        output.clear();
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
            output.append(buf, n);
        }
        int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    // The program is its own process: drop this one's connections first.
    platform::registry::resetForTests();
    std::string output;
    EXPECT_EQ(run("--help", output), 0);
    for (const char* word : {"get", "set", "delete", "delete-key", "list", "export", "HKLM\\",
                             "HKCU\\", "REG_MULTI_SZ", "KESTANE_REGISTRY_DIR"}) {
        EXPECT_NE(output.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(
        run("set 'HKLM\\Software\\Kestane Vantor\\Main' VantorConsoleType REG_DWORD 6", output), 0);
    EXPECT_EQ(run("export 'HKLM\\Software\\Kestane Vantor'", output), 0);
    EXPECT_EQ(output,
              "[HKLM\\Software\\Kestane Vantor]\n\n[HKLM\\Software\\Kestane Vantor\\Main]\n"
              "\"VantorConsoleType\"=dword:00000006\n");
    EXPECT_EQ(run("get 'HKLM\\Software\\Kestane Vantor\\Main' Missing", output), 1);
    EXPECT_NE(output.find("value not found"), std::string::npos);
    EXPECT_EQ(run("set 'HKLM\\X' n REG_WORD 1", output), 2);
}
