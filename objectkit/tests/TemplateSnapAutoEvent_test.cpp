#include <objectkit/ControlRanges.h>
#include <objectkit/TemplateSnapAutoEvent.h>

#include <stdexcept>

#include <gtest/gtest.h>

namespace {

constexpr int kLarge = 3;
constexpr int kSmall = 1;

std::string Text(int type, int module, int control, int value, int units = 1, int plain = 0) {
    CTemplateSnapAutoEvent e(static_cast<uint8_t>(module), static_cast<uint8_t>(control),
                             static_cast<uint16_t>(static_cast<int16_t>(value)));
    std::string text = "stale";
    e.GetTextFor(type, text, units, plain);
    return text;
}

std::string Name(int type, int module, int control) {
    return CTemplateSnapAutoEvent(static_cast<uint8_t>(module), static_cast<uint8_t>(control), 0)
        .GetEventNameFor(type);
}

short Parse(int type, int module, int control, const std::string& text) {
    return CTemplateSnapAutoEvent(static_cast<uint8_t>(module), static_cast<uint8_t>(control), 0)
        .GetValueFromTextFor(type, text);
}

}  // namespace

TEST(EventNames, FollowTheLayoutOfTheConsoleType) {
    CTemplateSnapAutoEvent::InitialiseNames();
    CTemplateSnapAutoEvent::InitialiseNames();
    EXPECT_EQ(Name(kLarge, 3, 1), "EQ 3 Gain");
    EXPECT_EQ(Name(kLarge, 8, 8), "EQ 8 Lstn On/Off");
    EXPECT_EQ(Name(kLarge, 10, 0), "Filter 2 Freq");
    EXPECT_EQ(Name(kLarge, 16, 3), "Insert 2 Retn Trim");
    EXPECT_EQ(Name(kLarge, 30, 8), "Stem G Rte Path 9");
    EXPECT_EQ(Name(kLarge, 14, 2), "Fader Mute");
    EXPECT_EQ(Name(kLarge, 31, 0), "Unknown Event");
    EXPECT_EQ(Name(kLarge, 0, 9), "Unknown Event");
    EXPECT_EQ(Name(kSmall, 2, 5), "Small fader Cut");
    EXPECT_EQ(Name(6, 3, 8), "Aux8");
    EXPECT_EQ(Name(kSmall, 5, 0), "Unknown Event");
    EXPECT_EQ(Name(0, 0, 0), "Unknown Event");
    EXPECT_EQ(Name(8, 0, 0), "Unknown Event");
}

TEST(ValueTexts, FaderLevelsTrimsAndMutes) {
    EXPECT_EQ(Text(kLarge, 14, 0, 800), "10.0dB");
    EXPECT_EQ(Text(kLarge, 14, 0, 800, 0), "10.0");
    const int minimum = objectkit::ControlMinimum(0, 14, 0);
    EXPECT_EQ(Text(kLarge, 14, 0, minimum), "Cut");
    EXPECT_EQ(Text(kLarge, 14, 0, minimum - 1), "Cut");
    EXPECT_EQ(Text(kLarge, 14, 0, minimum + 80), "-89.0dB");
    EXPECT_EQ(Text(kLarge, 14, 1, -120), "-1.5dB");
    EXPECT_EQ(Text(kLarge, 14, 2, 1), "Off");
    EXPECT_EQ(Text(kLarge, 14, 2, 0), "On");
    EXPECT_EQ(Text(kLarge, 14, 3, 65535), "65535") << "other controls keep the decimal text";
    EXPECT_EQ(Text(kSmall, 1, 0, 400), "5.0dB");
    EXPECT_EQ(Text(9, 14, 0, 800), "2.5dB") << "scale factor 1 outside the known types";
}

