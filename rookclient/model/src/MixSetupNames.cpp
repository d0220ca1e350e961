// Path names, default names and bank names of the mix setup.
#include <cstdio>

#include "rookclient/model/MixSetupImage.h"

namespace rookclient::model {

namespace {

struct NameFormats {
    const char* belowTen;
    const char* tenAndAbove;
};
constexpr NameFormats kFormats[MixSetupImage::kTypes] = {
    {"  %d", " %d"},   {"GRP%d", "GR%d"}, {"MAI%d", "MA%d"}, {"AU %d", "AU%d"}, {"LS%d", "LS%d"},
    {"TBK ", "TBK "},  {"SEL%d", "SE%d"}, {"TRK%d", "TR%d"}, {"CUE%d", "CU%d"}, {"EXT%d", "EX%d"},
    {"FLM%d", "FL%d"}, {"FLS%d", "FS%d"}, {"PD%d", "PM%d"}};
constexpr int kGroupsType = 1;
constexpr int kMainsType = 2;
constexpr int kTalkbacksType = 5;
constexpr int kLiveConsoleType = 4;

std::string Format(const char* format, int n) {
    char text[32];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

std::string Numbered(int type, int number) {
    const NameFormats& f = kFormats[type];
    return Format(number >= 10 ? f.tenAndAbove : f.belowTen, number);
}

}  // namespace

// The first GetNumMixMinusOutputs() groups are the mix-minus groups, named "MM". On the live
// console the groups are numbered from 0, and the format follows the printed number.
std::string MixSetupImage::GetDefaultName(int type, int n) const {
    switch (type) {
        case kGroupsType:
            if (n - 1 >= 0 && n - 1 < numMixMinus_) {
                return "MM";
            }
            return Numbered(type, consoleType_ == kLiveConsoleType ? n - 1 : n);
        case kMainsType:
            return n == 1 ? "MAIN" : Numbered(type, n);
        case kTalkbacksType:
            return kFormats[type].belowTen;
        case kSubsType:
            return Format("S %-2d", n);
        default:
            return type >= 0 && type < kTypes ? Numbered(type, n) : std::string();
    }
}

std::string MixSetupImage::GetName(int path, bool longName) const {
    const MixPath* p = At(path);
    return p ? (longName ? p->longName : p->shortName) : std::string();
}

void MixSetupImage::SetName(int path, std::string_view shortName, std::string_view longName) {
    if (MixPath* p = At(path)) {
        p->shortName = shortName;
        p->longName = longName;
    }
}

void MixSetupImage::GetNamesOfType(int type, std::vector<std::string>& names,
                                   std::vector<int>& paths) const {
    names.clear();
    paths.clear();
    const int offset = GetOffset(type);
    for (int i = 0; i < GetNum(type) && ValidPath(offset + i); ++i) {
        names.push_back(GetName(offset + i, true));
        paths.push_back(offset + i);
    }
}

std::string MixSetupImage::GetBankName(int bank) const {
    if (bank < 0 || bank >= kBanks) {
        return {};
    }
    const std::string& name = bankNames_[static_cast<size_t>(bank)];
    return name.empty() ? Format("Bank %d", bank + 1) : name;
}

void MixSetupImage::SetBankName(int bank, std::string_view name) {
    if (bank >= 0 && bank < kBanks) {
        bankNames_[static_cast<size_t>(bank)] =
            name.empty() ? Format("Bank %d", bank + 1) : std::string(name);
    }
}

}  // namespace rookclient::model
