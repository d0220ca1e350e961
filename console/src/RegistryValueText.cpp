#include "RegistryValueText.h"

#include <cstddef>
#include <limits>

namespace console::detail {

std::string TextUpToZero(std::span<const uint8_t> bytes) {
    size_t n = 0;
    while (n < bytes.size() && bytes[n] != 0) {
        ++n;
    }
    return std::string(reinterpret_cast<const char*>(bytes.data()), n);
}

uint32_t DecimalTextToNumber(std::span<const uint8_t> bytes) {
    size_t i = 0;
    auto blank = [](uint8_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < bytes.size() && blank(bytes[i])) {
        ++i;
    }
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) {
        negative = bytes[i] == '-';
        ++i;
    }
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
        if (value <= kMax + 1) {  // keep accumulating only while it can still matter
            value = value * 10 + (bytes[i] - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > kMax) {
        value = kMax;
    } else if (value < kMin) {
        value = kMin;
    }
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

std::vector<std::string> SplitMultiString(std::span<const uint8_t> bytes) {
    std::vector<std::string> list;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != 0) {
            ++end;
        }
        if (end == start) {
            break;  // the empty string ends the list
        }
        list.emplace_back(reinterpret_cast<const char*>(bytes.data()) + start, end - start);
        start = end + 1;
    }
    return list;
}

bool DecodeDword(std::span<const uint8_t> bytes, uint32_t& value) {
    if (bytes.size() != 4) {
        return false;
    }
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

}  // namespace console::detail
