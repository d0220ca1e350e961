// The record that names one port of an I/O rack (52 bytes): path or a caller's tag, side,
// rack, card slot, port, and a text field from byte 20 that receives the port's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rookclient::model {

// The I/O configuration calls the five numbers words 0 to 4 (2, 3 and 4 are its port key) and
// the text the port's label; both views name the same 52 bytes.
struct StructIOSearch {
    static constexpr size_t kWireSize = 52;
    static constexpr size_t kLabelWidth = 32;

    int32_t path = 0;  // or a caller's tag
    int32_t side = 0;  // 0 input, 1 output, 2 mic/line input
    int32_t rack = 0;
    int32_t card = 0;  // card slot 0-4
    int32_t port = 0;  // pair index x 2, plus 1 for the B port of the pair
    char text[32] = {};

    std::string_view Text() const;
    std::string_view Label() const { return Text(); }
    // Replaces the text; a longer one is cut to the field.
    void SetLabel(std::string_view label);
    // Word i (0-4) in wire order: path, side, rack, card, port.
    int32_t& Word(size_t i) {
        return i == 0 ? path : i == 1 ? side : i == 2 ? rack : i == 3 ? card : port;
    }
    int32_t Word(size_t i) const { return const_cast<StructIOSearch*>(this)->Word(i); }
};
static_assert(sizeof(StructIOSearch) == 52);

}  // namespace rookclient::model
