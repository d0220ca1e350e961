#include <platform/registry.h>

#include "rookclient/model/MixPassBlocks.h"

namespace rookclient::model::mix_pass_tree {

std::optional<uint32_t> ReadLoadModeAuto() {
    namespace reg = platform::registry;
    reg::Key key;
    if (reg::Key::root(reg::Hive::CurrentUser)
            .open("Software\\KESTANE\\Kestane Vantor\\Main", key) != reg::Status::Ok) {
        return std::nullopt;
    }
    reg::Value value;
    if (key.query("Load Mode (Auto)", value) != reg::Status::Ok || value.type != reg::REG_DWORD ||
        value.data.size() != 4) {
        return std::nullopt;
    }
    return uint32_t(value.data[0]) | uint32_t(value.data[1]) << 8 | uint32_t(value.data[2]) << 16 |
           uint32_t(value.data[3]) << 24;
}

}  // namespace rookclient::model::mix_pass_tree
