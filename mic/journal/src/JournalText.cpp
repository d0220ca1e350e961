#include "mic/journal/JournalText.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace mic::journal {

namespace {

constexpr int64_t kUsPerSecond = 1000000;

const char* const kCsvHeader =
    "id,time,source,console_line,detail,rack,channel,field,old,new,refused,reason";

bool ReadNumber(std::string_view& text, size_t digits, int& value) {
    if (text.size() < digits) {
        return false;
    }
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(digits);
    return true;
}

bool Take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

std::optional<int64_t> ParseDateTime(std::string_view text) {
    std::tm tm{};
    int year, month, day;
    if (!ReadNumber(text, 4, year) || !Take(text, '-') || !ReadNumber(text, 2, month) ||
        !Take(text, '-') || !ReadNumber(text, 2, day)) {
        return std::nullopt;
    }
    int hour = 0, minute = 0, second = 0;
    if (Take(text, 'T') || Take(text, ' ')) {
        if (!ReadNumber(text, 2, hour) || !Take(text, ':') || !ReadNumber(text, 2, minute)) {
            return std::nullopt;
        }
        if (Take(text, ':') && !ReadNumber(text, 2, second)) {
            return std::nullopt;
        }
    }
    const bool utc = Take(text, 'Z');
    if (!text.empty() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60) {
        return std::nullopt;
    }
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const time_t t = utc ? ::timegm(&tm) : std::mktime(&tm);
    // The conversion moves a day that the month does not have into the next month: refuse it
    // rather than answer for another date. (-1 is also the second before the epoch.)
    if ((t == static_cast<time_t>(-1) && year != 1969) || tm.tm_mday != day ||
        tm.tm_mon != month - 1) {
        return std::nullopt;
    }
    return static_cast<int64_t>(t) * kUsPerSecond;
}

// A name or detail on one line of the listing: control characters would break the line.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

std::string FormatTime(int64_t timeUs) {
    int64_t seconds = timeUs / kUsPerSecond;
    int64_t micros = timeUs % kUsPerSecond;
    if (micros < 0) {
        micros += kUsPerSecond;
        --seconds;
    }
    const auto t = static_cast<time_t>(seconds);
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) {
        return std::to_string(timeUs);
    }
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    const long offset = tm.tm_gmtoff;
    const long absolute = offset < 0 ? -offset : offset;
    char out[64];
    std::snprintf(out, sizeof out, "%s.%03d%c%02ld:%02ld", date, static_cast<int>(micros / 1000),
                  offset < 0 ? '-' : '+', absolute / 3600, absolute / 60 % 60);
    return out;
}

std::optional<int64_t> ParseTime(std::string_view text, int64_t nowUs) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.front() == '@') {
        int64_t seconds = 0;
        const char* end = text.data() + text.size();
        const auto [p, ec] = std::from_chars(text.data() + 1, end, seconds);
        if (ec != std::errc() || p != end || text.size() == 1 ||
            seconds > INT64_MAX / kUsPerSecond || seconds < INT64_MIN / kUsPerSecond) {
            return std::nullopt;
        }
        return seconds * kUsPerSecond;
    }
    if (auto t = ParseDateTime(text)) {
        return t;
    }
    // A duration back from now.
    std::string_view d = text;
    Take(d, '-');
    if (d.size() < 2) {
        return std::nullopt;
    }
    int64_t unit = 0;
    switch (d.back()) {
        case 's':
            unit = 1;
            break;
        case 'm':
            unit = 60;
            break;
        case 'h':
            unit = 3600;
            break;
        case 'd':
            unit = 86400;
            break;
        default:
            return std::nullopt;
    }
    d.remove_suffix(1);
    int64_t count = 0;
    const auto [p, ec] = std::from_chars(d.data(), d.data() + d.size(), count);
    // At most about 290 000 years back: the product stays within 64 bits.
    if (ec != std::errc() || p != d.data() + d.size() || count < 0 ||
        count > INT64_MAX / kUsPerSecond / 86400 / 1000) {
        return std::nullopt;
    }
    return nowUs - count * unit * kUsPerSecond;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void WriteCsv(std::ostream& out, const std::vector<JournalRow>& rows) {
    out << kCsvHeader << "\r\n";
    for (const JournalRow& row : rows) {
        const ChannelChange& c = row.change;
        const bool change = row.kind == RowKind::Change;
        out << row.id << ',' << CsvField(FormatTime(row.timeUs)) << ',';
        if (change) {
            out << CsvField(SourceName(c.origin.source)) << ','
                << (c.origin.source == ChangeSource::ConsoleLine
                        ? std::to_string(c.origin.consoleLine)
                        : std::string())
                << ',' << CsvField(c.origin.detail) << ',' << c.rack + 1 << ',' << c.channel + 1
                << ',' << CsvField(FieldName(c.field)) << ',' << CsvField(OldValueText(row)) << ','
                << CsvField(NewValueText(row)) << ',' << (c.refused ? "yes" : "no") << ','
                << CsvField(c.reason);
        } else {
            out << "journal,,,,,,,,"
                << ","
                << "no," << CsvField(row.note);
        }
        out << "\r\n";
    }
}

void WriteListing(std::ostream& out, const std::vector<JournalRow>& rows) {
    for (const JournalRow& row : rows) {
        out << FormatTime(row.timeUs) << "  ";
        if (row.kind == RowKind::Note) {
            out << "journal: " << OneLine(row.note) << '\n';
            continue;
        }
        const ChannelChange& c = row.change;
        out << "rack " << c.rack + 1 << " channel " << c.channel + 1 << "  " << FieldName(c.field)
            << " \"" << OneLine(OldValueText(row)) << "\" -> \"" << OneLine(NewValueText(row))
            << "\"  " << OneLine(SourceText(row));
        if (c.refused) {
            out << "  REFUSED: " << c.reason;
        }
        out << '\n';
    }
}

}  // namespace mic::journal
