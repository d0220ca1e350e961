#include <objectkit/TemplateSnapAutoEvent.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <objectkit/ControlRanges.h>
#include <objectkit/Settings.h>

namespace {

using Row = std::array<std::string, 9>;

// --- Names -----------------------------------------------------------------------------------

struct NameTables {
    std::vector<Row> large;  // modules 0-30
    std::vector<Row> small;  // modules 0-4
};

Row Replace(const Row& row, std::string_view from, std::string_view to) {
    Row out = row;
    for (std::string& name : out) {
        const size_t at = name.find(from);
        if (at != std::string::npos) {
            name.replace(at, from.size(), to);
        }
    }
    return out;
}

NameTables BuildNames() {
    NameTables t;
    const Row input = {"Input Trim",  "Input Phase",        "Input Phase",
                       "Input Width", "Input Presence",     "Input",
                       "Input",       "Input Drop-in Trim", "Surround Designator"};
    const Row eq = {"EQ 1 Freq", "EQ 1 Gain",   "EQ 1 Slope", "EQ 1 Q",          "EQ 1 Ripple",
                    "EQ 1 Resp", "EQ 1 Approx", "EQ 1",       "EQ 1 Lstn On/Off"};
    const Row filter = {"Filter 1 Freq",   "Filter 1 Slope",  "Filter 1 Ripple",
                        "Filter 1 Resp",   "Filter 1 Approx", "Filter 1",
                        "Filter 1 Ctrl 6", "Filter 1 Ctrl 7", "Filter 1 Ctrl 8"};
    const Row insert = {"Insert 1 Return",    "Insert 1 Send",       "Insert 1 Send Trim",
                        "Insert 1 Retn Trim", "Insert 1 Retn Delay", "Insert 1 Send Delay",
                        "Insert 1 Divert",    "Insert 1 Ctrl 7",     "Insert 1 Ctrl 8"};
    const Row stem = {"Stem A Rte Path 1", "Stem A Rte Path 2", "Stem A Rte Path 3",
                      "Stem A Rte Path 4", "Stem A Rte Path 5", "Stem A Rte Path 6",
                      "Stem A Rte Path 7", "Stem A Rte Path 8", "Stem A Rte Path 9"};
    const Row pan = {"Pan", "F/B Pan", "L/C/R Pan", "Divergence", "Input Delay",
                     "Pan", "F/B Pan", "L/C/R Pan", "Divergence"};

    t.large.push_back(input);
    for (int band = 1; band <= 8; ++band) {
        t.large.push_back(Replace(eq, "EQ 1", "EQ " + std::to_string(band)));
    }
    t.large.push_back(filter);
    t.large.push_back(Replace(filter, "Filter 1", "Filter 2"));
    t.large.push_back({"Compressor", "Comp Thresh", "Comp Ratio", "Comp Attack", "Comp Release",
                       "Comp Knee", "Comp MkUp Gain", "Comp Auto MkUp Gain", "Comp Pre-Delay"});
    t.large.push_back({"Limiter", "Lim Thresh", "Lim Ratio", "Lim Attack", "Lim Release",
                       "Lim Knee", "Lim MkUp Gain", "Lim Auto MkUp Gain", "Lim Pre-Delay"});
    t.large.push_back({"Expander", "Expander Thresh", "Expander Ratio", "Expander Attack",
                       "Expander Release", "Expander Knee", "Expander Depth", "Expander Ctrl 7",
                       "Expander Pre-Delay"});
    t.large.push_back({"Fader Level", "Fader Trim", "Fader Mute", "Fader Gang Offset",
                       "Fader Ctrl 4", "Fader Ctrl 5", "Fader Gang Null", "Fader Ctrl 7",
                       "Fader Ctrl 8"});
    t.large.push_back(insert);
    t.large.push_back(Replace(insert, "Insert 1", "Insert 2"));
    t.large.push_back({"Output Trim", "Output Width", "Output Presence", "Output", "Output",
                       "Output Pan", "Output Delay", "Output Ctrl 7", "Output Ctrl 8"});
    t.large.push_back({"Output 2 Trim", "Output 2 Width", "Output 2 Presence", "Output", "Output",
                       "Output 2 Pan", "Output 2 Delay", "Output 2 Ctrl 7", "Output 2 Ctrl 8"});
    t.large.push_back({"Gate", "Gate Thresh", "Gate Ratio", "Gate Attack", "Gate Release",
                       "Gate Hysteresis", "Gate Depth", "Gate Ctrl 7", "Gate Pre-Delay"});
    t.large.push_back({"Sidechain EQ Freq", "Sidechain EQ Gain", "Sidechain EQ Slope",
                       "Sidechain EQ Q", "Sidechain EQ Ripple", "Sidechain EQ Resp",
                       "Sidechain EQ Approx", "Sidechain EQ", "Sidechain EQ Ctrl 8"});
    t.large.push_back(pan);
    t.large.push_back({"DRC", "DRC Expand Thresh", "DRC Comp/Lim Thresh", "DRC Attack",
                       "DRC Release", "DRC Ratio", "DRC Ctrl 6", "DRC Ctrl 7", "DRC Ctrl 8"});
    t.large.push_back({"Key Input", "Sidechain Listen", "Key Input Trim", "Dyn Ins Ctrl 3",
                       "Dyn Ins Ctrl 4", "Dyn Ins Ctrl 5", "Dyn Ins Ctrl 6", "Dyn Ins Ctrl 7",
                       "Dyn Ins Ctrl 8"});
    for (char letter = 'A'; letter <= 'G'; ++letter) {
        t.large.push_back(Replace(stem, "Stem A", std::string("Stem ") + letter));
    }

    t.small.push_back({"Fader Level", "Fader Trim", "Fader Mute", "Fader Gang Offset", "N/A", "N/A",
                       "Fader Gang Null", "N/A", "N/A"});
    t.small.push_back({"Small Fader Level", "Small Fader Trim", "Small Fader Mute",
                       "Small Fader Gang Offset", "N/A", "N/A", "Small Fader Gang Null", "N/A",
                       "N/A"});
    t.small.push_back({"EQ On/Off", "Insert On/Off", "Cut A", "Cut B", "Fader Cut",
                       "Small fader Cut", "N/A", "N/A", "N/A"});
    t.small.push_back({"IP Sel", "Aux1", "Aux2", "Aux3", "Aux4", "Aux5", "Aux6", "Aux7", "Aux8"});
    t.small.push_back(pan);
    return t;
}

std::once_flag g_namesOnce;
const NameTables* g_names = nullptr;

const NameTables& Names() {
    CTemplateSnapAutoEvent::InitialiseNames();
    return *g_names;
}

// --- Value kinds -----------------------------------------------------------------------------
// Every control's text and parser follow from its kind; the scalings are those of the control
// ranges (ControlRanges.cpp).

enum class Kind {
    Decimal,       // the number as stored
    FaderLevel,    // "Cut" at or below the minimum, else dB = v x scale / 320
    LevelDb,       // dB = v x scale / 320, "%0.1f%s" dB
    OutputTrim,    // dB = v x scale / 320, "%3.1f %s" dB
    EqGain,        // dB = v / 320, "%0.1f%s" " dB"
    GainDb,        // dB = v / 320, "%0.1f%s" dB
    SignedGainDb,  // dB = v / 320, "%+0.1f%s" dB
    Frequency,
    Q,
    EqSlope,
    EqResponse,
    FilterSlope,
    FilterResponse,
    OffOn,          // 0 "Off", else "On"
    MuteOffOn,      // 1 "Off", else "On"
    ListenNormal,   // 0 "Listen", else "Normal"
    SendEnable,     // 0 "Off", else "Enable"
    PanPosition,    // Left / Center / Right
    FrontBack,      // Front / Ninety / Back
    WidthPosition,  // Mono / Stereo / Wide
    Ratio,          // v / 10 as "n:1"
    InverseRatio,   // v / 10 as "1:n"
    Attack,         // v / 100 ms
    Release,        // v / 1000 s
    PreDelay,       // v / 100 ms
    Delay,          // v / 10 ms, "%0.1f %s"
    AutoManual,     // 0 "Manual", else "Auto"
    Presence,       // Mono Stereo Wide Left Center Right
    Surround,       // designator words, "????" beyond them
    KeySource,      // 0 "Pre Eq", 1 "Post", else "Unknown"
    Post,           // non-zero "post"
    Routed,         // non-zero "Routed", 0 "Off"
    CutUncut,       // non-zero "Cut", 0 "Uncut"
    Select,         // 0 "Sel1", else "Sel2"
    NoParser,       // shown as decimal; typing a value is not supported
};

Kind EqKind(int control) {
    static constexpr Kind kinds[9] = {Kind::Frequency, Kind::EqGain,  Kind::EqSlope,
                                      Kind::Q,         Kind::Decimal, Kind::EqResponse,
                                      Kind::Decimal,   Kind::OffOn,   Kind::ListenNormal};
    return kinds[control];
}

Kind DynamicsKind(int module, int control) {
    const bool inverse = module == 13 || module == 19;  // expander and gate
    switch (control) {
        case 0:
            return Kind::OffOn;
        case 1:
            return Kind::SignedGainDb;
        case 2:
            return inverse ? Kind::InverseRatio : Kind::Ratio;
        case 3:
            return Kind::Attack;
        case 4:
            return Kind::Release;
        case 5:
            return Kind::GainDb;
        case 6:
            return Kind::SignedGainDb;
        case 7:
            return inverse ? Kind::Decimal : Kind::AutoManual;
        default:
            return Kind::PreDelay;
    }
}

Kind LargeKind(int module, int control, bool& noParser) {
    noParser = false;
    if (module >= 24 && module <= 30) {
        // Stem routes take no typed value at all; only their nine path controls are routes.
        noParser = true;
        return control <= 8 ? Kind::Routed : Kind::Decimal;
    }
    if (module > 30) {
        static constexpr Kind kinds[4] = {Kind::OffOn, Kind::FaderLevel, Kind::PanPosition,
                                          Kind::Post};
        return control < 4 ? kinds[control] : Kind::Decimal;
    }
    if (control > 8) {
        return Kind::Decimal;
    }
    switch (module) {
        case 0: {
            static constexpr Kind kinds[9] = {Kind::LevelDb,       Kind::OffOn,    Kind::OffOn,
                                              Kind::WidthPosition, Kind::Presence, Kind::Decimal,
                                              Kind::Decimal,       Kind::LevelDb,  Kind::Surround};
            return kinds[control];
        }
        case 9:
        case 10: {
            static constexpr Kind kinds[9] = {
                Kind::Frequency,      Kind::FilterSlope, Kind::Decimal,
                Kind::FilterResponse, Kind::Decimal,     Kind::OffOn,
                Kind::Decimal,        Kind::Decimal,     Kind::Decimal};
            return kinds[control];
        }
        case 11:
        case 12:
        case 13:
        case 19:
            return DynamicsKind(module, control);
        case 14:
            if (control > 2) {
                noParser = true;
                return Kind::Decimal;
            }
            return control == 0 ? Kind::FaderLevel : control == 1 ? Kind::LevelDb : Kind::MuteOffOn;
        case 15:
        case 16: {
            static constexpr Kind kinds[9] = {Kind::OffOn,  Kind::SendEnable, Kind::GainDb,
                                              Kind::GainDb, Kind::Decimal,    Kind::Decimal,
                                              Kind::OffOn,  Kind::OffOn,      Kind::Decimal};
            return kinds[control];
        }
        case 17:
        case 18: {
            static constexpr Kind kinds[9] = {
                Kind::OutputTrim,  Kind::WidthPosition, Kind::Presence, Kind::Post,   Kind::Decimal,
                Kind::PanPosition, Kind::Delay,         Kind::Decimal,  Kind::Decimal};
            return kinds[control];
        }
        case 21:
            return control <= 2   ? (control == 1 ? Kind::FrontBack : Kind::PanPosition)
                   : control == 3 ? Kind::LevelDb
                   : control == 4 ? Kind::Decimal
                                  : Kind::OffOn;
        case 22: {
            static constexpr Kind kinds[9] = {Kind::OffOn,   Kind::SignedGainDb, Kind::SignedGainDb,
                                              Kind::Attack,  Kind::Release,      Kind::Ratio,
                                              Kind::Decimal, Kind::Decimal,      Kind::Decimal};
            return kinds[control];
        }
        case 23:
            return control == 0   ? Kind::KeySource
                   : control == 1 ? Kind::OffOn
                   : control == 2 ? Kind::GainDb
                                  : Kind::Decimal;
        default:  // 1-8 and 20: EQ
            return EqKind(control);
    }
}

Kind SmallKind(int module, int control, bool& noParser) {
    noParser = false;
    if (control > 8) {
        return Kind::Decimal;
    }
    switch (module) {
        case 0:
        case 1:
            if (control > 2) {
                noParser = true;
                return Kind::Decimal;
            }
            return control == 0 ? Kind::FaderLevel : control == 1 ? Kind::LevelDb : Kind::MuteOffOn;
        case 2:
            return control <= 1 ? Kind::OffOn : control <= 5 ? Kind::CutUncut : Kind::Decimal;
        case 3:
            return control == 0 ? Kind::Select : Kind::OffOn;
        case 4:
            return LargeKind(21, control, noParser);
        default:
            return Kind::Decimal;
    }
}

struct ControlInfo {
    Kind kind = Kind::Decimal;
    bool noParser = false;
    int16_t min = -32767;
    int16_t max = 32767;
    double scale = 4.0;  // the value scale factor of the console type
};

ControlInfo InfoFor(int consoleType, int module, int control) {
    ControlInfo info;
    info.scale = consoleType >= 1 && consoleType <= 7 ? 4.0 : 1.0;
    const bool small = objectkit::IsSmallLayout(consoleType);
    const int variant = objectkit::DefaultsVariant(consoleType);
    if (small) {
        info.kind = SmallKind(module, control, info.noParser);
        if (module > 4) {
            info.noParser = false;
        }
        info.min = objectkit::SmallLayoutControlMinimum(module, control);
        info.max = objectkit::SmallLayoutControlMaximum(module, control);
    } else {
        info.kind = LargeKind(module, control, info.noParser);
        if (module > 30) {
            info.min = objectkit::RouteControlMinimum(variant, control);
            info.max = objectkit::RouteControlMaximum(variant, control);
        } else {
            info.min = objectkit::ControlMinimum(variant, module, control);
            info.max = objectkit::ControlMaximum(variant, module, control);
        }
    }
    if (info.min > info.max) {
        std::swap(info.min, info.max);
    }
    return info;
}

// --- Formatting ------------------------------------------------------------------------------

constexpr double kFrequencyBase = 500.0;
constexpr double kQBase = 0.70710677;
constexpr double kLogStep = 7115.481;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer);
}

