#include "ValueText.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace reg = platform::registry;

namespace kreg {

namespace {

struct TypeRow {
    const char* name;
    reg::ValueType type;
};

constexpr TypeRow kTypes[] = {
    {"REG_SZ", reg::REG_SZ},
    {"REG_EXPAND_SZ", reg::REG_EXPAND_SZ},
    {"REG_DWORD", reg::REG_DWORD},
    {"REG_BINARY", reg::REG_BINARY},
    {"REG_MULTI_SZ", reg::REG_MULTI_SZ},
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string HexBytes(const std::vector<uint8_t>& data, char separator) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        if (i != 0) {
            out += separator;
        }
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        out += buf;
    }
    return out;
}

std::string TextUpToZero(const std::vector<uint8_t>& data) {
    size_t n = 0;
    while (n < data.size() && data[n] != 0) {
        ++n;
    }
    return std::string(data.begin(), data.begin() + static_cast<long>(n));
}

std::vector<std::string> MultiStrings(const std::vector<uint8_t>& data) {
    std::vector<std::string> list;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = start;
        while (end < data.size() && data[end] != 0) {
            ++end;
        }
        if (end == start) {
            break;
        }
        list.emplace_back(data.begin() + static_cast<long>(start),
                          data.begin() + static_cast<long>(end));
        start = end + 1;
    }
    return list;
}

std::string Join(const std::vector<std::string>& list, std::string_view separator) {
    std::string out;
    for (const std::string& s : list) {
        if (!out.empty()) {
            out += separator;
        }
        out += s;
    }
    return out;
}

bool Dword(const std::vector<uint8_t>& data, uint32_t& value) {
    if (data.size() != 4) {
        return false;
    }
    value = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    return true;
}

}  // namespace

std::optional<reg::ValueType> ParseTypeName(std::string_view name) {
    for (const TypeRow& row : kTypes) {
        if (EqualsNoCase(name, row.name)) {
            return row.type;
        }
    }
    return std::nullopt;
}

const char* TypeName(reg::ValueType type) {
    for (const TypeRow& row : kTypes) {
        if (row.type == type) {
            return row.name;
        }
    }
    return type == reg::REG_NONE ? "REG_NONE" : "REG_UNKNOWN";
}

bool EncodeValue(reg::ValueType type, const std::vector<std::string>& data,
                 std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    switch (type) {
        case reg::REG_SZ:
        case reg::REG_EXPAND_SZ:
            if (data.size() != 1) {
                error = std::string(TypeName(type)) + " takes exactly one text argument";
                return false;
            }
            if (data[0].find('\0') != std::string::npos) {
                error = "text may not hold a zero byte";
                return false;
            }
            bytes.assign(data[0].begin(), data[0].end());
            bytes.push_back(0);
            return true;
        case reg::REG_DWORD: {
            if (data.size() != 1) {
                error = "REG_DWORD takes exactly one number";
                return false;
            }
            std::string_view text = data[0];
            int base = 10;
            if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
                text.remove_prefix(2);
                base = 16;
            }
            uint32_t value = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
            if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
                error = "not a 32-bit unsigned number: '" + data[0] + "'";
                return false;
            }
            bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                     static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
            return true;
        }
        case reg::REG_BINARY:
            // Hex pairs; spaces, commas and colons may separate groups of pairs.
            for (const std::string& arg : data) {
                size_t i = 0;
                while (i < arg.size()) {
                    char c = arg[i];
                    if (c == ' ' || c == ',' || c == ':') {
                        ++i;
                        continue;
                    }
                    int high = HexDigit(c);
                    int low = i + 1 < arg.size() ? HexDigit(arg[i + 1]) : -1;
                    if (high < 0 || low < 0) {
                        error = "not hex byte pairs: '" + arg + "'";
                        bytes.clear();
                        return false;
                    }
                    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
                    i += 2;
                }
            }
            return true;
        case reg::REG_MULTI_SZ:
            for (const std::string& arg : data) {
                if (arg.empty() || arg.find('\0') != std::string::npos) {
                    error = "REG_MULTI_SZ strings may not be empty (an empty string ends the list)";
                    bytes.clear();
                    return false;
                }
                bytes.insert(bytes.end(), arg.begin(), arg.end());
                bytes.push_back(0);
            }
            bytes.push_back(0);
            return true;
        default:
            error = "unsupported type";
            return false;
    }
}

std::string DisplayValue(const reg::Value& value) {
    uint32_t number = 0;
    switch (value.type) {
        case reg::REG_SZ:
        case reg::REG_EXPAND_SZ:
            return TextUpToZero(value.data);
        case reg::REG_DWORD:
            if (Dword(value.data, number)) {
                return std::to_string(number);
            }
            return HexBytes(value.data, ' ');
        case reg::REG_MULTI_SZ:
            return Join(MultiStrings(value.data), "\n");
        default:
            return HexBytes(value.data, ' ');
    }
}

std::string DisplayValueInline(const reg::Value& value) {
    if (value.type != reg::REG_MULTI_SZ) {
        return DisplayValue(value);
    }
    return Join(MultiStrings(value.data), "\\0");
}

std::string QuoteExportString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

std::string ExportValue(const reg::Value& value) {
    uint32_t number = 0;
    switch (value.type) {
        case reg::REG_SZ:
            // Text with a terminator and nothing after it has a plain quoted form.
            if (!value.data.empty() && value.data.back() == 0 &&
                TextUpToZero(value.data).size() + 1 == value.data.size()) {
                return QuoteExportString(TextUpToZero(value.data));
            }
            return "hex(1):" + HexBytes(value.data, ',');
        case reg::REG_DWORD:
            if (Dword(value.data, number)) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", number);
                return buf;
            }
            return "hex(4):" + HexBytes(value.data, ',');
        case reg::REG_BINARY:
            return "hex:" + HexBytes(value.data, ',');
        default:
            return "hex(" + std::to_string(static_cast<uint32_t>(value.type)) +
                   "):" + HexBytes(value.data, ',');
    }
}

}  // namespace kreg
