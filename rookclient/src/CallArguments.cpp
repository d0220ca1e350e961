#include "rookclient/CallArguments.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace rookclient {
namespace {

// 'text' in quotes. Built by appending: GCC 12 at -O3 mistakes "'" + std::string(...) for an
// overlapping copy (-Wrestrict).
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    quoted += text;
    quoted += '\'';
    return quoted;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    if (text.empty()) {
        return parts;
    }
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// A decimal or 0x-hex integer, the whole text and nothing else.
bool ParseInteger(std::string_view text, int64_t& value) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        magnitude > (uint64_t{1} << 40)) {
        return false;
    }
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

bool CallArguments::Expect(size_t least, size_t most) {
    if (words_.size() >= least && words_.size() <= most) {
        return true;
    }
    const std::string wanted = least == most
                                   ? std::to_string(least)
                                   : std::to_string(least) + " to " + std::to_string(most);
    error_ = "wants " + wanted + (most == 1 ? " argument" : " arguments") + ", " +
             std::to_string(words_.size()) + " given";
    return false;
}

void CallArguments::Fail(const char* name, const std::string& why) {
    if (error_.empty()) {
        error_ = "argument " + std::to_string(next_) + " (" + name + "): " + why;
    }
}

const std::string* CallArguments::Next() {
    if (!error_.empty() || next_ >= words_.size()) {
        return nullptr;
    }
    return &words_[next_++];
}

int64_t CallArguments::Field(const char* name, std::string_view text, int64_t least, int64_t most) {
    int64_t value = 0;
    if (!ParseInteger(text, value)) {
        Fail(name, Quoted(text) + " is not a number");
        return 0;
    }
    if (value < least || value > most) {
        Fail(name, std::string(text) + " is outside " + std::to_string(least) + " to " +
                       std::to_string(most));
        return 0;
    }
    return value;
}

int32_t CallArguments::Word(const char* name, std::string_view text) {
    return static_cast<int32_t>(Field(name, text, INT32_MIN, INT32_MAX));
}

int64_t CallArguments::Number(const char* name, int64_t least, int64_t most) {
    const std::string* word = Next();
    return word ? Field(name, *word, least, most) : 0;
}

bool CallArguments::Bool(const char* name) {
    const std::string* word = Next();
    if (!word) {
        return false;
    }
    for (const char* yes : {"1", "true", "on"}) {
        if (*word == yes) {
            return true;
        }
    }
    for (const char* no : {"0", "false", "off"}) {
        if (*word == no) {
            return false;
        }
    }
    Fail(name, Quoted(*word) + " is not 0, 1, true, false, on or off");
    return false;
}

std::string CallArguments::Text(const char*) {
    const std::string* word = Next();
    return word ? *word : std::string();
}

std::vector<uint8_t> CallArguments::Hex(const char* name, size_t most) {
    std::vector<uint8_t> bytes;
    const std::string* word = Next();
    if (!word) {
        return bytes;
    }
    std::string digits;
    for (const char c : *word) {
        if (c != ':' && c != '.') {
            digits.push_back(c);
        }
    }
    if (digits.size() % 2 != 0) {
        Fail(name, "hex bytes come in pairs of digits");
        return {};
    }
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int high = HexDigit(digits[i]);
        const int low = HexDigit(digits[i + 1]);
        if (high < 0 || low < 0) {
            Fail(name, Quoted(std::string_view(digits).substr(i, 2)) + " is not a hex byte");
            return {};
        }
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    if (bytes.size() > most) {
        Fail(name,
             std::to_string(bytes.size()) + " bytes, the field holds " + std::to_string(most));
        return {};
    }
    return bytes;
}

bool CallArguments::Exactly(const char* name, size_t count) {
    if (!error_.empty() || next_ >= words_.size()) {
        return false;
    }
    const size_t items = words_[next_].empty() ? 0 : Split(words_[next_], ',').size();
    if (items != count) {
        ++next_;  // the word is the one at fault
        Fail(name, "wants " + std::to_string(count) + " comma-separated items, " +
                       std::to_string(items) + " given");
        return false;
    }
    return true;
}

std::vector<int32_t> CallArguments::Ints(const char* name) {
    std::vector<int32_t> values;
    Records(name, 1, 1,
            [&](const std::vector<std::string_view>& f) { values.push_back(Word(name, f[0])); });
    return values;
}

std::vector<std::string> CallArguments::Texts(const char*) {
    std::vector<std::string> texts;
    if (const std::string* word = Next()) {
        for (const std::string_view part : Split(*word, ',')) {
            texts.emplace_back(part);
        }
    }
    return texts;
}

