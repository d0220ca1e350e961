#include <console/GenericRegistryObject.h>

#include "RegistryValueText.h"

namespace reg = platform::registry;
using console::detail::DecimalTextToNumber;
using console::detail::DecodeDword;

namespace {

bool OpenForReading(const reg::Key& root, std::string_view path, reg::Key& key) {
    return root.valid() && root.open(path, key) == reg::Status::Ok;
}

// Opening for writing creates the key (non-volatile) when it is missing.
bool OpenForWriting(const reg::Key& root, std::string_view path, reg::Key& key) {
    return root.valid() && root.create(path, key, false) == reg::Status::Ok;
}

// A number as ReadNumber takes it: decimal text from REG_SZ, four bytes from REG_DWORD.
bool ValueAsNumber(const reg::Value& value, uint32_t& number) {
    if (value.type == reg::REG_SZ) {
        number = DecimalTextToNumber(value.data);
        return true;
    }
    if (value.type == reg::REG_DWORD) {
        return DecodeDword(value.data, number);
    }
    return false;
}

// The names one of the key's enumerations gives, in index order.
int ListNames(const reg::Key& root, std::string_view path,
              reg::Status (reg::Key::*next)(uint32_t, std::string&) const,
              std::vector<std::string>& list) {
    list.clear();
    reg::Key key;
    if (!OpenForReading(root, path, key)) {
        return 0;
    }
    std::string name;
    // A name too long for the caller's buffer ends the list, as a failed index does.
    for (uint32_t index = 0; (key.*next)(index, name) == reg::Status::Ok; ++index) {
        list.push_back(name);
    }
    return static_cast<int>(list.size());
}

}  // namespace

CGenericRegistryObject::~CGenericRegistryObject() {
    heldKey_ = Key();
}

bool CGenericRegistryObject::KeyExists(std::string_view path) const {
    Key key;
    return OpenForReading(rootKey_, path, key);
}

bool CGenericRegistryObject::ValueExists(std::string_view path, std::string_view name) const {
    Key key;
    reg::Value value;
    return OpenForReading(rootKey_, path, key) && key.query(name, value) == reg::Status::Ok;
}

bool CGenericRegistryObject::ReadString(std::string_view path, std::string_view name,
                                        std::string& result, std::string_view defaultValue) const {
    result = std::string(defaultValue);
    Key key;
    if (!OpenForReading(rootKey_, path, key)) {
        return false;
    }
    reg::Value value;
    if (key.query(name, value) != reg::Status::Ok) {
        return false;
    }
    if (value.type != reg::REG_SZ && value.type != reg::REG_BINARY) {
        return false;
    }
    result = console::detail::TextUpToZero(value.data);
    return true;
}

bool CGenericRegistryObject::ReadNumber(std::string_view path, std::string_view name,
                                        uint32_t& result, uint32_t defaultValue) const {
    result = defaultValue;
    Key key;
    if (!OpenForReading(rootKey_, path, key)) {
        return false;
    }
    reg::Value value;
    uint32_t number = 0;
    if (key.query(name, value) == reg::Status::Ok && ValueAsNumber(value, number)) {
        result = number;
    }
    return true;
}

bool CGenericRegistryObject::ReadNumber(std::string_view path, std::string_view name,
                                        int32_t& result, int32_t defaultValue) const {
    uint32_t number = 0;
    bool opened = ReadNumber(path, name, number, static_cast<uint32_t>(defaultValue));
    result = static_cast<int32_t>(number);
    return opened;
}

bool CGenericRegistryObject::ReadByte(std::string_view path, std::string_view name, uint8_t& result,
                                      uint8_t defaultValue) const {
    uint32_t number = 0;
    bool opened = ReadNumber(path, name, number, defaultValue);
    result = static_cast<uint8_t>(number);
    return opened;
}

bool CGenericRegistryObject::ReadBool(std::string_view path, std::string_view name, bool& result,
                                      bool defaultValue) const {
    uint32_t number = 0;
    bool opened = ReadNumber(path, name, number, defaultValue ? 1 : 0);
    result = number != 0;
    return opened;
}

bool CGenericRegistryObject::ReadBinary(std::string_view path, std::string_view name,
                                        std::vector<uint8_t>& buffer) const {
    buffer.clear();
    Key key;
    if (!OpenForReading(rootKey_, path, key)) {
        return false;
    }
    reg::Value value;
    if (key.query(name, value) == reg::Status::Ok) {
        buffer = std::move(value.data);
    }
    return true;
}

bool CGenericRegistryObject::ReadStringList(std::string_view path, std::string_view name,
                                            std::vector<std::string>& list) const {
    list.clear();
    Key key;
    if (!OpenForReading(rootKey_, path, key)) {
        return false;
    }
    reg::Value value;
    if (key.query(name, value) == reg::Status::Ok && value.type == reg::REG_MULTI_SZ) {
        list = console::detail::SplitMultiString(value.data);
    }
    return true;
}

