// Which peers may talk to the remote control. Listening on a loopback address, every peer is
// answered (only this machine can reach it); listening on any other address, only the peers
// on the allow-list are, and an empty list answers nobody.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mic::osc {

class AllowList {
  public:
    // Entries separated by commas, blanks or semicolons: IPv4 or IPv6 addresses, each with an
    // optional prefix length ("192.168.1.0/24"). False, with the offending entry in `error`,
    // when an entry is not one; the list is then empty.
    bool Parse(std::string_view text, std::string& error);
    // `host` in numeric form. IPv4 peers seen through an IPv6 socket ("::ffff:a.b.c.d") match
    // IPv4 entries.
    bool Allows(std::string_view host) const;
    bool Empty() const { return entries_.empty(); }

  private:
    struct Entry {
        bool v6 = false;
        std::array<uint8_t, 16> bytes{};
        int prefix = 0;  // bits that must match
    };
    std::vector<Entry> entries_;
};

// True for 127.0.0.0/8 and ::1 (and an empty text, which means the default 127.0.0.1).
bool IsLoopback(std::string_view host);

}  // namespace mic::osc
