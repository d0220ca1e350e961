// The names a port shows to the user: its configured names and number with the stereo side,
// or its default label when it is not configured.
#include <algorithm>
#include <charconv>

#include "rookclient/model/IOConfigImage.h"

namespace rookclient::model {

namespace {

constexpr size_t kShortNameLength = 5;
constexpr size_t kNumberAt = 6;

std::string LabelHead(const StructIOSearch& port) {
    const std::string_view label = port.Text();
    return std::string(label.substr(0, std::min(kShortNameLength, label.size())));
}

std::string LabelTail(const StructIOSearch& port) {
    const std::string_view label = port.Text();
    return label.size() > kNumberAt ? std::string(label.substr(kNumberAt)) : std::string{};
}

// The default number: the label from the blank at character 5 on, read as a decimal.
int LabelNumber(const StructIOSearch& port) {
    std::string_view label = port.Text();
    label.remove_prefix(std::min(kShortNameLength, label.size()));
    while (!label.empty() && label.front() == ' ') {
        label.remove_prefix(1);
    }
    int number = 0;
    std::from_chars(label.data(), label.data() + label.size(), number);
    return number;
}

struct ShownName {
    std::string name;
    std::string name2;
    int number;
};

// A configured port shows its own names and number; what it leaves empty comes from the
// default label of the port asked about.
ShownName FromRecord(const PortRecord& record, const StructIOSearch& port) {
    ShownName shown{record.name, record.name2, record.number};
    if (shown.name.empty()) {
        shown.name = LabelHead(port);
        std::erase(shown.name, ' ');
    }
    if (shown.number == 0) {
        shown.number = LabelNumber(port);
    }
    return shown;
}

}  // namespace

bool IOConfigImage::GetSplitUserName(const StructIOSearch& port, std::string& name,
                                     std::string& name2, std::string& text, int combined,
                                     int side) const {
    name = "NoPort";
    name2.clear();
    const PortKey key = PortKey::Of(port);
    const PortMap& map = Ports(side);
    const auto find = [&map](const PortKey& k) -> const PortRecord* {
        const auto it = map.find(k);
        return it == map.end() ? nullptr : &it->second;
    };
    const PortRecord* own = find(key);
    const PortRecord* partner = find(key.Partner());
    const PortRecord* evenMember = key.IsOddMember() ? partner : own;
    const bool stereo = evenMember != nullptr && evenMember->stereo != 0;

    if (own != nullptr) {
        const ShownName shown = FromRecord(*own, port);
        const std::string& partnerName =
            partner != nullptr && !partner->name.empty() ? partner->name : shown.name;
        const int partnerNumber =
            partner != nullptr && partner->number != 0 ? partner->number : shown.number;
        name = shown.name;
        name2 = shown.name2;
        if (partnerName != shown.name || partnerNumber != shown.number) {
            // A pair named or numbered apart shows its numbers, the port's own first.
            // Appended piece by piece: GCC 12 at -O3 misreads `" " + std::string` as an
            // overlapping copy (-Wrestrict).
            text = std::to_string(shown.number);
            if (combined) {
                text += ' ';
                text += std::to_string(partnerNumber);
            }
        } else {
            const bool odd = key.IsOddMember();
            text = std::to_string(shown.number);
            text += ' ';
            text += combined ? (odd ? "BA" : "AB") : (odd ? "B" : "A");
        }
        return true;
    }
    if (stereo && key.IsOddMember()) {
        // The right side of a stereo pair that only its left side configures.
        const ShownName shown = FromRecord(*partner, port);
        name = shown.name;
        name2 = shown.name2;
        text = std::to_string(shown.number);
        text += combined ? " BA" : " B";
        return true;
    }
    name = LabelHead(port);
    text = LabelTail(port);
    return false;
}

bool IOConfigImage::GetFullUserName(const StructIOSearch& port, std::string& out, int combined,
                                    int side) const {
    std::string name;
    std::string name2;
    std::string text;
    const bool configured = GetSplitUserName(port, name, name2, text, combined, side);
    out = name2.empty() ? name + " " + text : name + name2;
    return configured;
}

}  // namespace rookclient::model
