#include "mic/journal/JournalRow.h"

#include <algorithm>
#include <cctype>

namespace mic::journal {

std::string OldValueText(const JournalRow& row) {
    const ChannelChange& c = row.change;
    return c.field == ChannelField::Name ? c.oldText : ValueText(c.field, c.oldValue);
}

std::string NewValueText(const JournalRow& row) {
    const ChannelChange& c = row.change;
    return c.field == ChannelField::Name ? c.newText : ValueText(c.field, c.newValue);
}

std::string SourceText(const JournalRow& row) {
    if (row.kind == RowKind::Note) {
        return "journal";
    }
    const ChangeOrigin& o = row.change.origin;
    switch (o.source) {
        case ChangeSource::ConsoleLine:
            return "console line " + std::to_string(o.consoleLine);
        case ChangeSource::PresetFile:
            return "preset file " + o.detail;
        case ChangeSource::AutoRestore:
            return "automatic restore";
        case ChangeSource::FrontPanel:
            return "rack front panel";
        case ChangeSource::Remote:
            return "remote " + o.detail;
        case ChangeSource::Operator:
            break;
    }
    return std::string(SourceName(o.source));
}

std::optional<ChangeSource> SourceFromName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (name == "front-panel" || name == "panel" || name == "frontpanel") {
        return ChangeSource::FrontPanel;
    }
    if (name == "osc") {
        return ChangeSource::Remote;
    }
    for (int i = 0; i <= static_cast<int>(ChangeSource::Remote); ++i) {
        const auto source = static_cast<ChangeSource>(i);
        if (SourceName(source) == name) {
            return source;
        }
    }
    return std::nullopt;
}

bool Matches(const JournalFilter& filter, const JournalRow& row) {
    const bool byPlace = filter.rack || filter.channel || filter.source;
    if (byPlace && row.kind != RowKind::Change) {
        return false;
    }
    const ChannelChange& c = row.change;
    return (!filter.rack || *filter.rack == c.rack) &&
           (!filter.channel || *filter.channel == c.channel) &&
           (!filter.source || *filter.source == c.origin.source) &&
           (!filter.sinceUs || row.timeUs >= *filter.sinceUs) &&
           (!filter.untilUs || row.timeUs < *filter.untilUs);
}

}  // namespace mic::journal
