#include "mic/osc/AllowList.h"

#include <arpa/inet.h>

#include <cstring>

namespace mic::osc {

namespace {

// Numeric address into 4 or 16 bytes; an IPv4-mapped IPv6 address becomes IPv4.
bool ToBytes(std::string_view text, bool& v6, std::array<uint8_t, 16>& bytes) {
    if (text.empty() || text.size() > INET6_ADDRSTRLEN)
        return false;
    const std::string s(text);
    bytes.fill(0);
    if (inet_pton(AF_INET, s.c_str(), bytes.data()) == 1) {
        v6 = false;
        return true;
    }
    if (inet_pton(AF_INET6, s.c_str(), bytes.data()) != 1)
        return false;
    static constexpr uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(bytes.data(), kMapped, 12) == 0) {
        std::memmove(bytes.data(), bytes.data() + 12, 4);
        std::memset(bytes.data() + 4, 0, 12);
        v6 = false;
        return true;
    }
    v6 = true;
    return true;
}

}  // namespace

bool AllowList::Parse(std::string_view text, std::string& error) {
    entries_.clear();
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(", ;\t", at);
        const std::string_view item =
            text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        if (item.empty())
            continue;
        Entry e;
        const size_t slash = item.find('/');
        const std::string_view host = item.substr(0, slash);
        if (!ToBytes(host, e.v6, e.bytes)) {
            error = std::string(item);
            entries_.clear();
            return false;
        }
        const int bits = e.v6 ? 128 : 32;
        e.prefix = bits;
        if (slash != std::string_view::npos) {
            const std::string_view digits = item.substr(slash + 1);
            int n = 0;
            bool ok = !digits.empty() && digits.size() <= 3;
            for (char c : digits) {
                if (c < '0' || c > '9')
                    ok = false;
                else
                    n = n * 10 + (c - '0');
            }
            if (!ok || n > bits) {
                error = std::string(item);
                entries_.clear();
                return false;
            }
            e.prefix = n;
        }
        entries_.push_back(e);
    }
    return true;
}

bool AllowList::Allows(std::string_view host) const {
    bool v6 = false;
    std::array<uint8_t, 16> bytes{};
    if (!ToBytes(host, v6, bytes))
        return false;
    for (const Entry& e : entries_) {
        if (e.v6 != v6)
            continue;
        const int whole = e.prefix / 8;
        const int rest = e.prefix % 8;
        if (std::memcmp(e.bytes.data(), bytes.data(), static_cast<size_t>(whole)) != 0)
            continue;
        if (rest != 0) {
            const auto mask = static_cast<uint8_t>(0xFF << (8 - rest));
            if ((e.bytes[whole] & mask) != (bytes[whole] & mask))
                continue;
        }
        return true;
    }
    return false;
}

bool IsLoopback(std::string_view host) {
    if (host.empty())
        return true;
    bool v6 = false;
    std::array<uint8_t, 16> bytes{};
    if (!ToBytes(host, v6, bytes))
        return false;
    if (!v6)
        return bytes[0] == 127;
    static constexpr std::array<uint8_t, 16> kLoop{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return bytes == kLoop;
}

}  // namespace mic::osc