const char* const kPresenceWords[] = {"Mono", "Stereo", "Wide", "Left", "Center", "Right"};
const char* const kSurroundWords[] = {"Mono",           "Left",        "Right",       "Front L",
                                      "Front Center",   "Front Right", "Sur. Mono",   "Sur. Left",
                                      "Sur. Right",     "Inner Left",  "Inner Right", "Center Mono",
                                      "Surround Center"};
const char* const kEqResponses[] = {"LF", "LS", "Bell", "HS", "HF", "Notch"};

struct PositionWords {
    const char* low;
    const char* middle;
    const char* high;
};
constexpr PositionWords kPanWords{"Left", "Center", "Right"};
constexpr PositionWords kFrontBackWords{"Front", "Ninety", "Back"};
constexpr PositionWords kWidthWords{"Mono", "Stereo", "Wide"};

PositionWords WordsOf(Kind kind) {
    return kind == Kind::FrontBack       ? kFrontBackWords
           : kind == Kind::WidthPosition ? kWidthWords
                                         : kPanWords;
}

std::string PositionText(Kind kind, int v, double scale) {
    const long x = std::lround(scale * v);
    const long p = x / 722;  // truncates toward zero
    const PositionWords words = WordsOf(kind);
    if (p < -44)
        return words.low;
    if (p == 0)
        return words.middle;
    if (p >= 45)
        return words.high;
    if (kind == Kind::FrontBack) {
        return Format("%+ld", (32512 - x) / 361);
    }
    return Format("%+ld", p);
}

