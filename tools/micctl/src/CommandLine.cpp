#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "mic/osc/OscAddress.h"

namespace micctl {

namespace {

bool ParseLong(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 9)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high)
        return false;
    out = v;
    return true;
}

}  // namespace

bool ParseOptions(const Args& args, Connection& connection, Args& rest, std::string& error,
                  const std::vector<std::string>& numbers,
                  std::vector<std::pair<std::string, long>>* values) {
    rest.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool known = a == "--host" || a == "--port" || a == "--timeout" ||
                           std::find(numbers.begin(), numbers.end(), a) != numbers.end();
        if (!known) {
            if (a.size() > 2 && a.rfind("--", 0) == 0) {
                error = "unknown option " + a;
                return false;
            }
            rest.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& v = args[++i];
        long n = 0;
        if (a == "--host") {
            connection.host = v;
        } else if (a == "--port") {
            if (!ParseLong(v, 1, 65535, n)) {
                error = "--port needs a number from 1 to 65535";
                return false;
            }
            connection.port = static_cast<uint16_t>(n);
        } else if (a == "--timeout") {
            if (!ParseLong(v, 1, 600000, n)) {
                error = "--timeout needs milliseconds from 1 to 600000";
                return false;
            }
            connection.timeoutMs = static_cast<int>(n);
        } else {
            if (!ParseLong(v, 0, 100000000, n)) {
                error = a + " needs a whole number";
                return false;
            }
            values->emplace_back(a, n);
        }
    }
    return true;
}

std::optional<std::string> ExpandAddress(const std::string& text) {
    std::string address = text;
    if (text.empty())
        return std::nullopt;
    if (text[0] != '/') {
        const size_t first = text.find('/');
        const size_t second = first == std::string::npos ? first : text.find('/', first + 1);
        if (first == std::string::npos) {
            address = "/mic/rack/" + text;
        } else if (second == std::string::npos) {
            const std::string tail = text.substr(first + 1);
            address = "/mic/rack/" + text.substr(0, first) +
                      (tail == "online" || tail == "version" ? "/" : "/channel/") + tail;
        } else {
            address = "/mic/rack/" + text.substr(0, first) + "/channel/" + text.substr(first + 1);
        }
    }
    if (!mic::osc::ParseAddress(address))
        return std::nullopt;
    return address;
}

bool SetValue(const std::string& address, const std::string& text, mic::osc::OscValue& value,
              std::string& error) {
    using mic::ChannelField;
    const std::optional<mic::osc::Target> t = mic::osc::ParseAddress(address);
    if (!t || t->node != mic::osc::Node::Field || t->field == ChannelField::ConsoleChannel) {
        error = address + " cannot be set";
        return false;
    }
    if (t->field == ChannelField::Name) {
        value = mic::osc::OscValue::String(text);
        return true;
    }
    if (t->field == ChannelField::Gain) {
        std::string digits = text;
        if (digits.size() > 2 && (digits.ends_with("dB") || digits.ends_with("db")))
            digits.resize(digits.size() - 2);
        long db = 0;
        if (!ParseLong(digits, 20, 70, db)) {
            error = "gain is a number of dB from 20 to 70";
            return false;
        }
        value = mic::osc::OscValue::Int(static_cast<int32_t>(db));
        return true;
    }
    if (text == "on" || text == "1" || text == "true") {
        value = mic::osc::OscValue::Int(1);
    } else if (text == "off" || text == "0" || text == "false") {
        value = mic::osc::OscValue::Int(0);
    } else {
        error = std::string(mic::FieldName(t->field)) + " is on or off";
        return false;
    }
    return true;
}

std::string ValueText(const mic::osc::OscValue& v) {
    if (v.IsText())
        return v.text;
    if (v.type == 'f' || v.type == 'd') {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", v.real);
        return buffer;
    }
    return std::to_string(v.integer);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

}  // namespace micctl
