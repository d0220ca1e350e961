// The record that names one port of an I/O rack (52 bytes): five words — path or a caller's
// tag, side, rack, card slot, port — and a text field from byte 20 that receives the port's
// name (the I/O configuration fills it with the port's default label: five characters of short
// name, a blank, then the default number). Rack, card and port (words 2, 3 and 4) are the
// port's key in the I/O configuration; ports 2k and 2k + 1 form a stereo pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rookclient::model {

struct StructIOSearch {
    static constexpr size_t kWireSize = 52;
    static constexpr size_t kTextWidth = 32;

    int32_t path = 0;  // or a caller's tag
    int32_t side = 0;  // 0 input, 1 output, 2 mic/line input
    int32_t rack = 0;
    int32_t card = 0;  // card slot 0-4
    int32_t port = 0;  // pair index x 2, plus 1 for the B port of the pair
    char text[32] = {};

    // The text up to its terminator or the field's end.
    std::string_view Text() const;
    // Replaces the text, cut at the field's end.
    void SetText(std::string_view text);
};
static_assert(sizeof(StructIOSearch) == 52);

}  // namespace rookclient::model
