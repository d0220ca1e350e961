#include "mic/osc/NameText.h"

namespace mic::osc {

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> NameFromUtf8(std::string_view utf8, size_t maxChars) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        unsigned code = c;
        if (c >= 0x80) {
            // Latin-1 needs two-byte sequences C2/C3 only.
            if ((c != 0xC2 && c != 0xC3) || i + 1 >= utf8.size())
                return std::nullopt;
            const auto next = static_cast<unsigned char>(utf8[++i]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = ((c & 0x1F) << 6) | (next & 0x3F);
        }
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            return std::nullopt;
        if (out.size() == maxChars)
            return std::nullopt;
        out += static_cast<char>(code);
    }
    return out;
}

}  // namespace mic::osc
