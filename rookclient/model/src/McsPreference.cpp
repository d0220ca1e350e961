#include "rookclient/model/McsPreference.h"

#include <platform/registry.h>

namespace rookclient::model {

namespace {

namespace reg = platform::registry;

constexpr const char* kKey = "Software\\KESTANE\\Kestane Vantor\\MCS";
constexpr const char* kValue = "Allow record to Video and timecode Tracks";

}  // namespace

bool CanRecordToTCAndVideoTracks() {
    reg::Key key;
    if (reg::Key::root(reg::Hive::CurrentUser).open(kKey, key) != reg::Status::Ok) {
        return false;
    }
    reg::Value value;
    if (key.query(kValue, value) != reg::Status::Ok || value.type != reg::REG_DWORD ||
        value.data.size() != 4) {
        return false;
    }
    return (value.data[0] | value.data[1] | value.data[2] | value.data[3]) != 0;
}

bool EnableRecordToTCAndVideoTracks(bool allow) {
    reg::Key key;
    if (reg::Key::root(reg::Hive::CurrentUser).create(kKey, key) != reg::Status::Ok) {
        return false;
    }
    return reg::setDword(key, kValue, allow ? 1 : 0) == reg::Status::Ok;
}

}  // namespace rookclient::model
