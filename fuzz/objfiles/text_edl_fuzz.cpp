// Reads arbitrary text as a text EDL; the first byte chooses the format.
#include <objectkit/EDL.h>

#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    int format = data[0] % 8;
    if (format == EDL_GENERIC) {
        format = EDL_GVG;
    }
    const std::string path = fuzz::WriteInput(data + 1, size - 1, "input.edl");
    CEDLReader reader(path, format);
    CEDLEvent event;
    CTimecode a, b, c;
    size_t events = 0;
    while (reader.ReadEvent(event, a, b, c)) {
        if (++events > size + 1) {
            __builtin_trap();  // more events than lines: the reader is looping
        }
    }
    return 0;
}
