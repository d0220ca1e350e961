#include "ImageText.h"

#include <rookclient/model/CommsBlock.h>

#include <cstdarg>
#include <cstdio>
#include <map>

#include "ImageDecoders.h"

namespace rookd {

using rookclient::model::BlockReader;

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

std::string DescribeHeader(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (block.size() < rookclient::model::kHeaderSize) {
        return Format("%zu bytes, shorter than the 16-byte header\n", block.size());
    }
    std::string text =
        Format("command %u, replyWindow %u, blockSize %u", r.Command(), r.U32(4), r.StatedSize());
    if (r.StatedSize() != block.size()) {
        text += Format(" (but %zu bytes arrived)", block.size());
    }
    return text + "\n";
}

std::string HexDump(std::span<const uint8_t> block, size_t from) {
    std::string text;
    bool folding = false;
    for (size_t row = from; row < block.size(); row += 16) {
        const size_t end = std::min(row + 16, block.size());
        bool zero = true;
        for (size_t i = row; i < end; ++i) {
            zero = zero && block[i] == 0;
        }
        if (zero && end - row == 16 && row > from) {
            if (!folding) {
                text += "  *\n";  // zero rows up to the next row shown
                folding = true;
            }
            continue;
        }
        folding = false;
        text += Format("  %06zu ", row);
        std::string printable;
        for (size_t i = row; i < row + 16; ++i) {
            if (i < end) {
                text += Format(" %02x", block[i]);
                printable.push_back(
                    block[i] >= 0x20 && block[i] < 0x7f ? static_cast<char>(block[i]) : '.');
            } else {
                text += "   ";
            }
        }
        text += "  " + printable + "\n";
    }
    if (folding) {
        text += Format("  %06zu (end)\n", block.size());
    }
    return text;
}

std::string DecodeImage(const std::string& object, std::span<const uint8_t> block) {
    const ImageDecoder decoder = FindImageDecoder(object);
    return decoder ? decoder(block) : std::string();
}

std::string DescribeImage(const std::string& object, std::span<const uint8_t> block) {
    std::string text = object + ": " + DescribeHeader(block);
    const std::string decoded = DecodeImage(object, block);
    if (!decoded.empty()) {
        return text + decoded;
    }
    text += FindImageDecoder(object)
                ? "the object's decoder refuses this block (size or stated size); its bytes:\n"
                : "no layout is known for this object's image; its bytes:\n";
    return text + HexDump(block, rookclient::model::kHeaderSize);
}

}  // namespace rookd
