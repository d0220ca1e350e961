#include "mic/core/ChannelChange.h"

#include <array>

#include "mic/core/PreampState.h"

namespace mic {

std::string_view FieldName(ChannelField field) {
    static constexpr std::array<std::string_view, 7> kNames{"gain",   "phantom", "phase",  "pad",
                                                            "direct", "name",    "console"};
    const auto i = static_cast<size_t>(field);
    return i < kNames.size() ? kNames[i] : "unknown";
}

std::string_view SourceName(ChangeSource source) {
    static constexpr std::array<std::string_view, 6> kNames{"operator", "console",     "preset",
                                                            "restore",  "front panel", "remote"};
    const auto i = static_cast<size_t>(source);
    return i < kNames.size() ? kNames[i] : "unknown";
}

std::string ValueText(ChannelField field, int value) {
    switch (field) {
        case ChannelField::Gain:
            return std::to_string(GainDb(static_cast<uint32_t>(value < 0 ? 0 : value))) + " dB";
        case ChannelField::Phantom:
        case ChannelField::Phase:
        case ChannelField::Pad:
        case ChannelField::DirectOut:
            return value ? "on" : "off";
        case ChannelField::ConsoleChannel:
            return value ? std::to_string(value) : "Off";
        case ChannelField::Name:
            break;
    }
    return std::to_string(value);
}

}  // namespace mic