TEST(ValueTexts, EqualiserAndFilter) {
    EXPECT_EQ(Text(kLarge, 3, 2, 1), "6 dB");
    EXPECT_EQ(Text(kLarge, 3, 2, 2), "12 dB");
    EXPECT_EQ(Text(kLarge, 3, 2, 0), "Flat");
    EXPECT_EQ(Text(kLarge, 3, 2, 3), "3");
    EXPECT_EQ(Text(kLarge, 1, 0, 0), "500Hz");
    EXPECT_EQ(Text(kLarge, 1, 0, 2790), "2.4kHz");
    EXPECT_EQ(Text(kLarge, 1, 0, 2790, 0), "2.4");
    EXPECT_EQ(Text(kLarge, 1, 0, 2790, 1, 1), "2400Hz");
    EXPECT_EQ(Text(kLarge, 20, 1, -1440), "-4.5 dB");
    EXPECT_EQ(Text(kLarge, 2, 1, -10), "0.0 dB") << "never a negative zero";
    EXPECT_EQ(Text(kLarge, 2, 1, -10, 0), "0.0");
    EXPECT_EQ(Text(kLarge, 2, 3, 0), "0.7");
    EXPECT_EQ(Text(kLarge, 2, 5, 2), "Bell");
    EXPECT_EQ(Text(kLarge, 2, 5, 5), "Notch");
    EXPECT_EQ(Text(kLarge, 2, 5, 6), "?");
    EXPECT_EQ(Text(kLarge, 2, 7, 0), "Off");
    EXPECT_EQ(Text(kLarge, 2, 8, 0), "Listen");
    EXPECT_EQ(Text(kLarge, 2, 8, 1), "Normal");
    EXPECT_EQ(Text(kLarge, 2, 4, 17), "17");
    EXPECT_EQ(Text(kLarge, 9, 1, 4), "24 dB");
    EXPECT_EQ(Text(kLarge, 9, 1, 9), "Flat");
    EXPECT_EQ(Text(kLarge, 10, 3, 1), "HF");
    EXPECT_EQ(Text(kLarge, 10, 3, 2), "Unknown");
    EXPECT_EQ(Text(kLarge, 9, 5, 3), "On");
}

TEST(ValueTexts, InsertsPansAndWidths) {
    EXPECT_EQ(Text(kLarge, 15, 1, 0), "Off");
    EXPECT_EQ(Text(kLarge, 15, 1, 1), "Enable");
    EXPECT_EQ(Text(kLarge, 16, 6, 1), "On");
    EXPECT_EQ(Text(kLarge, 16, 2, 640), "2.0dB");
    EXPECT_EQ(Text(kLarge, 21, 0, -8128), "Left");
    EXPECT_EQ(Text(kLarge, 21, 0, 0), "Center");
    EXPECT_EQ(Text(kLarge, 21, 0, 8128), "Right");
    EXPECT_EQ(Text(kLarge, 21, 0, 1805), "+10");
    EXPECT_EQ(Text(kLarge, 21, 2, -1805), "-10");
    EXPECT_EQ(Text(kLarge, 21, 0, 100), "Center") << "truncation toward zero";
    EXPECT_EQ(Text(kLarge, 21, 1, -8128), "Front");
    EXPECT_EQ(Text(kLarge, 21, 1, 0), "Ninety");
    EXPECT_EQ(Text(kLarge, 21, 1, 1805), "+70");
    EXPECT_EQ(Text(kLarge, 21, 3, 160), "2.0dB");
    EXPECT_EQ(Text(kLarge, 21, 6, 1), "On");
    EXPECT_EQ(Text(kLarge, 0, 3, 8128), "Wide");
    EXPECT_EQ(Text(kLarge, 17, 1, 0), "Stereo");
    EXPECT_EQ(Text(kLarge, 18, 1, -8128), "Mono");
    EXPECT_EQ(Text(kSmall, 4, 0, 8128), "Right");
}

