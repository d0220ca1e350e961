#include <console/GenericRegistryObject.h>
#include <gtest/gtest.h>

#include "TempRegistry.h"

namespace reg = platform::registry;
using platform::registry::testing::TempRegistry;

namespace {

constexpr const char* kPath = "Software\\Kestane Vantor\\Main";

class ARegistryObject : public ::testing::Test {
  protected:
    void store(std::string_view name, reg::ValueType type, std::string_view data) {
        reg::Key key;
        ASSERT_EQ(reg::Key::root(reg::Hive::LocalMachine).create(kPath, key), reg::Status::Ok);
        ASSERT_EQ(key.set(name, type,
                          std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size())),
                  reg::Status::Ok);
    }
    uint32_t number(std::string_view name, uint32_t defaultValue = 77) {
        uint32_t result = 0;
        EXPECT_TRUE(registry.ReadNumber(kPath, name, result, defaultValue));
        return result;
    }

    TempRegistry temp;
    CLocalMachineRegistryObject registry;
};

}  // namespace

TEST_F(ARegistryObject, ReadsNumbersFromDwordsAndDecimalTextAndKeepsTheDefaultForOtherTypes) {
    store("dword", reg::REG_DWORD, std::string_view("\x06\x01\x00\x00", 4));
    store("text", reg::REG_SZ, std::string_view("6\0", 2));
    store("blanks", reg::REG_SZ, std::string_view(" \t-12abc\0", 9));
    store("plus", reg::REG_SZ, "+7");  // no terminator stored
    store("words", reg::REG_SZ, std::string_view("abc\0", 4));
    store("empty", reg::REG_SZ, "");
    store("huge", reg::REG_SZ, "99999999999999999999");
    store("hugeneg", reg::REG_SZ, "-99999999999");
    store("binary", reg::REG_BINARY, std::string_view("\x06\0\0\0", 4));
    store("expand", reg::REG_EXPAND_SZ, std::string_view("6\0", 2));
    store("short", reg::REG_DWORD, std::string_view("\x06\0\0", 3));

    EXPECT_EQ(number("dword"), 0x106u);
    EXPECT_EQ(number("text"), 6u);
    EXPECT_EQ(number("blanks"), static_cast<uint32_t>(-12));
    EXPECT_EQ(number("plus"), 7u);
    // Text that is not a number counts as 0, not as the default.
    EXPECT_EQ(number("words"), 0u);
    EXPECT_EQ(number("empty"), 0u);
    EXPECT_EQ(number("huge"), 0x7fffffffu);
    EXPECT_EQ(number("hugeneg"), 0x80000000u);
    EXPECT_EQ(number("binary"), 77u);
    EXPECT_EQ(number("expand"), 77u);
    EXPECT_EQ(number("short"), 77u);
    EXPECT_EQ(number("absent"), 77u);

    uint32_t result = 0;
    EXPECT_FALSE(registry.ReadNumber("Software\\Nowhere", "dword", result, 5u));
    EXPECT_EQ(result, 5u);
    int32_t signedResult = 0;
    EXPECT_TRUE(registry.ReadNumber(kPath, "blanks", signedResult, 1));
    EXPECT_EQ(signedResult, -12);

    uint8_t byte = 0;
    EXPECT_TRUE(registry.ReadByte(kPath, "dword", byte, 9));
    EXPECT_EQ(byte, 0x06);
    bool flag = false;
    EXPECT_TRUE(registry.ReadBool(kPath, "words", flag, true));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(registry.ReadBool(kPath, "dword", flag, false));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(registry.ReadBool(kPath, "absent", flag, true));
    EXPECT_TRUE(flag);
}

TEST_F(ARegistryObject, ReadsStringsFromTextAndBinaryValuesOnly) {
    store("sz", reg::REG_SZ, std::string_view("Z9R\0junk", 8));
    store("bin", reg::REG_BINARY, std::string_view("ab\0cd", 5));
    store("unterminated", reg::REG_BINARY, "xyz");
    store("expand", reg::REG_EXPAND_SZ, std::string_view("%HOME%\0", 7));
    std::string text;
    EXPECT_TRUE(registry.ReadString(kPath, "sz", text, "def"));
    EXPECT_EQ(text, "Z9R");
    EXPECT_TRUE(registry.ReadString(kPath, "bin", text, "def"));
    EXPECT_EQ(text, "ab");
    EXPECT_TRUE(registry.ReadString(kPath, "unterminated", text, "def"));
    EXPECT_EQ(text, "xyz");
    EXPECT_FALSE(registry.ReadString(kPath, "expand", text, "def"));
    EXPECT_EQ(text, "def");
    EXPECT_FALSE(registry.ReadString(kPath, "absent", text, "def"));
    EXPECT_EQ(text, "def");
    EXPECT_FALSE(registry.ReadString("Software\\Nowhere", "sz", text, "d2"));
    EXPECT_EQ(text, "d2");
}

