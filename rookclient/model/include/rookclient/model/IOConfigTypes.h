// The records of the I/O configuration: how a port is named in calls, its settings, its
// sample-rate-converter settings, port groups and relay assignments.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rookclient/model/StructIOSearch.h"

namespace rookclient::model {

// Units in which the user sees and enters delays.
enum DelayUnits : int {
    kDelaySamples = 0,
    kDelayMilliseconds = 1,
    kDelayDistance = 2,  // 330 units per second: metres of sound in air
    kDelayTenthsOfFrame = 3,
};

// A port's key as the configuration stores it: (word 3, word 2, word 4).
struct PortKey {
    int32_t word3 = 0;
    int32_t word2 = 0;
    int32_t word4 = 0;

    static PortKey Of(const StructIOSearch& port) { return {port.card, port.rack, port.port}; }
    // The quad MADI card the port sits on: a card carries four blocks of word 2.
    int32_t Card() const { return word2 / 4; }
    bool IsOddMember() const { return (word4 & 1) != 0; }
    // The other member of the port's stereo pair.
    PortKey Partner() const { return {word3, word2, word4 ^ 1}; }
    auto operator<=>(const PortKey&) const = default;
};

struct PortRecord {
    std::string name;
    std::string name2;
    std::string scribble;
    int32_t number = 0;
    int32_t dither = 0;
    int32_t delay = 0;  // 48 kHz samples; below 0 reads as 0
    int32_t relay = 0;
    int32_t stereo = 0;  // non-zero: one side of a stereo pair
    bool operator==(const PortRecord&) const = default;
};

struct SrcRecord {
    int32_t mode = 0;
    int32_t state = 0;
    bool operator==(const SrcRecord&) const = default;
};

// A port group: the member ports of one master, all on the master's card.
struct StructGroupedPorts {
    static constexpr size_t kMaxMembers = 5;
    int32_t count = 0;
    std::array<PortKey, kMaxMembers> members{};
    bool operator==(const StructGroupedPorts&) const = default;
};

// A relay assignment: the port and the relay it drives. 56 bytes on the wire: the port's
// 52-byte record, then the relay number.
struct StructRelayPort {
    static constexpr size_t kWireSize = 56;
    StructIOSearch port;
    int32_t relay = 0;
};

}  // namespace rookclient::model
