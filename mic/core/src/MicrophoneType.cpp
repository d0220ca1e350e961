#include "mic/core/MicrophoneType.h"

namespace mic {

namespace {

constexpr std::array<char, kMicTypeCount> kLetters{'U', 'C', 'D', 'R', 'L'};

}  // namespace

std::string_view MicTypeName(MicType type) {
    static constexpr std::array<std::string_view, kMicTypeCount> kNames{
        "unknown", "condenser", "dynamic", "ribbon", "line"};
    const auto i = static_cast<size_t>(type);
    return i < kNames.size() ? kNames[i] : "unknown";
}

MicTypeTable ParseMicTypes(std::string_view text) {
    MicTypeTable types{};
    const size_t n = std::min(text.size(), types.size());
    for (size_t i = 0; i < n; ++i) {
        const char c = static_cast<char>(text[i] & ~0x20);  // upper case for letters
        for (size_t t = 0; t < kLetters.size(); ++t) {
            if (c == kLetters[t])
                types[i] = static_cast<MicType>(t);
        }
    }
    return types;
}

std::string FormatMicTypes(const MicTypeTable& types) {
    std::string text;
    for (MicType t : types) {
        const auto i = static_cast<size_t>(t);
        text += i < kLetters.size() ? kLetters[i] : 'U';
    }
    text.erase(text.find_last_not_of('U') + 1);
    return text;
}

std::vector<int> HoldPhantomOff(PreampState& state, int rack, const MicTypeTable& types) {
    std::vector<int> held;
    for (int i = 0; i < kChannels; ++i) {
        if (rack != -1 && i / kChannelsPerRack != rack)
            continue;
        if (!PhantomAllowed(types[i]) && (state.setting[i] & kPhantomBit)) {
            state.setting[i] &= ~kPhantomBit;
            held.push_back(i);
        }
    }
    return held;
}

}  // namespace mic