std::string RatioText(double ratio, bool inverse) {
    const bool whole = std::fabs(ratio - std::round(ratio)) < 1e-9;
    if (inverse) {
        return whole ? Format("1:%0.0f", ratio) : Format("1:%0.1f", ratio);
    }
    return whole ? Format("%0.0f:1", ratio) : Format("%0.1f:1", ratio);
}

// The text of a value; an empty result keeps the decimal text.
std::string KindText(const ControlInfo& info, int v, bool units, bool plainFrequency) {
    const char* dB = units ? "dB" : "";
    const char* spacedDb = units ? " dB" : "";
    const char* ms = units ? "ms" : "";
    switch (info.kind) {
        case Kind::Decimal:
        case Kind::NoParser:
            return {};
        case Kind::FaderLevel:
            if (v <= info.min) {
                return "Cut";
            }
            return Format("%0.1f%s", v * info.scale / 320.0, dB);
        case Kind::LevelDb:
            return Format("%0.1f%s", v * info.scale / 320.0, dB);
        case Kind::OutputTrim:
            return Format("%3.1f %s", v * info.scale / 320.0, dB);
        case Kind::EqGain:
            return Format("%0.1f%s", v / 320.0, spacedDb);
        case Kind::GainDb:
            return Format("%0.1f%s", v / 320.0, dB);
        case Kind::SignedGainDb:
            return Format("%+0.1f%s", v / 320.0, dB);
        case Kind::Frequency: {
            const double f = kFrequencyBase * std::exp(4.0 * v / kLogStep);
            if (plainFrequency || f < 1000.0) {
                return Format("%0.0f%s", f, units ? "Hz" : "");
            }
            return Format("%0.1f%s", f / 1000.0, units ? "kHz" : "");
        }
        case Kind::Q:
            return Format("%0.1f", kQBase * std::exp(4.0 * v / kLogStep));
        case Kind::EqSlope:
            return v == 0 ? "Flat" : v == 1 ? "6 dB" : v == 2 ? "12 dB" : std::string();
        case Kind::EqResponse:
            return v >= 0 && v <= 5 ? kEqResponses[v] : v >= 6 ? "?" : std::string();
        case Kind::FilterSlope:
            if (v >= 1 && v <= 4) {
                return Format("%d %s", v * 6, dB);
            }
            return "Flat";
        case Kind::FilterResponse:
            return v == 0 ? "LF" : v == 1 ? "HF" : "Unknown";
        case Kind::OffOn:
            return v == 0 ? "Off" : "On";
        case Kind::MuteOffOn:
            return v == 1 ? "Off" : "On";
        case Kind::ListenNormal:
            return v == 0 ? "Listen" : "Normal";
        case Kind::SendEnable:
            return v == 0 ? "Off" : "Enable";
        case Kind::PanPosition:
        case Kind::FrontBack:
        case Kind::WidthPosition:
            return PositionText(info.kind, v, info.scale);
        case Kind::Ratio:
            return RatioText(v / 10.0, false);
        case Kind::InverseRatio:
            return RatioText(v / 10.0, true);
        case Kind::Attack:
        case Kind::PreDelay:
            return Format("%0.2f%s", v / 100.0, ms);
        case Kind::Release:
            return Format("%0.2f%s", v / 1000.0, units ? "s" : "");
        case Kind::Delay:
            return Format("%0.1f %s", v / 10.0, ms);
        case Kind::AutoManual:
            return v == 0 ? "Manual" : "Auto";
        case Kind::Presence:
            return v >= 0 && v <= 5 ? kPresenceWords[v] : std::string();
        case Kind::Surround:
            return v >= 0 && v <= 12 ? kSurroundWords[v] : "????";
        case Kind::KeySource:
            return v == 0 ? "Pre Eq" : v == 1 ? "Post" : "Unknown";
        case Kind::Post:
            return v != 0 ? "post" : std::string();
        case Kind::Routed:
            return v != 0 ? "Routed" : "Off";
        case Kind::CutUncut:
            return v != 0 ? "Cut" : "Uncut";
        case Kind::Select:
            return v == 0 ? "Sel1" : "Sel2";
    }
    return {};
}