bool CGenericRegistryObject::ReadRect(std::string_view path, std::string_view name, CRect& rect,
                                      const CRect& defaultValue) const {
    rect = defaultValue;
    Key key;
    if (!OpenForReading(rootKey_, path, key)) {
        return false;
    }
    static constexpr const char* kSuffixes[] = {".X", ".Y", ".CX", ".CY"};
    uint32_t parts[4] = {};
    for (int i = 0; i < 4; ++i) {
        reg::Value value;
        std::string valueName = std::string(name) + kSuffixes[i];
        if (key.query(valueName, value) != reg::Status::Ok || value.type != reg::REG_DWORD ||
            !DecodeDword(value.data, parts[i])) {
            return false;
        }
        // Unsigned sums: a hostile width wraps instead of overflowing.
        switch (i) {
            case 0:
                rect.left = static_cast<int32_t>(parts[0]);
                break;
            case 1:
                rect.top = static_cast<int32_t>(parts[1]);
                break;
            case 2:
                rect.right = static_cast<int32_t>(parts[0] + parts[2]);
                break;
            case 3:
                rect.bottom = static_cast<int32_t>(parts[1] + parts[3]);
                break;
        }
    }
    return true;
}

bool CGenericRegistryObject::WriteString(std::string_view path, std::string_view name,
                                         std::string_view text) const {
    Key key;
    return OpenForWriting(rootKey_, path, key) &&
           reg::setString(key, name, text, reg::REG_SZ) == reg::Status::Ok;
}

bool CGenericRegistryObject::WriteNumber(std::string_view path, std::string_view name,
                                         uint32_t value) const {
    Key key;
    return OpenForWriting(rootKey_, path, key) &&
           reg::setDword(key, name, value) == reg::Status::Ok;
}

bool CGenericRegistryObject::WriteByte(std::string_view path, std::string_view name,
                                       uint8_t value) const {
    return WriteNumber(path, name, value);
}

bool CGenericRegistryObject::WriteBool(std::string_view path, std::string_view name,
                                       bool value) const {
    return WriteNumber(path, name, value ? 1 : 0);
}

bool CGenericRegistryObject::WriteBinary(std::string_view path, std::string_view name,
                                         const void* bytes, size_t size) const {
    if (bytes == nullptr && size != 0) {
        return false;
    }
    Key key;
    return OpenForWriting(rootKey_, path, key) &&
           key.set(name, reg::REG_BINARY,
                   std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), size)) ==
               reg::Status::Ok;
}

bool CGenericRegistryObject::WriteRect(std::string_view path, std::string_view name,
                                       const CRect& rect) const {
    Key key;
    if (!OpenForWriting(rootKey_, path, key)) {
        return false;
    }
    const std::string base(name);
    const uint32_t left = static_cast<uint32_t>(rect.left);
    const uint32_t top = static_cast<uint32_t>(rect.top);
    return reg::setDword(key, base + ".X", left) == reg::Status::Ok &&
           reg::setDword(key, base + ".Y", top) == reg::Status::Ok &&
           reg::setDword(key, base + ".CX", static_cast<uint32_t>(rect.right) - left) ==
               reg::Status::Ok &&
           reg::setDword(key, base + ".CY", static_cast<uint32_t>(rect.bottom) - top) ==
               reg::Status::Ok;
}

bool CGenericRegistryObject::DeleteValue(std::string_view path, std::string_view name) const {
    Key key;
    return OpenForReading(rootKey_, path, key) && key.deleteValue(name) == reg::Status::Ok;
}

bool CGenericRegistryObject::DeleteKey(std::string_view path) const {
    if (rootKey_.valid()) {
        rootKey_.deleteTree(path);
    }
    return false;
}

int CGenericRegistryObject::EnumKeys(std::string_view path, std::vector<std::string>& list) const {
    return ListNames(rootKey_, path, &reg::Key::enumKey, list);
}

int CGenericRegistryObject::EnumValues(std::string_view path,
                                       std::vector<std::string>& list) const {
    return ListNames(rootKey_, path, &reg::Key::enumValue, list);
}

CLocalMachineRegistryObject::CLocalMachineRegistryObject(std::string_view machineName) {
    // Another machine's registry cannot be reached from here; like a failed connection, that
    // leaves the local hive in place.
    rootKey_ = Key::root(reg::Hive::LocalMachine);
}

CLocalMachineRegistryObject::~CLocalMachineRegistryObject() = default;

CCurrentUserRegistryObject::CCurrentUserRegistryObject() {
    rootKey_ = Key::root(reg::Hive::CurrentUser);
}