TEST_F(ARegistryObject, ReadsBinariesOfAnySizeAndSplitsStringLists) {
    const uint8_t odd[3] = {0x00, 0xff, 0x01};
    ASSERT_TRUE(registry.WriteBinary(kPath, "odd", odd, sizeof odd));
    ASSERT_TRUE(registry.WriteBinary(kPath, "one", odd + 1, 1));
    ASSERT_TRUE(registry.WriteBinary(kPath, "none", nullptr, 0));
    EXPECT_FALSE(registry.WriteBinary(kPath, "null", nullptr, 4));
    std::vector<uint8_t> buffer{9};
    EXPECT_TRUE(registry.ReadBinary(kPath, "odd", buffer));
    EXPECT_EQ(buffer, (std::vector<uint8_t>{0x00, 0xff, 0x01}));
    EXPECT_TRUE(registry.ReadBinary(kPath, "one", buffer));
    EXPECT_EQ(buffer, std::vector<uint8_t>{0xff});
    EXPECT_TRUE(registry.ReadBinary(kPath, "none", buffer));
    EXPECT_TRUE(buffer.empty());
    EXPECT_TRUE(registry.ReadBinary(kPath, "absent", buffer));
    EXPECT_TRUE(buffer.empty());
    buffer = {1};
    EXPECT_FALSE(registry.ReadBinary("Software\\Nowhere", "odd", buffer));
    EXPECT_TRUE(buffer.empty());

    store("list", reg::REG_MULTI_SZ, std::string_view("COM1\0COM2\0\0ignored\0", 20));
    store("open", reg::REG_MULTI_SZ, std::string_view("a\0b", 3));
    store("sz", reg::REG_SZ, std::string_view("a\0b\0\0", 5));
    std::vector<std::string> list{"old"};
    EXPECT_TRUE(registry.ReadStringList(kPath, "list", list));
    EXPECT_EQ(list, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_TRUE(registry.ReadStringList(kPath, "open", list));
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(registry.ReadStringList(kPath, "sz", list));
    EXPECT_TRUE(list.empty());
}

TEST_F(ARegistryObject, ReadsRectanglesPartlyAndWritesThemAsFourDwords) {
    const CRect defaults{1, 2, 3, 4};
    CRect rect;
    ASSERT_TRUE(registry.WriteNumber(kPath, "Win.X", 10));
    ASSERT_TRUE(registry.WriteNumber(kPath, "Win.Y", 20));
    EXPECT_FALSE(registry.ReadRect(kPath, "Win", rect, defaults));
    EXPECT_EQ(rect, (CRect{10, 20, 3, 4}));

    // A width stored as text stops the read there.
    store("Win.CX", reg::REG_SZ, std::string_view("30\0", 3));
    ASSERT_TRUE(registry.WriteNumber(kPath, "Win.CY", 40));
    EXPECT_FALSE(registry.ReadRect(kPath, "Win", rect, defaults));
    EXPECT_EQ(rect, (CRect{10, 20, 3, 4}));

    ASSERT_TRUE(registry.WriteRect(kPath, "Win", CRect{-100, 5, 200, 8}));
    EXPECT_TRUE(registry.ReadRect(kPath, "Win", rect, defaults));
    EXPECT_EQ(rect, (CRect{-100, 5, 200, 8}));
    uint32_t width = 0;
    registry.ReadNumber(kPath, "Win.CX", width, 0u);
    EXPECT_EQ(width, 300u);

    EXPECT_FALSE(registry.ReadRect("Software\\Nowhere", "Win", rect, defaults));
    EXPECT_EQ(rect, defaults);
}

TEST_F(ARegistryObject, WritesTypedValuesAndCreatesTheKey) {
    ASSERT_TRUE(registry.WriteString("Software\\New\\Deep", "s", "text"));
    ASSERT_TRUE(registry.WriteByte("Software\\New\\Deep", "b", 0xab));
    ASSERT_TRUE(registry.WriteBool("Software\\New\\Deep", "t", true));
    reg::Key key;
    ASSERT_EQ(reg::Key::root(reg::Hive::LocalMachine).open("Software\\New\\Deep", key),
              reg::Status::Ok);
    reg::Value value;
    ASSERT_EQ(key.query("s", value), reg::Status::Ok);
    EXPECT_EQ(value.type, reg::REG_SZ);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{'t', 'e', 'x', 't', 0}));
    ASSERT_EQ(key.query("b", value), reg::Status::Ok);
    EXPECT_EQ(value.type, reg::REG_DWORD);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{0xab, 0, 0, 0}));
    ASSERT_EQ(key.query("t", value), reg::Status::Ok);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(registry.WriteString("Bad\\\\Path", "s", "x"));
}