// --- Parsing ---------------------------------------------------------------------------------

std::string Trim(std::string_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
        --e;
    return std::string(text.substr(b, e - b));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size())
        return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (EqualNoCase(text.substr(i, part.size()), part))
            return true;
    }
    return false;
}

// The leading number of a text ("-4.5dB" -> -4.5); 0 when the text has none. A "1:n" ratio
// gives n.
double Number(const std::string& text) {
    const char* begin = text.c_str();
    if (text.size() > 2 && text[0] == '1' && text[1] == ':') {
        begin += 2;
    }
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    return end == begin || !std::isfinite(value) ? (std::isinf(value) ? value : 0.0) : value;
}

// The value whose word is `text`, searched over the control's range; false when none is.
bool WordValue(const ControlInfo& info, const std::string& text, double& value) {
    switch (info.kind) {
        case Kind::PanPosition:
        case Kind::FrontBack:
        case Kind::WidthPosition: {
            const PositionWords words = WordsOf(info.kind);
            if (EqualNoCase(text, words.low))
                value = -32512.0 / info.scale;
            else if (EqualNoCase(text, words.middle))
                value = 0;
            else if (EqualNoCase(text, words.high))
                value = 32512.0 / info.scale;
            else
                return false;
            return true;
        }
        case Kind::FaderLevel:
            if (EqualNoCase(text, "Cut")) {
                value = info.min;
                return true;
            }
            return false;
        case Kind::Decimal:
        case Kind::NoParser:
        case Kind::LevelDb:
        case Kind::OutputTrim:
        case Kind::EqGain:
        case Kind::GainDb:
        case Kind::SignedGainDb:
        case Kind::Frequency:
        case Kind::Q:
        case Kind::Ratio:
        case Kind::InverseRatio:
        case Kind::Attack:
        case Kind::Release:
        case Kind::PreDelay:
        case Kind::Delay:
            return false;  // numbers only
        default:
            break;
    }
    // Word-valued controls have small ranges; search them (and a few values past the ends,
    // for words such as "?" and "Unknown").
    const int lo = std::max<int>(info.min, -1);
    const int hi = std::min<int>(info.max, 64);
    for (int v = lo; v <= hi + 1; ++v) {
        if (EqualNoCase(KindText(info, v, true, false), text) ||
            EqualNoCase(KindText(info, v, false, false), text)) {
            value = v;
            return true;
        }
    }
    return false;
}

