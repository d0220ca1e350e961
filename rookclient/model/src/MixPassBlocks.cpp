#include "rookclient/model/MixPassBlocks.h"

#include <cstring>

namespace rookclient::model {

namespace {

// A text held in a fixed character array: up to its first zero or the array's end.
template <size_t N>
std::string_view ArrayText(const char (&text)[N]) {
    return {text, strnlen(text, N)};
}

// Tree blocks hold 201-byte text fields; a text is cut so that a terminator always fits.
constexpr size_t kTreeTextWidth = 200;

void PutTreeTexts(CommsBlock& block, std::span<const std::string_view> texts,
                  std::span<const size_t> offsets) {
    for (size_t i = 0; i < texts.size() && i < offsets.size(); ++i) {
        block.PutText(offsets[i], kTreeTextWidth, texts[i]);
    }
}

void PutInts(CommsBlock& block, std::span<const int32_t> values, std::span<const size_t> offsets) {
    for (size_t i = 0; i < values.size() && i < offsets.size(); ++i) {
        block.PutI32(offsets[i], values[i]);
    }
}

}  // namespace

namespace current_pass {

CommsBlock CPAttach() {
    return CommsBlock(kAttach, kHeaderSize);
}

CommsBlock SetOffset(int32_t a, uint32_t b, WindowHandle window) {
    CommsBlock block(kSetOffset, 24, window);
    block.PutI32(16, a);
    block.PutU32(20, b);
    return block;
}

CommsBlock Undo(std::string_view name, uint8_t kind, WindowHandle window) {
    CommsBlock block(kUndo, kUndoBlockSize, window);
    block.PutU32(16, kind);
    block.PutText(kUndoNameAt, kUndoNameWidth, name);
    return block;
}

}  // namespace current_pass

namespace mix_pass_tree {

namespace {
constexpr size_t kTreeTextsAt[] = {16, 217, 418, 619};
constexpr size_t kFifthTextAt = 824;
constexpr size_t kFifthTextWidth = 263;  // 824 .. 1088, terminator included
constexpr size_t kRevisionsAt[] = {1088, 1092, 1096, 1100, 1104};
constexpr size_t kLabelAt = 1108;
// s1 .. s8 of LoadTree; s3 and s4 lie after s5 to s7.
constexpr size_t kLoadTreeSecondTextsAt[] = {1116, 1317, 2322, 2121, 1518, 1719, 1920, 2523};
}  // namespace

uint32_t AutoLoadFlag(std::optional<uint32_t> loadModeAuto) {
    return loadModeAuto.value_or(kDefaultLoadMode) == 0 ? 1 : 0;
}

CommsBlock NewMPTAttach() {
    return CommsBlock(kAttach, kHeaderSize);
}

CommsBlock Activate(std::span<const int32_t, 8> a, std::optional<uint32_t> loadModeAuto,
                    WindowHandle window) {
    CommsBlock block(kActivate, kActivateBlockSize, window);
    constexpr size_t kFirstSevenAt[] = {16, 20, 24, 28, 32, 36, 40};
    PutInts(block, a.first(7), kFirstSevenAt);
    block.PutU32(44, AutoLoadFlag(loadModeAuto));
    block.PutI32(48, a[7]);
    return block;
}

CommsBlock LoadRevision(std::string_view name, std::span<const int32_t, 5> r,
                        LabelCommandType label, WindowHandle window) {
    CommsBlock block(kLoadRevision, kTreeBlockSize, window);
    block.PutText(kFifthTextAt, 201, name);  // "at most 201 bytes": a full name has no terminator
    PutInts(block, r, kRevisionsAt);
    block.PutI32(kLabelAt, label);
    return block;
}

CommsBlock NewTree(std::span<const std::string_view, 4> t, int32_t count, std::string_view t5,
                   LabelCommandType label, WindowHandle window) {
    CommsBlock block(kNewTree, kTreeBlockSize, window);
    PutTreeTexts(block, t, kTreeTextsAt);
    block.PutI32(820, count);
    block.PutText(kFifthTextAt, kFifthTextWidth, t5);
    block.PutI32(kLabelAt, label);
    return block;
}

CommsBlock LoadTree(std::span<const std::string_view, 5> t, std::span<const int32_t, 6> k,
                    LabelCommandType label, uint32_t u, std::span<const std::string_view, 8> s,
                    WindowHandle window) {
    CommsBlock block(kLoadTree, kTreeBlockSize, window);
    PutTreeTexts(block, t.first(4), kTreeTextsAt);
    block.PutText(kFifthTextAt, kFifthTextWidth, t[4]);
    block.PutI32(820, k[0]);
    PutInts(block, k.subspan(1), kRevisionsAt);
    block.PutI32(kLabelAt, label);
    block.PutU32(1112, u);
    PutTreeTexts(block, s, kLoadTreeSecondTextsAt);
    return block;
}

CommsBlock GetAutoFromDesk(WindowHandle window, int32_t k) {
    CommsBlock block(kGetAutoFromDesk, kActivateBlockSize, window);
    block.PutI32(28, k);
    return block;
}

CommsBlock SaveChanges(std::span<const TreeChangesStructure> changes, std::string_view name,
                       int32_t k, WindowHandle window) {
    CommsBlock block(kSaveChanges, kSaveChangesHeadSize + kChangeSize * changes.size(), window);
    block.PutI32(16, k);
    block.PutU32(20, static_cast<uint32_t>(changes.size()));
    block.PutText(24, 260, name);
    for (size_t i = 0; i < changes.size(); ++i) {
        const size_t at = kSaveChangesHeadSize + kChangeSize * i;
        block.PutI32(at, changes[i].value);
        block.PutText(at + 4, 260, ArrayText(changes[i].first));
        block.PutText(at + 265, 100, ArrayText(changes[i].second));
    }
    return block;
}

}  // namespace mix_pass_tree

namespace mix_pass_file {

CommsBlock MPAFAttach(std::string_view a, std::string_view b, std::string_view c,
                      std::string_view d) {
    CommsBlock block(kAttach, kBlockSize);
    block.PutText(20, kTextWidth, a);
    block.PutText(59, kTextWidth, b);
    block.PutText(98, kTextWidth, c);
    block.PutText(137, kTextWidth, d);
    return block;
}

}  // namespace mix_pass_file

namespace multiple_automation {

namespace {

CommsBlock ControlsBlock(uint32_t command, std::span<const StructPPPC> controls) {
    CommsBlock block(command, kHeadSize + sizeof(StructPPPC) * controls.size());
    block.PutU32(kCountAt, static_cast<uint32_t>(controls.size()));
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t w = 0; w < 3; ++w) {
            block.PutI32(kHeadSize + sizeof(StructPPPC) * i + 4 * w, controls[i].words[w]);
        }
    }
    return block;
}

}  // namespace

CommsBlock MACAttach(std::span<const StructPPPC> controls, int32_t k) {
    CommsBlock block = ControlsBlock(kAttach, controls);
    block.PutI32(224, k);
    return block;
}

CommsBlock MACAttach(int32_t k) {
    return MACAttach(std::span<const StructPPPC>{}, k);
}

CommsBlock SetControls(std::span<const StructPPPC> controls) {
    return ControlsBlock(kSetControls, controls);
}

CommsBlock SetControls(std::string_view text) {
    CommsBlock block(kSetControls, kHeadSize);
    block.PutText(16, kTextWidth - 1, text);
    return block;
}

}  // namespace multiple_automation

}  // namespace rookclient::model
