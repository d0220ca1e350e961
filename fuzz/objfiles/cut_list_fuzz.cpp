// Reads arbitrary bytes as a cut list (binary or text, both name rules).
#include <objectkit/EDL.h>

#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* name : {"input.cut", "input.txt"}) {
        const std::string path = fuzz::WriteInput(data, size, name);
        CEDLItemList list;
        GetCutListItems(path, list);
    }
    return 0;
}