double ParseValue(const ControlInfo& info, const std::string& text) {
    double word = 0;
    if (WordValue(info, text, word)) {
        return word;
    }
    const double n = Number(text);
    switch (info.kind) {
        case Kind::FaderLevel:
        case Kind::LevelDb:
        case Kind::OutputTrim:
            return n * 320.0 / info.scale;
        case Kind::EqGain:
        case Kind::GainDb:
        case Kind::SignedGainDb:
            return n * 320.0;
        case Kind::Frequency: {
            const double hz = ContainsNoCase(text, "k") ? n * 1000.0 : n;
            return hz > 0 ? kLogStep / 4.0 * std::log(hz / kFrequencyBase) : info.min;
        }
        case Kind::Q:
            return n > 0 ? kLogStep / 4.0 * std::log(n / kQBase) : info.min;
        case Kind::EqSlope:
            return n / 6.0;
        case Kind::FilterSlope:
            return n / 6.0;
        case Kind::PanPosition:
        case Kind::WidthPosition:
            return n * 722.0 / info.scale;
        case Kind::FrontBack:
            return (32512.0 - n * 361.0) / info.scale;
        case Kind::Ratio:
        case Kind::InverseRatio:
            return n * 10.0;
        case Kind::Attack:
        case Kind::PreDelay:
            return n * 100.0;
        case Kind::Release:
            return n * 1000.0;
        case Kind::Delay:
            return n * 10.0;
        default:
            return n;
    }
}

}  // namespace

