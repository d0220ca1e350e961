// The console's control ranges, in one place.
//
// Scales (shared with the value texts of TemplateSnapAutoEvent.cpp):
//   fader, trim and divergence levels: dB = value x 4 / 320 (80 steps per dB);
//   EQ, insert and dynamics gains and thresholds: dB = value / 320;
//   frequencies: Hz = 500 x e^(4 value / 7115.481), so 0 = 500 Hz, -5726 = 20 Hz, 6562 = 20 kHz;
//   EQ Q: 0.7071 x e^(4 value / 7115.481), -3479 = 0.1, 5944 = 20;
//   pan and width positions: 4 x value from -32512 (left) to 32512 (right);
//   ratios: value / 10; attack and pre-delay: value / 100 ms; release: value ms;
//   delays: value / 10 ms.
#include <objectkit/ControlRanges.h>

#include <array>
#include <cstddef>
#include <initializer_list>

namespace objectkit {
namespace {

struct Range {
    int16_t min;
    int16_t max;
    int16_t def;
};

constexpr Range kSwitch{0, 1, 0};
constexpr Range kSwitchOn{0, 1, 1};
constexpr Range kUnused{0, 0, 0};
constexpr Range kFaderLevel{-7200, 960, 0};  // -90 dB (shown as "Cut") to +12 dB
constexpr Range kLevelTrim{-1600, 1600, 0};  // +/-20 dB at 80 steps per dB
constexpr Range kGain{-5760, 5760, 0};       // +/-18 dB at 320 steps per dB
constexpr Range kPosition{-8128, 8128, 0};
constexpr Range kThreshold{-19200, 0, -6400};  // -60 to 0 dB, -20 dB
constexpr Range kRatio{10, 200, 40};           // 1.0 to 20.0, 4:1
constexpr Range kAttack{1, 10000, 1000};       // 0.01 to 100 ms, 10 ms
constexpr Range kRelease{10, 5000, 200};       // ms
constexpr Range kKnee{0, 6400, 0};             // 0 to 20 dB
constexpr Range kPreDelay{0, 1000, 0};         // 0 to 10 ms
constexpr Range kDelay{0, 10000, 0};           // 0 to 1000 ms
constexpr Range kOrdinal{0, 100, 0};           // ripple, approximation and the like

constexpr int16_t FrequencyValue(int hz) {
    // 1778.87 x ln(hz / 500) for the frequencies used as defaults.
    switch (hz) {
        case 20:
            return -5726;
        case 60:
            return -3772;
        case 150:
            return -2142;
        case 400:
            return -397;
        case 1000:
            return 1233;
        case 2500:
            return 2863;
        case 6000:
            return 4420;
        case 10000:
            return 5329;
        case 15000:
            return 6050;
        case 20000:
            return 6562;
        default:
            return 0;
    }
}

using ModuleRow = std::array<Range, kControlsPerModule>;

constexpr ModuleRow EqRow(int defaultHz) {
    return {Range{-5726, 6562, FrequencyValue(defaultHz)},
            kGain,
            Range{0, 2, 0},
            Range{-3479, 5944, 0},
            kOrdinal,
            Range{0, 5, 2},
            Range{0, 3, 0},
            kSwitch,
            kSwitchOn};
}
constexpr ModuleRow FilterRow(int defaultHz, int16_t response) {
    return {Range{-5726, 6562, FrequencyValue(defaultHz)},
            Range{0, 4, 0},
            kOrdinal,
            Range{0, 1, response},
            Range{0, 3, 0},
            kSwitch,
            kSwitch,
            kSwitch,
            kSwitch};
}
constexpr ModuleRow DynamicsRow(Range threshold, Range ratio, Range sixth) {
    return {kSwitch, threshold, ratio, kAttack, kRelease, kKnee, sixth, kSwitch, kPreDelay};
}
constexpr ModuleRow StemRow() {
    return {kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch};
}

// Base ranges of the large layout (variant 0).
constexpr std::array<ModuleRow, kLargeModuleCount> kLargeBase = {{
    // 0 input: trim, phase, phase, width, presence, two switches, drop-in trim, designator
    {kLevelTrim, kSwitch, kSwitch, kPosition, Range{0, 5, 1}, kSwitch, kSwitch, kLevelTrim,
     Range{0, 12, 0}},
    EqRow(60),
    EqRow(150),
    EqRow(400),
    EqRow(1000),
    EqRow(2500),
    EqRow(6000),
    EqRow(10000),
    EqRow(15000),
    FilterRow(20, 0),
    FilterRow(20000, 1),
    DynamicsRow(kThreshold, kRatio, kGain),                            // 11 compressor
    DynamicsRow(Range{-19200, 0, -3200}, Range{10, 200, 200}, kGain),  // 12 limiter
    DynamicsRow(Range{-19200, 0, -12800}, Range{10, 200, 20},
                Range{-25600, 0, -6400}),  // 13 expander: depth
    // 14 fader: level, trim, mute (1 = mute off), gang offset, -, -, gang null, -, -
    {kFaderLevel, kLevelTrim, kSwitchOn, Range{-8160, 8160, 0}, kUnused, kUnused, kSwitch, kUnused,
     kUnused},
    // 15, 16 inserts: return, send, send trim, return trim, delays, divert
    {kSwitch, kSwitch, kGain, kGain, kDelay, kDelay, kSwitch, kSwitch, kUnused},
    {kSwitch, kSwitch, kGain, kGain, kDelay, kDelay, kSwitch, kSwitch, kUnused},
    // 17, 18 outputs: trim, width, presence, two switches, pan, delay
    {kLevelTrim, kPosition, Range{0, 5, 1}, kSwitch, kSwitch, kPosition, kDelay, kUnused, kUnused},
    {kLevelTrim, kPosition, Range{0, 5, 1}, kSwitch, kSwitch, kPosition, kDelay, kUnused, kUnused},
    DynamicsRow(Range{-19200, 0, -16000}, Range{10, 200, 20},
                Range{-25600, 0, -12800}),  // 19 gate: hysteresis, depth
    EqRow(1000),                            // 20 sidechain EQ
    // 21 pan: pan, F/B, L/C/R, divergence, input delay, four switches
    {kPosition, kPosition, kPosition, Range{0, 1600, 0}, kDelay, kSwitch, kSwitch, kSwitch,
     kSwitch},
    // 22 DRC: in/out, expand and compress thresholds, attack, release, ratio
    {kSwitch, Range{-19200, 0, -16000}, kThreshold, kAttack, kRelease, kRatio, kUnused, kUnused,
     kUnused},
    // 23 key input: source, listen, trim
    {Range{0, 2, 0}, kSwitch, kGain, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
    StemRow(),
    StemRow(),
    StemRow(),
    StemRow(),
    StemRow(),
    StemRow(),
    StemRow(),
}};

// Where the console families differ from variant 0.
struct VariantOverride {
    int variant;
    int module;
    int control;
    Range range;
};
constexpr VariantOverride kVariantOverrides[] = {
    // Post and Torvel consoles (variant 1): faders to +10 dB, wider insert delays.
    {1, 14, 0, Range{-7200, 800, 0}},
    {1, 15, 4, Range{0, 20000, 0}},
    {1, 16, 4, Range{0, 20000, 0}},
    // Music and Live consoles (variant 2): EQ gain +/-20 dB, faders to +10 dB.
    {2, 14, 0, Range{-7200, 800, 0}},
    {2, 1, 1, Range{-6400, 6400, 0}},
    {2, 2, 1, Range{-6400, 6400, 0}},
    {2, 3, 1, Range{-6400, 6400, 0}},
    {2, 4, 1, Range{-6400, 6400, 0}},
    {2, 5, 1, Range{-6400, 6400, 0}},
    {2, 6, 1, Range{-6400, 6400, 0}},
    {2, 7, 1, Range{-6400, 6400, 0}},
    {2, 8, 1, Range{-6400, 6400, 0}},
};

// Defaults that depend on the channel kind (the console section of the path).
struct KindOverride {
    int channelKind;
    int module;
    int control;
    int16_t value;
};
constexpr KindOverride kKindOverrides[] = {
    // Channel kinds 1-6 are buses and masters: no input width processing, presence stereo.
    {1, 0, 4, 1},
    {2, 0, 4, 1},
    {3, 0, 4, 1},
    {4, 0, 4, 1},
    {5, 0, 4, 1},
    {6, 0, 4, 1},
    // Kinds 7 and 8 are mono sections: presence mono.
    {7, 0, 4, 0},
    {8, 0, 4, 0},
};

// Small layout: faders, switches, input select and auxiliaries, pan.
constexpr std::array<ModuleRow, kSmallModuleCount> kSmallBase = {{
    {kFaderLevel, kLevelTrim, kSwitchOn, Range{-8160, 8160, 0}, kUnused, kUnused, kSwitch, kUnused,
     kUnused},
    {kFaderLevel, kLevelTrim, kSwitchOn, Range{-8160, 8160, 0}, kUnused, kUnused, kSwitch, kUnused,
     kUnused},
    {kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kUnused, kUnused, kUnused},
    {kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch},
    {kPosition, kPosition, kPosition, Range{0, 1600, 0}, kDelay, kSwitch, kSwitch, kSwitch,
     kSwitch},
}};

// Route module controls: on, level, pan, pre/post (1 = post).
constexpr std::array<Range, kRouteControlCount> kRouteBase = {kSwitch, Range{-7200, 960, 0},
                                                              kPosition, kSwitchOn};

constexpr Range kOutside{-32767, 32767, 0};

Range LargeRange(int variant, int module, int control) {
    if (module < 0 || module >= kLargeModuleCount || control < 0 || control >= kControlsPerModule) {
        return kOutside;
    }
    Range range = kLargeBase[module][control];
    for (const auto& o : kVariantOverrides) {
        if (o.variant == variant && o.module == module && o.control == control) {
            range = o.range;
        }
    }
    return range;
}

struct DefaultTable {
    // variant x channel kind x module x control, as the value tables index it.
    std::array<uint16_t, kVariantCount * kChannelKindCount * kLargeModuleCount * kControlsPerModule>
        cells{};
    DefaultTable() {
        for (int v = 0; v < kVariantCount; ++v) {
            for (int k = 0; k < kChannelKindCount; ++k) {
                for (int m = 0; m < kLargeModuleCount; ++m) {
                    for (int c = 0; c < kControlsPerModule; ++c) {
                        int16_t value = LargeRange(v, m, c).def;
                        for (const auto& o : kKindOverrides) {
                            if (o.channelKind == k && o.module == m && o.control == c) {
                                value = o.value;
                            }
                        }
                        cells[Index(v, k, m, c)] = static_cast<uint16_t>(value);
                    }
                }
            }
        }
    }
    static size_t Index(int v, int k, int m, int c) {
        return ((static_cast<size_t>(v) * kChannelKindCount + k) * kLargeModuleCount + m) *
                   kControlsPerModule +
               c;
    }
};

const DefaultTable& Defaults() {
    static const DefaultTable table;
    return table;
}

bool InSmall(int module, int control) {
    return module >= 0 && module < kSmallModuleCount && control >= 0 &&
           control < kControlsPerModule;
}

}  // namespace

uint16_t DefaultValue(int variant, int channelKind, int module, int control) {
    if (variant < 0 || variant >= kVariantCount || channelKind < 0 ||
        channelKind >= kChannelKindCount || module < 0 || module >= kLargeModuleCount ||
        control < 0 || control >= kControlsPerModule) {
        return 0;
    }
    return Defaults().cells[DefaultTable::Index(variant, channelKind, module, control)];
}

uint16_t SmallLayoutDefaultValue(int channelKind, int module, int control) {
    if (!InSmall(module, control)) {
        return 0;
    }
    return static_cast<uint16_t>(kSmallBase[module][control].def);
}

uint16_t RouteDefaultValue(int control) {
    return control == 3 ? 1 : 0;
}

int16_t ControlMinimum(int variant, int module, int control) {
    return LargeRange(variant, module, control).min;
}
int16_t ControlMaximum(int variant, int module, int control) {
    return LargeRange(variant, module, control).max;
}
int16_t SmallLayoutControlMinimum(int module, int control) {
    return InSmall(module, control) ? kSmallBase[module][control].min : kOutside.min;
}
int16_t SmallLayoutControlMaximum(int module, int control) {
    return InSmall(module, control) ? kSmallBase[module][control].max : kOutside.max;
}
int16_t RouteControlMinimum(int variant, int control) {
    return control >= 0 && control < kRouteControlCount ? kRouteBase[control].min : kOutside.min;
}
int16_t RouteControlMaximum(int variant, int control) {
    return control >= 0 && control < kRouteControlCount ? kRouteBase[control].max : kOutside.max;
}

bool IsContinuousControl(bool smallLayout, int module, int control, int routeModuleBase) {
    auto among = [control](std::initializer_list<int> list) {
        for (int c : list) {
            if (c == control) {
                return true;
            }
        }
        return false;
    };
    if (smallLayout) {
        if (module == 0 || module == 1) {
            return control == 0 || control == 1;
        }
        return module == 4 && control >= 0 && control <= 4;
    }
    if (module >= routeModuleBase && module > 30) {
        return control == 1 || control == 2;
    }
    switch (module) {
        case 0:
            return among({0, 3, 4, 7});
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
            return among({0, 1, 3});
        case 9:
        case 10:
            return among({0, 2});
        case 11:
        case 12:
        case 13:
            return control >= 1 && control <= 6;
        case 14:
            return among({0, 1, 3});
        case 15:
        case 16:
            return control >= 2 && control <= 5;
        case 17:
        case 18:
            return among({0, 1, 2, 5, 6});
        case 19:
            return among({1, 3, 4, 5, 6});
        case 20:
            return among({0, 1, 3});
        case 21:
            return control >= 0 && control <= 4;
        case 22:
            return control >= 1 && control <= 6;
        case 23:
            return control == 2;
        default:
            return false;
    }
}

}  // namespace objectkit
