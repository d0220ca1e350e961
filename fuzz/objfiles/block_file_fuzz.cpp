// Opens arbitrary bytes as an AUTXFILE block file and reads every block it lists.
#include <objectkit/AutomationBlockFile.h>

#include <vector>

#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInput(data, size, "input.atx");
    CAutomationBlockFile file;
    file.SetChunkPause(std::chrono::microseconds(0));
    if (!file.Open(path)) {
        return 0;
    }
    for (int i = 0; i < CAutomationBlockFile::kMaxEntries; ++i) {
        const auto& entry = file.Entry(i);
        if (entry.id == -1) {
            continue;
        }
        // Read into a buffer of bounded size: the stated size is not trusted.
        std::vector<uint8_t> out(std::min<uint32_t>(entry.size, 1u << 18));
        file.ReadBlock(i, out.data(), static_cast<uint32_t>(out.size()));
    }
    return 0;
}