TEST_F(ARegistryObject, DeletesValuesAndWholeTreesAndEnumeratesInIndexOrder) {
    ASSERT_TRUE(registry.WriteNumber("Tree\\Zed\\Deep", "v", 1));
    ASSERT_TRUE(registry.WriteNumber("Tree\\Able", "v", 1));
    ASSERT_TRUE(registry.WriteNumber("Tree", "second", 1));
    ASSERT_TRUE(registry.WriteNumber("Tree", "first", 1));
    std::vector<std::string> list;
    EXPECT_EQ(registry.EnumKeys("Tree", list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{"Zed", "Able"}));
    EXPECT_EQ(registry.EnumValues("Tree", list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(registry.EnumKeys("Nowhere", list), 0);
    EXPECT_TRUE(list.empty());

    EXPECT_TRUE(registry.ValueExists("Tree", "FIRST"));
    EXPECT_TRUE(registry.DeleteValue("Tree", "first"));
    EXPECT_FALSE(registry.ValueExists("Tree", "first"));
    EXPECT_FALSE(registry.DeleteValue("Tree", "first"));
    EXPECT_FALSE(registry.DeleteValue("Nowhere", "first"));

    // Deleting works, yet reports false as every caller expects.
    EXPECT_FALSE(registry.DeleteKey("Tree\\Zed"));
    EXPECT_FALSE(registry.KeyExists("Tree\\Zed\\Deep"));
    EXPECT_FALSE(registry.KeyExists("Tree\\Zed"));
    EXPECT_TRUE(registry.KeyExists("Tree\\Able"));
    EXPECT_FALSE(registry.DeleteKey(""));
    EXPECT_TRUE(registry.KeyExists("Tree"));
}

TEST_F(ARegistryObject, EndsAnEnumerationAtTheFirstNameThatDoesNotFit) {
    ASSERT_TRUE(registry.WriteNumber("Long", "a", 1));
    ASSERT_TRUE(registry.WriteNumber("Long", std::string(259, 'b'), 1));
    ASSERT_TRUE(registry.WriteNumber("Long", std::string(260, 'c'), 1));
    ASSERT_TRUE(registry.WriteNumber("Long", "d", 1));
    std::vector<std::string> list;
    EXPECT_EQ(registry.EnumValues("Long", list), 2);
    EXPECT_EQ(list.back().size(), 259u);
}

TEST_F(ARegistryObject, StaysOnTheLocalHiveForAMachineNameAndFailsWithoutARoot) {
    ASSERT_TRUE(registry.WriteNumber(kPath, "n", 4));
    CLocalMachineRegistryObject remote("CONSOLE-PC");
    uint32_t result = 0;
    EXPECT_TRUE(remote.ReadNumber(kPath, "n", result, 0u));
    EXPECT_EQ(result, 4u);

    CCurrentUserRegistryObject user;
    EXPECT_FALSE(user.KeyExists(kPath));

    CGenericRegistryObject unrooted;
    EXPECT_FALSE(unrooted.KeyExists(""));
    EXPECT_FALSE(unrooted.WriteNumber(kPath, "n", 1));
    EXPECT_FALSE(unrooted.ReadNumber(kPath, "n", result, 3u));
    EXPECT_EQ(result, 3u);
    unrooted.SetRootKey(registry.RootKey());
    EXPECT_TRUE(unrooted.ReadNumber(kPath, "n", result, 3u));
    EXPECT_EQ(result, 4u);
}
