// Registry value bytes are outside input: decode them as the utility classes do, directly and
// through a real hive, and check the results stay within the bytes given.
#include <console/GenericRegistryObject.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RegistryValueText.h"

namespace reg = platform::registry;
using namespace console::detail;

namespace {

// Reference conversion with wide arithmetic: blanks, sign, digits, clamped to 32-bit signed.
uint32_t ReferenceNumber(std::span<const uint8_t> bytes) {
    size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || (bytes[i] >= '\t' && bytes[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '-' || bytes[i] == '+'))
        negative = bytes[i++] == '-';
    __int128 value = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
        if (value < (static_cast<__int128>(1) << 40))
            value = value * 10 + (bytes[i] - '0');
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char dir[] = "/tmp/kreg-fuzz-values-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    setenv("KESTANE_REGISTRY_DIR", dir, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    if (DecimalTextToNumber(bytes) != ReferenceNumber(bytes))
        std::abort();

    size_t used = 0;
    for (const std::string& s : SplitMultiString(bytes)) {
        if (s.empty() || s.find('\0') != std::string::npos)
            std::abort();
        used += s.size() + 1;
    }
    if (used > size + 1)
        std::abort();
    std::string text = TextUpToZero(bytes);
    if (text.size() > size || std::memchr(text.data(), 0, text.size()) != nullptr)
        std::abort();

    // Through the hive: the first byte picks the type, the rest is the value.
    if (size == 0)
        return 0;
    static const reg::ValueType kTypes[] = {reg::REG_SZ, reg::REG_EXPAND_SZ, reg::REG_BINARY,
                                            reg::REG_DWORD, reg::REG_MULTI_SZ};
    reg::ValueType type = kTypes[data[0] % 5];
    reg::Key key;
    if (reg::Key::root(reg::Hive::LocalMachine).create("Fuzz", key) != reg::Status::Ok)
        return 0;
    key.set("v", type, bytes.subspan(1));
    key.set("r.X", type, bytes.subspan(1));
    CLocalMachineRegistryObject registry;
    uint32_t number = 0;
    registry.ReadNumber("Fuzz", "v", number, 5u);
    std::string str;
    registry.ReadString("Fuzz", "v", str, "d");
    std::vector<std::string> list;
    registry.ReadStringList("Fuzz", "v", list);
    std::vector<uint8_t> buffer;
    registry.ReadBinary("Fuzz", "v", buffer);
    if (buffer.size() != size - 1)
        std::abort();
    CRect rect;
    registry.ReadRect("Fuzz", "r", rect, CRect{1, 2, 3, 4});
    return 0;
}