TEST(ValueTexts, TheOtherModulesUseTheirVocabulary) {
    EXPECT_EQ(Text(kLarge, 11, 1, -6400), "-20.0dB");
    EXPECT_EQ(Text(kLarge, 11, 2, 40), "4:1");
    EXPECT_EQ(Text(kLarge, 12, 2, 25), "2.5:1");
    EXPECT_EQ(Text(kLarge, 13, 2, 20), "1:2");
    EXPECT_EQ(Text(kLarge, 19, 2, 15), "1:1.5");
    EXPECT_EQ(Text(kLarge, 11, 3, 1000), "10.00ms");
    EXPECT_EQ(Text(kLarge, 11, 6, 320), "+1.0dB");
    EXPECT_EQ(Text(kLarge, 11, 7, 1), "Auto");
    EXPECT_EQ(Text(kLarge, 12, 7, 0), "Manual");
    EXPECT_EQ(Text(kLarge, 0, 4, 1), "Stereo");
    EXPECT_EQ(Text(kLarge, 0, 4, 5), "Right");
    EXPECT_EQ(Text(kLarge, 0, 8, 12), "Surround Center");
    EXPECT_EQ(Text(kLarge, 0, 8, 13), "????");
    EXPECT_EQ(Text(kLarge, 23, 0, 0), "Pre Eq");
    EXPECT_EQ(Text(kLarge, 23, 0, 1), "Post");
    EXPECT_EQ(Text(kLarge, 23, 0, 7), "Unknown");
    EXPECT_EQ(Text(kLarge, 17, 0, -40), "-0.5 dB");
    EXPECT_EQ(Text(kLarge, 17, 3, 1), "post");
    EXPECT_EQ(Text(kLarge, 18, 6, 125), "12.5 ms");
    EXPECT_EQ(Text(kLarge, 26, 4, 1), "Routed");
    EXPECT_EQ(Text(kSmall, 2, 3, 1), "Cut");
    EXPECT_EQ(Text(kSmall, 2, 3, 0), "Uncut");
    EXPECT_EQ(Text(kSmall, 3, 0, 0), "Sel1");
    EXPECT_EQ(Text(kSmall, 3, 0, 1), "Sel2");
}

TEST(ValueTexts, ControlsBeyondTheNameTablesShowTheDecimalValue) {
    // Controls 9 and above are named "Unknown Event" in every module of both layouts, and no
    // formatter reads them: they show the stored number, whatever words the module uses.
    for (int module = 0; module <= 30; ++module) {
        for (int control : {9, 12, 255}) {
            EXPECT_EQ(Name(kLarge, module, control), "Unknown Event") << module << "/" << control;
            EXPECT_EQ(Text(kLarge, module, control, 80), "80") << module << "/" << control;
            EXPECT_EQ(Text(kLarge, module, control, 0, 0), "0") << module << "/" << control;
        }
    }
    for (int module = 0; module <= 4; ++module) {
        EXPECT_EQ(Text(kSmall, module, 9, 1), "1") << module;
    }
    // The stem routes still show their word within the table, and still take no typed value.
    EXPECT_EQ(Text(kLarge, 24, 8, 1), "Routed");
    EXPECT_EQ(Text(kLarge, 30, 0, 0), "Off");
    EXPECT_THROW(Parse(kLarge, 24, 9, "80"), std::invalid_argument);
}

TEST(ValueParsing, FaderTextsComeBackWithinTheRange) {
    const short minimum = objectkit::ControlMinimum(0, 14, 0);
    const short maximum = objectkit::ControlMaximum(0, 14, 0);
    EXPECT_EQ(Parse(kLarge, 14, 0, "cut"), minimum);
    EXPECT_EQ(Parse(kLarge, 14, 0, "CUT"), minimum);
    EXPECT_EQ(Parse(kLarge, 14, 0, "10.0dB"), 800);
    EXPECT_EQ(Parse(kLarge, 14, 0, " -3.5 "), -280);
    EXPECT_EQ(Parse(kLarge, 14, 0, "0.00625"), 1) << "half rounds away from zero";
    EXPECT_EQ(Parse(kLarge, 14, 0, "-0.00625"), -1);
    EXPECT_EQ(Parse(kLarge, 14, 0, "+99"), maximum);
    EXPECT_EQ(Parse(kLarge, 14, 0, "-1e300"), minimum);
    EXPECT_EQ(Parse(kLarge, 14, 0, "nan"), 0);
    EXPECT_EQ(Parse(kLarge, 14, 0, "loud"), 0) << "no number reads as 0";
    EXPECT_EQ(Parse(kLarge, 14, 1, "-1.5dB"), -120);
    EXPECT_EQ(Parse(kSmall, 0, 0, "Cut"), objectkit::SmallLayoutControlMinimum(0, 0));
    EXPECT_THROW(Parse(kLarge, 14, 3, "1"), std::invalid_argument);
    EXPECT_THROW(Parse(kSmall, 1, 6, "1"), std::invalid_argument);
    for (int module = 24; module <= 30; ++module) {
        EXPECT_THROW(Parse(kLarge, module, 0, "Routed"), std::invalid_argument) << module;
    }
}

