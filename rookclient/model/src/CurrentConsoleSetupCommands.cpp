#include "rookclient/model/CurrentConsoleSetupCommands.h"

#include <algorithm>

namespace rookclient::model::ccs {

CommsBlock CCSAttach() {
    return CommsBlock(kAttach, kHeaderSize);
}

CommsBlock LoadConsoleSetup(const std::vector<std::string>& names, int32_t a, int32_t b, int32_t c,
                            uint32_t window) {
    CommsBlock block(kLoadConsoleSetup, kSetupBlockSize, window);
    if (!names.empty()) {
        block.PutText(kSetupNameOffset, kSetupNameWidth, names.front());
    }
    const size_t further = std::min(names.size() > 0 ? names.size() - 1 : 0, kFurtherNameCount);
    for (size_t i = 0; i < further; ++i) {
        // 200 characters at most, so the last byte of each 201-byte slot ends the name.
        block.PutText(kFurtherNamesOffset + i * kFurtherNameSlot, kFurtherNameSlot - 1,
                      names[i + 1]);
    }
    block.PutI32(kFirstArgOffset, a);
    block.PutI32(kSecondArgOffset, b);
    block.PutU32(kOneOffset, 1);
    block.PutI32(kThirdArgOffset, c);
    return block;
}

CommsBlock SetPathName(int32_t path, std::string_view name, uint32_t window) {
    CommsBlock block(kSetPathName, kSetupBlockSize, window);
    block.PutI32(kPathNumberOffset, path);
    // The name is bounded by the path name width, never by the caller's string.
    block.PutText(kPathNameOffset, kPathNameWidth, name);
    return block;
}

CommsBlock MakeDefault(std::string_view setupName) {
    CommsBlock block(kMakeDefault, kSetupBlockSize);
    block.PutText(kSetupNameOffset, kSetupNameWidth, setupName);
    return block;
}

CommsBlock MakeDefault(const CurrentConsoleSetupImage& image) {
    return MakeDefault(image.GetMixSetup());
}

}  // namespace rookclient::model::ccs
