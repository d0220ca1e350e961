// OSC messages as plain values, and their wire form. Decoding and encoding go through liblo;
// nothing here exposes liblo's types, so the handler and its tests work on these values alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mic::osc {

// Largest packet taken from the network. Every message of the address space fits in a few
// hundred bytes; anything larger is refused before it is decoded.
inline constexpr size_t kMaxPacketSize = 4096;
// Bundles may nest; deeper nesting or more messages than this refuse the whole packet.
inline constexpr int kMaxBundleDepth = 4;
inline constexpr size_t kMaxMessagesPerPacket = 64;

// One argument. `type` is the OSC type tag as received ('i', 'h', 'f', 'd', 's', 'S', 'T',
// 'F', or any other tag, which the address space does not accept).
struct OscValue {
    char type = 'N';
    int64_t integer = 0;  // 'i', 'h'; 1/0 for 'T'/'F'
    double real = 0;      // 'f', 'd'
    std::string text;     // 's', 'S'

    static OscValue Int(int32_t v);
    static OscValue Float(float v);
    static OscValue String(std::string v);

    bool IsNumber() const;
    bool IsText() const { return type == 's' || type == 'S'; }
    double Number() const;  // integers and reals; 1/0 for 'T'/'F'
    friend bool operator==(const OscValue&, const OscValue&) = default;
};

struct OscMessage {
    std::string path;
    std::vector<OscValue> args;
    friend bool operator==(const OscMessage&, const OscMessage&) = default;
};

// Decodes one packet: a message, or a bundle of messages (nested bundles included, their time
// tags ignored: everything is done at once). False, with `error` set and `out` cleared, when
// any part of the packet is malformed, too large or too deeply nested.
bool DecodePacket(const uint8_t* data, size_t size, std::vector<OscMessage>& out,
                  std::string& error);

// The wire form of one message ('i', 'f', 's' arguments; other types are sent as 'i' or 'f'
// by their value). Empty when liblo cannot build it (a path that is not a valid OSC string).
std::vector<uint8_t> EncodeMessage(const OscMessage& message);

}  // namespace mic::osc
