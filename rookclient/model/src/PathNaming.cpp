#include "rookclient/model/PathNaming.h"

#include <array>

namespace rookclient::model {

namespace {

struct PathTypeRow {
    std::string_view name;
    std::string_view longFormat;
    std::string_view shortFormat;
    int order;
};

constexpr std::array<PathTypeRow, kPathTypeCount> kPathTypes = {{
    {"Channels", "  %d", " %d", 0},
    {"Groups", "GRP%d", "GR%d", 2},
    {"Mains", "MAI%d", "MA%d", 3},
    {"Auxes", "AU %d", "AU%d", 4},
    {"Listens", "LS%d", "LS%d", 6},
    {"Talkbacks", "TBK ", "TBK ", 7},
    {"Sels", "SEL%d", "SE%d", 8},
    {"Tracks", "TRK%d", "TR%d", 1},
    {"Cues", "CUE%d", "CU%d", 5},
    {"Externals", "EXT%d", "EX%d", 9},
    {"Films", "FLM%d", "FL%d", 10},
    {"Film Listens", "FLS%d", "FS%d", 11},
    {"Predub Masters", "PD%d", "PM%d", 12},
}};

bool Known(int type) {
    return type >= 0 && type < kPathTypeCount;
}

// Puts the number where the format says %d; a format without one stands as it is.
std::string Format(std::string_view format, int number) {
    std::string out(format);
    if (const size_t at = out.find("%d"); at != std::string::npos) {
        out.replace(at, 2, std::to_string(number));
    }
    return out;
}

std::string Numbered(int type, int number, int shownNumber) {
    return Format(number >= 10 ? ShortNameFormat(type) : LongNameFormat(type), shownNumber);
}

}  // namespace

std::string_view PathTypeName(int type) {
    return Known(type) ? kPathTypes[type].name : std::string_view{};
}

int PathTypeOrder(int type) {
    return Known(type) ? kPathTypes[type].order : -1;
}

std::string_view LongNameFormat(int type) {
    return Known(type) ? kPathTypes[type].longFormat : std::string_view{};
}

std::string_view ShortNameFormat(int type) {
    return Known(type) ? kPathTypes[type].shortFormat : std::string_view{};
}

std::string DefaultPathName(int type, int number, int consoleType) {
    switch (type) {
        case kTalkbacks:
            return std::string(ShortNameFormat(type));
        case kMains:
            return number == 1 ? "MAIN" : Numbered(type, number, number);
        case kGroups:
            if (consoleType == kLiveConsoleType) {
                // The live console's first group is its main mix; the others count from 1,
                // the format still chosen by the position so that group 10 is "GR9".
                return number == 1 ? "MM" : Numbered(type, number, number - 1);
            }
            return Numbered(type, number, number);
        default:
            return Known(type) ? Numbered(type, number, number) : std::string{};
    }
}

}  // namespace rookclient::model
