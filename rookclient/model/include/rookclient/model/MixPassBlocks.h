// Command blocks of the mix pass proxies: the current pass ("CurrentPassRookObject"), the pass
// tree and its revisions ("NewMixPassTreeRookObject"), a pass's automation file
// ("MixPassAutomationFileRook") and a watched set of controls ("MultipleAutomationRook").
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "rookclient/model/AutomationBlocks.h"
#include "rookclient/model/CommsBlock.h"

namespace rookclient::model {

// One change of the list that SaveChanges sends, as client programs lay it out (368 bytes): a
// value, a text from byte 4 and a text from byte 265. Texts end at their first zero or at the
// end of their array.
struct TreeChangesStructure {
    int32_t value = 0;
    char first[261] = {};
    char second[103] = {};
};
static_assert(sizeof(TreeChangesStructure) == 368);

// One watched control: a 12-byte record copied into blocks as it stands.
struct StructPPPC {
    int32_t words[3] = {};
};
static_assert(sizeof(StructPPPC) == 12);

// A label operation of the tree commands, passed through as a 32-bit value.
using LabelCommandType = int32_t;

namespace current_pass {

inline constexpr uint32_t kAttach = 195;
inline constexpr uint32_t kSetOffset = 27;
inline constexpr uint32_t kUndo = 319;
inline constexpr size_t kUndoBlockSize = 30336;
inline constexpr size_t kUndoNameAt = 573;
// The name runs to 833, where the next field of this block size begins.
inline constexpr size_t kUndoNameWidth = 260;

CommsBlock CPAttach();
CommsBlock SetOffset(int32_t a, uint32_t b, WindowHandle window);
CommsBlock Undo(std::string_view name, uint8_t kind, WindowHandle window);

}  // namespace current_pass

namespace mix_pass_tree {

inline constexpr uint32_t kAttach = 193;
inline constexpr uint32_t kLoadRevision = 55;
inline constexpr uint32_t kLoadTree = 196;
inline constexpr uint32_t kNewTree = 197;
inline constexpr uint32_t kSaveChanges = 198;
inline constexpr uint32_t kActivate = 200;
inline constexpr uint32_t kGetAutoFromDesk = 203;
inline constexpr size_t kTreeBlockSize = 2724;
inline constexpr size_t kActivateBlockSize = 52;
inline constexpr size_t kSaveChangesHeadSize = 288;
inline constexpr size_t kChangeSize = 368;

// "Load Mode (Auto)" when it is not set.
inline constexpr uint32_t kDefaultLoadMode = 2;
// "Load Mode (Auto)" under HKEY_CURRENT_USER "Software\KESTANE\Kestane Vantor\Main"; nullopt
// when the key or the value is missing or the value is not a 32-bit number.
std::optional<uint32_t> ReadLoadModeAuto();
// The auto-load flag of Activate: 1 when "Load Mode (Auto)" is 0, else 0 (an absent value
// counts as 2).
uint32_t AutoLoadFlag(std::optional<uint32_t> loadModeAuto);

CommsBlock NewMPTAttach();
// a1 .. a7 at 16 .. 40, the auto-load flag at 44, a8 at 48.
CommsBlock Activate(std::span<const int32_t, 8> a, std::optional<uint32_t> loadModeAuto,
                    WindowHandle window);
CommsBlock LoadRevision(std::string_view name, std::span<const int32_t, 5> r,
                        LabelCommandType label, WindowHandle window);
CommsBlock NewTree(std::span<const std::string_view, 4> t, int32_t count, std::string_view t5,
                   LabelCommandType label, WindowHandle window);
CommsBlock LoadTree(std::span<const std::string_view, 5> t, std::span<const int32_t, 6> k,
                    LabelCommandType label, uint32_t u, std::span<const std::string_view, 8> s,
                    WindowHandle window);
CommsBlock GetAutoFromDesk(WindowHandle window, int32_t k);
CommsBlock SaveChanges(std::span<const TreeChangesStructure> changes, std::string_view name,
                       int32_t k, WindowHandle window);

}  // namespace mix_pass_tree

namespace mix_pass_file {

inline constexpr uint32_t kAttach = 156;
inline constexpr size_t kBlockSize = 72020;
inline constexpr size_t kTextWidth = 38;  // 39-byte fields, always terminated

CommsBlock MPAFAttach(std::string_view a, std::string_view b, std::string_view c,
                      std::string_view d);

}  // namespace mix_pass_file

namespace multiple_automation {

inline constexpr uint32_t kAttach = 143;
inline constexpr uint32_t kSetControls = 144;
inline constexpr size_t kHeadSize = 228;
inline constexpr size_t kCountAt = 220;
inline constexpr size_t kTextWidth = 204;  // 16 .. 220

CommsBlock MACAttach(std::span<const StructPPPC> controls, int32_t k);
CommsBlock MACAttach(int32_t k);
CommsBlock SetControls(std::span<const StructPPPC> controls);
CommsBlock SetControls(std::string_view text);

}  // namespace multiple_automation

}  // namespace rookclient::model
