#include "rookclient/model/McsMachineInfo.h"

#include <algorithm>
#include <cstring>

namespace rookclient::model {

namespace {

constexpr std::string_view kProtocols[] = {
    "Undefined",
    " Sony 9 Pin Master",
    "Sony 9 Pin Slave",
    "AudioKinetics ESbus M",
    "AudioKinetics ESbus S",
    "Timeline ESbus Master",
    "Timeline ESbus Slave",
    "Pioneer 232 Master",
    "Pioneer 232 Slave",
    "Kestane Master",
    "Kestane Slave",
    "Ampex Master",
    "Ampex Slave",
    "Kestane Synchro",
    "Kestane Diag",
    "Adams Smith",
};

constexpr std::string_view kLockedReferences[] = {
    "LTC", "VITC", "Video", "TTL", "BIP", "TL 1", "TL 2", "ESBus", "Internal",
};

template <size_t N>
std::string_view FieldText(const std::array<char, N>& field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return {field.data(), static_cast<size_t>(end - field.begin())};
}

constexpr ParamRange kByte{0, 255};

}  // namespace

std::string_view MCSMachineInfoStruct::Name() const {
    return FieldText(name);
}

std::string_view MCSMachineInfoStruct::Alias() const {
    return FieldText(alias);
}

void MCSMachineInfoStruct::SetAlias(std::string_view text) {
    alias.fill('\0');
    std::memcpy(alias.data(), text.data(), std::min(text.size(), alias.size() - 1));
}

std::string_view McsProtocolName(int code) {
    return code >= 0 && code < static_cast<int>(std::size(kProtocols)) ? kProtocols[code]
                                                                       : std::string_view{};
}

std::string_view McsLockedReferenceName(int reference) {
    return reference >= 0 && reference < static_cast<int>(std::size(kLockedReferences))
               ? kLockedReferences[reference]
               : "Unknown";
}

ParamRange GetServoParamRange(int index) {
    return index == 5 ? ParamRange{0, 2} : kByte;
}

ParamRange GetGeneralParamRange(int index) {
    return index >= 4 && index <= 6 ? ParamRange{0, 1} : kByte;
}

}  // namespace rookclient::model