CTemplateSnapAutoEvent::CTemplateSnapAutoEvent() {
    InitialiseNames();
}

CTemplateSnapAutoEvent::CTemplateSnapAutoEvent(uint8_t m, uint8_t c, uint16_t v) {
    InitialiseNames();
    module = m;
    control = c;
    value = v;
}

CTemplateSnapAutoEvent::CTemplateSnapAutoEvent(const CAutomationEvent& event)
    : CAutomationEvent(event) {
    InitialiseNames();
}

void CTemplateSnapAutoEvent::InitialiseNames() {
    std::call_once(g_namesOnce, [] { g_names = new NameTables(BuildNames()); });
}

std::string CTemplateSnapAutoEvent::GetEventName() const {
    return GetEventNameFor(objectkit::ConsoleType());
}

std::string CTemplateSnapAutoEvent::GetEventNameFor(int consoleType) const {
    static const std::string kUnknown = "Unknown Event";
    if (consoleType < 1 || consoleType > 7 || control >= 9) {
        return kUnknown;
    }
    const NameTables& names = Names();
    const std::vector<Row>& table =
        objectkit::IsSmallLayout(consoleType) ? names.small : names.large;
    return module < table.size() ? table[module][control] : kUnknown;
}

void CTemplateSnapAutoEvent::GetText(std::string& text, int withUnits, int plainFrequency) const {
    GetTextFor(objectkit::ConsoleType(), text, withUnits, plainFrequency);
}

