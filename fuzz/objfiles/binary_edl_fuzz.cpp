// Reads arbitrary bytes as a binary EDL, then as the source/destination items of a conform.
#include <objectkit/EDL.h>

#include <vector>

#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInput(data, size, "input.edl");
    CEDLReader reader(path, EDL_GENERIC);
    CEDLEvent event;
    CTimecode a, b, c;
    size_t events = 0;
    while (reader.ReadEvent(event, a, b, c)) {
        if (++events > size) {
            __builtin_trap();  // every record takes bytes: the reader is looping
        }
    }
    std::vector<CSourceDestItem> items;
    GetSourceDestItems(path, items, (size & 1) != 0);
    return 0;
}