TEST(ValueParsing, OtherTextsReadBackWhatTheyShow) {
    EXPECT_EQ(Parse(kLarge, 1, 0, "2.4kHz"), 2790);
    EXPECT_EQ(Parse(kLarge, 1, 0, "500Hz"), 0);
    EXPECT_EQ(Parse(kLarge, 1, 0, "0"), objectkit::ControlMinimum(0, 1, 0));
    EXPECT_EQ(Parse(kLarge, 1, 1, "-4.5 dB"), -1440);
    EXPECT_EQ(Parse(kLarge, 1, 5, "bell"), 2);
    EXPECT_EQ(Parse(kLarge, 1, 2, "12 dB"), 2);
    EXPECT_EQ(Parse(kLarge, 9, 1, "flat"), 0);
    EXPECT_EQ(Parse(kLarge, 21, 0, "Left"), -8128);
    EXPECT_EQ(Parse(kLarge, 21, 0, "+10"), 1805);
    EXPECT_EQ(Parse(kLarge, 11, 2, "4:1"), 40);
    EXPECT_EQ(Parse(kLarge, 13, 2, "1:2"), 20);
    EXPECT_EQ(Parse(kLarge, 11, 7, "AUTO"), 1);
    EXPECT_EQ(Parse(kLarge, 0, 8, "Sur. Left"), 7);
    EXPECT_EQ(Parse(kSmall, 3, 0, "sel2"), 1);
    EXPECT_EQ(Parse(kLarge, 2, 4, "17"), 17);
    // Every switch and word of the large layout reads back as the value that shows it.
    for (int module = 0; module <= 23; ++module) {
        for (int control = 0; control < 9; ++control) {
            const int lo = objectkit::ControlMinimum(0, module, control);
            const int hi = objectkit::ControlMaximum(0, module, control);
            if (hi - lo > 20 || (module == 14 && control > 2)) {
                continue;
            }
            for (int v = lo; v <= hi; ++v) {
                const std::string shown = Text(kLarge, module, control, v);
                EXPECT_EQ(Text(kLarge, module, control, Parse(kLarge, module, control, shown)),
                          shown)
                    << module << "/" << control << " " << v;
            }
        }
    }
}

TEST(QuarterFrames, OnlySmallLayoutSwitchesShowThem) {
    auto shows = [](int type, int module, int control) {
        return CTemplateSnapAutoEvent(static_cast<uint8_t>(module), static_cast<uint8_t>(control),
                                      0)
            .ShowsQuarterFramesFor(type);
    };
    for (int module = 0; module < 31; ++module) {
        for (int control = 0; control < 9; ++control) {
            EXPECT_FALSE(shows(2, module, control));
        }
    }
    EXPECT_TRUE(shows(1, 0, 2));
    EXPECT_TRUE(shows(6, 1, 2));
    EXPECT_FALSE(shows(1, 0, 0));
    EXPECT_TRUE(shows(1, 2, 5));
    EXPECT_FALSE(shows(1, 2, 6));
    EXPECT_TRUE(shows(6, 3, 8));
    EXPECT_FALSE(shows(6, 4, 0));
}