void CTemplateSnapAutoEvent::GetTextFor(int consoleType, std::string& text, int withUnits,
                                        int plainFrequency) const {
    text = std::to_string(value);
    const ControlInfo info = InfoFor(consoleType, module, control);
    const std::string formatted =
        KindText(info, static_cast<int16_t>(value), withUnits != 0, plainFrequency != 0);
    if (!formatted.empty()) {
        text = formatted;
    }
    // Rounding can leave a negative zero ("-0.0"); it is shown without the sign.
    if (text.rfind("-0.0", 0) == 0 && std::strtod(text.c_str(), nullptr) == 0.0) {
        text.erase(0, 1);
    }
}

short CTemplateSnapAutoEvent::GetValueFromText(const std::string& text) const {
    return GetValueFromTextFor(objectkit::ConsoleType(), text);
}

short CTemplateSnapAutoEvent::GetValueFromTextFor(int consoleType, const std::string& text) const {
    const ControlInfo info = InfoFor(consoleType, module, control);
    if (info.noParser) {
        throw std::invalid_argument("no value parser for this control");
    }
    double v = ParseValue(info, Trim(text));
    if (std::isnan(v)) {
        v = 0;
    }
    // Round half away from zero, then keep within 16 bits and the control's range.
    v = std::clamp(v, -32767.0, 32767.0);
    long rounded = std::lround(v);
    rounded = std::clamp<long>(rounded, info.min, info.max);
    return static_cast<short>(rounded);
}

bool CTemplateSnapAutoEvent::ShowsQuarterFrames() const {
    return ShowsQuarterFramesFor(objectkit::ConsoleType());
}

bool CTemplateSnapAutoEvent::ShowsQuarterFramesFor(int consoleType) const {
    if (!objectkit::IsSmallLayout(consoleType)) {
        return false;
    }
    switch (module) {
        case 0:
        case 1:
            return control == 2;
        case 2:
            return control < 6;
        case 3:
            return control < 9;
        default:
            return false;
    }
}