template <typename Take>
void CallArguments::Records(const char* name, size_t least, size_t most, Take take) {
    const std::string* word = Next();
    if (!word) {
        return;
    }
    for (const std::string_view record : Split(*word, ',')) {
        const std::vector<std::string_view> fields = Split(record, ':');
        if (fields.size() < least || fields.size() > most) {
            Fail(name, Quoted(record) + " wants " + std::to_string(least) +
                           (least == most ? "" : " to " + std::to_string(most)) +
                           " ':'-separated fields");
            return;
        }
        take(fields);
        if (!error_.empty()) {
            return;
        }
    }
}

CAutomationEventArray CallArguments::Events(const char* name) {
    CAutomationEventArray events;
    Records(name, 5, 7, [&](const std::vector<std::string_view>& f) {
        CAutomationEvent event;
        event.timeStamp = Word(name, f[0]);
        event.path = Word(name, f[1]);
        event.module = static_cast<uint8_t>(Field(name, f[2], 0, UINT8_MAX));
        event.control = static_cast<uint8_t>(Field(name, f[3], 0, UINT8_MAX));
        event.value = static_cast<uint16_t>(Field(name, f[4], INT16_MIN, UINT16_MAX));
        if (f.size() > 5) {
            event.oldValue = static_cast<uint16_t>(Field(name, f[5], INT16_MIN, UINT16_MAX));
        }
        if (f.size() > 6) {
            event.flags = static_cast<uint8_t>(Field(name, f[6], 0, UINT8_MAX));
        }
        events.Add(event);
    });
    return events;
}

namespace {

// The five numbers of a port record, then its optional text.
template <typename FieldOf>
model::StructIOSearch PortFrom(const std::vector<std::string_view>& f, FieldOf field) {
    model::StructIOSearch port;
    int32_t* words[] = {&port.path, &port.side, &port.rack, &port.card, &port.port};
    for (size_t i = 0; i < 5; ++i) {
        *words[i] = static_cast<int32_t>(field(f[i]));
    }
    return port;
}

}  // namespace

model::StructIOSearch CallArguments::Port(const char* name) {
    model::StructIOSearch port;
    size_t records = 0;
    Records(name, 5, 6, [&](const std::vector<std::string_view>& f) {
        port = PortFrom(f, [&](std::string_view t) { return Word(name, t); });
        if (f.size() == 6) {
            port.SetText(f[5]);
        }
        ++records;
    });
    if (records > 1) {
        Fail(name, "one port, not a list");
    }
    return port;
}

std::vector<model::StructRelayPort> CallArguments::Relays(const char* name) {
    std::vector<model::StructRelayPort> relays;
    Records(name, 6, 6, [&](const std::vector<std::string_view>& f) {
        model::StructRelayPort relay;
        relay.port = PortFrom(f, [&](std::string_view t) { return Word(name, t); });
        relay.relay = Word(name, f[5]);
        relays.push_back(relay);
    });
    return relays;
}

std::vector<model::StructPPPC> CallArguments::Controls(const char* name) {
    std::vector<model::StructPPPC> controls;
    Records(name, 3, 3, [&](const std::vector<std::string_view>& f) {
        model::StructPPPC control;
        for (size_t i = 0; i < 3; ++i) {
            control.words[i] = Word(name, f[i]);
        }
        controls.push_back(control);
    });
    return controls;
}

std::vector<model::TreeChangesStructure> CallArguments::TreeChanges(const char* name) {
    std::vector<model::TreeChangesStructure> changes;
    Records(name, 3, 3, [&](const std::vector<std::string_view>& f) {
        model::TreeChangesStructure change;
        change.value = Word(name, f[0]);
        if (f[1].size() >= sizeof change.first || f[2].size() >= sizeof change.second) {
            Fail(name, "the texts hold " + std::to_string(sizeof change.first - 1) + " and " +
                           std::to_string(sizeof change.second - 1) + " bytes");
            return;
        }
        std::memcpy(change.first, f[1].data(), f[1].size());
        std::memcpy(change.second, f[2].data(), f[2].size());
        changes.push_back(change);
    });
    return changes;
}

std::vector<std::pair<int32_t, int32_t>> CallArguments::Routes(const char* name) {
    std::vector<std::pair<int32_t, int32_t>> routes;
    Records(name, 2, 2, [&](const std::vector<std::string_view>& f) {
        routes.emplace_back(Word(name, f[0]), Word(name, f[1]));
    });
    return routes;
}

}  // namespace rookclient
