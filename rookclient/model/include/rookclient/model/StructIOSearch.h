// The record that names one port of an I/O rack (52 bytes): path or a caller's tag, side,
// rack, card slot, port, and a text field from byte 20 that receives the port's name.
#pragma once

#include <cstdint>
#include <string_view>

namespace rookclient::model {

struct StructIOSearch {
    int32_t path = 0;  // or a caller's tag
    int32_t side = 0;  // 0 input, 1 output, 2 mic/line input
    int32_t rack = 0;
    int32_t card = 0;  // card slot 0-4
    int32_t port = 0;  // pair index x 2, plus 1 for the B port of the pair
    char text[32] = {};

    std::string_view Text() const;
};
static_assert(sizeof(StructIOSearch) == 52);

}  // namespace rookclient::model
